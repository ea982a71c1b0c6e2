// After a whole installation whose configuration program cannot be started:
// the failure names the path that was tried, the main window stays open and
// idle, and its close command then ends the program.
#include "tests/e2e/scenario.h"

namespace e2e {
namespace {

const char completionText[] =
    "Quillmark installation is complete.\n\nDo you want to enable Quillmark on this computer \n"
    "now (setup preferences, add icons, etc.)?\n\nIf you choose No, make sure to run \"QMSETUP.EXE\"\n"
    "later to setup this workstation, or others.";

class Idle : public Scenario {};

TEST_F(Idle, AConfigurationProgramThatCannotStartLeavesTheWindowOpenUntilTheUserClosesIt)
{
    startFromMedium();
    HWND main = waitForMainWindow();
    HWND dialog = waitForDialog();
    ASSERT_TRUE(main && dialog);
    setControlText(dialog, 203, "Katherine Johnson");
    setControlText(dialog, 1020, "Trajectories");
    setControlText(dialog, 204, "NACA");
    setControlText(dialog, 1022, defaultTarget);
    setCheck(dialog, 1023, 0);
    pressButton(dialog, IDOK);

    // The configuration program goes before the question is answered.
    HWND box = NULL;
    for (int waited = 0; waited < 300000 && !box; waited += 50) {
        box = findMessageBox(setup);
        if (!box) Sleep(50);
    }
    ASSERT_TRUE(box) << "the installation never asked its completion question";
    std::string program = std::string(defaultTarget) + "\\qmsetup.exe";
    ASSERT_TRUE(DeleteFileA(program.c_str())) << "no " << program << " was installed";
    ASSERT_TRUE(answerMessageBox(setup, {completionText, "Installation Complete", MB_YESNO | MB_ICONQUESTION, main},
                                 IDYES));
    std::string tried = winIniValue("BinDirectory") + "\\qmsetup.exe";
    std::string failure = tried + " could not be found or run.\nClose the application and run QMSETUP.EXE.";
    ASSERT_TRUE(answerMessageBox(setup, {failure.c_str(), "QMSETUP program can not start",
                                         MB_OK | MB_ICONINFORMATION, main}, IDOK));

    // Idle: open, enabled, painting, and deaf to every system command but close.
    for (UINT command : {SC_MINIMIZE, SC_MOVE, SC_SIZE, SC_MAXIMIZE}) PostMessageA(main, WM_SYSCOMMAND, command, 0);
    // The repaint comes after the posted commands and after a quit, had the
    // program asked for one.
    ASSERT_TRUE(waitForRepaint(main)) << "the window hangs";
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(setup.process, 0)) << "the program ended by itself";
    EXPECT_TRUE(IsWindowVisible(main) && IsWindowEnabled(main) && !IsIconic(main));
    RECT rect = windowRect(main);
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(0, rect.top);
    EXPECT_EQ(NULL, findMessageBox(setup));

    // The close button of the caption, as the failure message asks.
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD exitCode = 1234;
    ASSERT_TRUE(waitForExit(&setup, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(tried.substr(0, tried.size() - strlen("\\qmsetup.exe")), winIniValue("BinDirectory"));
}

}  // namespace
}  // namespace e2e
