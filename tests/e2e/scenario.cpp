#include "tests/e2e/scenario.h"

#include "tests/support/uninstaller_files.h"

namespace e2e {

const char defaultTarget[] = "C:\\QUILLMRK";
const char earlierTarget[] = "C:\\QMEARLY";
const char existingTarget[] = "C:\\QMEXIST";
const char bareFolder[] = "C:\\QMBARE";

const char completionText[] =
    "Quillmark installation is complete.\n\nDo you want to enable Quillmark on this computer \n"
    "now (setup preferences, add icons, etc.)?\n\nIf you choose No, make sure to run \"QMSETUP.EXE\"\n"
    "later to setup this workstation, or others.";
const char cancelledText[] = "Installation has been cancelled or terminated.";

static void cleanState()
{
    clearWinIniSection();
    for (const char *dir : {defaultTarget, earlierTarget, existingTarget, bareFolder, dataFolder}) removeTree(dir);
}

void Scenario::SetUp()
{
    cleanState();
    ASSERT_TRUE(fileExists(mediumFile("SETUP.EXE"))) << "no SETUP.EXE in " << mediumDir();
}

void Scenario::TearDown()
{
    stopSetup(&setup);
    cleanState();
}

void Scenario::startFromMedium()
{
    ASSERT_TRUE(startSetup(mediumFile("SETUP.EXE"), mediumDir(), &setup));
}

void Scenario::startWithoutImaging()
{
    ASSERT_TRUE(CreateDirectoryA(bareFolder, NULL));
    std::string exe = std::string(bareFolder) + "\\SETUP.EXE";
    ASSERT_TRUE(copyFileTo(mediumFile("SETUP.EXE"), exe));
    ASSERT_TRUE(startSetup(exe, bareFolder, &setup));
}

HWND Scenario::waitForMainWindow()
{
    HWND window = NULL;
    EXPECT_TRUE(waitForWindow(setup, "setup", "Quillmark Professional Installation", &window));
    for (int waited = 0; window && !IsWindowVisible(window) && waited < windowTimeoutMs; waited += 20) Sleep(20);
    return window;
}

HWND Scenario::waitForDialog()
{
    HWND dialog = NULL;
    EXPECT_TRUE(waitForUserDialog(setup, &dialog));
    return dialog;
}

}  // namespace e2e
