// The demo without a screen of one's own: installs from the demo medium with
// sample answers, as a user would, and keeps a screenshot of each step under
// screenshots/. Prints what the installation left behind.
#include <cstdio>

#include "tests/support/driver.h"

using namespace e2e;

static const char target[] = "C:\\QUILLMRK";
// Files of the demo medium there when the copy's screenshot is taken.
enum { copiedBeforeScreenshot = 100 };
static const char completionText[] =
    "Quillmark installation is complete.\n\nDo you want to enable Quillmark on this computer \n"
    "now (setup preferences, add icons, etc.)?\n\nIf you choose No, make sure to run \"QMSETUP.EXE\"\n"
    "later to setup this workstation, or others.";

enum { settleMs = 5000, settlePollMs = 50 };

// Taken once the windows named have painted on the screen and, unless the
// screen is busy, once two looks in a row see the same.
static void screenshot(const char *name, std::initializer_list<HWND> shown, bool busy = false)
{
    for (HWND window : shown) {
        testing::AssertionResult painted = waitForPainted(window);
        if (!painted) printf("demo: %s: %s\n", name, painted.message());
    }
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    Image image, before;
    bool taken = captureScreen(screen, &image);
    for (int waited = 0; taken && !busy && waited < settleMs; waited += settlePollMs) {
        before = image;
        Sleep(settlePollMs);
        taken = captureScreen(screen, &image);
        if (taken && image.pixels == before.pixels) break;
    }
    if (taken) {
        saveScreenshot(image, name);
        printf("demo: screenshot %s\n", name);
    }
}

static int fail(const testing::AssertionResult &result, SetupProcess *setup)
{
    printf("demo: %s\n", result.message());
    screenshot("failure", {});
    stopSetup(setup);
    return 1;
}

static int countFiles(const std::string &dir)
{
    int count = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            count += countFiles(dir + "\\" + name);
        else
            count++;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

int main()
{
    clearWinIniSection();
    removeTree(target);
    SetupProcess setup = {};
    testing::AssertionResult step = startSetup(mediumFile("SETUP.EXE"), mediumDir(), &setup);
    if (!step) return fail(step, &setup);
    HWND dialog = NULL;
    if (!(step = waitForUserDialog(setup, &dialog))) return fail(step, &setup);
    HWND main = findWindow(setup, "setup", NULL);
    screenshot("1-dialog", {main, dialog});

    setControlText(dialog, 203, "Ada Lovelace");
    setControlText(dialog, 1020, "Documentation");
    setControlText(dialog, 204, "Quillmark Demo Ltd");
    setControlText(dialog, 1022, target);
    setCheck(dialog, 1023, 1);
    screenshot("2-answers", {dialog});
    pressButton(dialog, IDOK);

    // One screenshot a while into the copy, if it still runs then.
    HWND progress = NULL;
    for (int waited = 0; waited < 30000 && !findMessageBox(setup); waited += 20) {
        progress = findChildWindow(main, "CopyProgress");
        if (progress && countFiles(target) >= copiedBeforeScreenshot) {
            screenshot("3-copying", {main, progress}, true);
            break;
        }
        Sleep(20);
    }
    // A whole installation takes a while under Wine.
    HWND box = NULL;
    for (int waited = 0; waited < 600000 && !(box = findMessageBox(setup)); waited += 50) Sleep(50);
    if (box) screenshot("4-complete", {main, box});
    step = answerMessageBox(setup, {completionText, "Installation Complete", MB_YESNO | MB_ICONQUESTION, main}, IDNO,
                            600000);
    if (!step) return fail(step, &setup);
    DWORD exitCode = 0;
    if (!(step = waitForExit(&setup, &exitCode))) return fail(step, &setup);
    stopSetup(&setup);

    std::string user;
    readOwnerData(std::string(target) + "\\quillmrk.dat", "User", &user);
    printf("demo: SETUP.EXE ended with %lu\n", exitCode);
    printf("demo: %d files in %s\n", countFiles(target), target);
    printf("demo: WIN.INI BinDirectory=%s PrefDirectory=%s\n", winIniValue("BinDirectory").c_str(),
           winIniValue("PrefDirectory").c_str());
    printf("demo: quillmrk.dat User=%s\n", user.c_str());
    return exitCode == 0 ? 0 : 1;
}
