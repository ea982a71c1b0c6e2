// After a whole installation whose configuration program cannot be started:
// the failure names the path that was tried, the main window stays open and
// idle, and its close command then ends the program.
#include "tests/e2e/scenario.h"

namespace e2e {
namespace {

class Idle : public Scenario {};

TEST_F(Idle, AConfigurationProgramThatCannotStartLeavesTheWindowOpenUntilTheUserClosesIt)
{
    startFromMedium();
    HWND main = waitForMainWindow();
    HWND dialog = waitForDialog();
    ASSERT_TRUE(main && dialog);
    fillUserDialog(dialog, "Katherine Johnson", "Trajectories", "NACA", defaultTarget, false);

    // The configuration program goes before the question is answered.
    HWND box = waitForMessageBox(setup, 300000);
    ASSERT_TRUE(box) << "the installation never asked its completion question";
    std::string program = std::string(defaultTarget) + "\\qmsetup.exe";
    ASSERT_TRUE(DeleteFileA(program.c_str())) << "no " << program << " was installed";
    ASSERT_TRUE(answerMessageBox(setup, {completionText, "Installation Complete", MB_YESNO | MB_ICONQUESTION, main},
                                 IDYES));
    // The failure names the program where the installation put it.
    ASSERT_EQ(defaultTarget, winIniValue("BinDirectory"));
    std::string tried = std::string(defaultTarget) + "\\qmsetup.exe";
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
}

}  // namespace
}  // namespace e2e
