// Screenshots of the real SETUP.EXE for the README, taken by
// scripts/pictures.sh inside a Wine virtual desktop (which draws the window
// captions): the billboard with the progress window near the middle of the
// copy, a later theme near its end, the completion question, and the user
// dialog prefilled by that installation. Each is checked for what it must
// show, then saved as a BMP under screenshots/.
#include <cstdio>

#include "tests/support/driver.h"

using namespace e2e;

static const char installDir[] = "C:\\QUILLMRK";

enum { barWidth = 149 };  // green columns of the full bar

static int fail(const char *what, SetupProcess *setup)
{
    printf("pictures: %s\n", what);
    stopSetup(setup);
    return 1;
}

static int count(const Image &shot, int left, int top, int right, int bottom, uint32_t colour)
{
    int n = 0;
    for (int y = top; y < bottom && y < shot.height; y++)
        for (int x = left; x < right && x < shot.width; x++) n += shot.at(x, y) == colour;
    return n;
}

static RECT unite(RECT a, RECT b)
{
    RECT both;
    UnionRect(&both, &a, &b);
    return both;
}

// The progress window at rest: its red label, black name and blue
// percentage drawn, and the bar's green columns (-1 when not all are there).
static int progressColumns(HWND progress)
{
    Image shot;
    if (!captureScreen(windowRect(progress), &shot)) return -1;
    if (count(shot, 25, 13, 125, 30, rgb(255, 0, 0)) < 20 || count(shot, 40, 35, 160, 50, rgb(0, 0, 0)) < 10 ||
        count(shot, 85, 50, 130, 66, rgb(0, 0, 255)) < 10)
        return -1;
    return count(shot, 25, 75, 175, 76, rgb(0, 128, 0));
}

// Holds SETUP.EXE still, and saves the main window once the bar has reached
// columns and the progress window is whole. 1 when saved.
static int shootCopy(const SetupProcess &setup, HWND main, HANDLE thread, int columns, const char *name)
{
    for (int waited = 0; waited < 600000; waited += 5) {
        // Before the copy there is no progress window yet; after it, a box.
        HWND progress = findChildWindow(main, "CopyProgress");
        if (findMessageBox(setup) || WaitForSingleObject(setup.process, 0) == WAIT_OBJECT_0) return 0;
        if (!progress) {
            Sleep(5);
            continue;
        }
        SuspendThread(thread);
        int seen = progressColumns(progress);
        int saved = 0;
        Image image;
        if (seen >= columns && captureScreen(windowRect(main), &image)) {
            saveScreenshot(image, name);
            printf("pictures: %s at %d%%\n", name, seen * 100 / barWidth);
            saved = 1;
        }
        ResumeThread(thread);
        if (saved) return 1;
        Sleep(5);
    }
    return 0;
}

// Saves the main window with the completion question over it, then
// answers No. 1 when saved.
static int shootCompletion(const SetupProcess &setup, HWND main, const char *name)
{
    HWND box = waitForMessageBox(setup, 600000);
    if (!box || windowText(box) != "Installation Complete") return 0;
    Sleep(500);  // let it paint
    Image image;
    int saved = captureScreen(unite(windowRect(main), windowRect(box)), &image);
    if (saved) {
        saveScreenshot(image, name);
        printf("pictures: %s\n", name);
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), (LPARAM)GetDlgItem(box, IDNO));
    return saved;
}

int main()
{
    clearWinIniSection();
    removeTree(installDir);
    SetupProcess setup = {};
    if (!startSetup(mediumFile("SETUP.EXE"), mediumDir(), &setup)) return fail("SETUP.EXE does not start", &setup);
    HWND dialog = NULL;
    if (!waitForUserDialog(setup, &dialog)) return fail("no user dialog", &setup);
    HWND main = findWindow(setup, "setup", NULL);
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, setup.threadId);
    if (!main || !thread) return fail("no main window or thread", &setup);
    fillUserDialog(dialog, "Ada Lovelace", "Documentation", "Quillmark Demo Ltd", installDir, true);

    // The theme turns at every 17 %: the middle shows the third theme, 90 %
    // the last one.
    int shot = shootCopy(setup, main, thread, barWidth / 2, "copy-middle") &&
               shootCopy(setup, main, thread, barWidth * 90 / 100, "copy-later-theme") &&
               shootCompletion(setup, main, "completion");
    CloseHandle(thread);
    if (!shot) return fail("the copy or its completion question was not seen whole", &setup);
    DWORD exitCode = 0;
    if (!waitForExit(&setup, &exitCode)) return fail("SETUP.EXE does not end", &setup);
    stopSetup(&setup);

    // The second run finds the first one and prefills the dialog from it.
    if (!startSetup(mediumFile("SETUP.EXE"), mediumDir(), &setup)) return fail("SETUP.EXE does not start", &setup);
    if (!waitForUserDialog(setup, &dialog)) return fail("no user dialog", &setup);
    main = findWindow(setup, "setup", NULL);
    if (controlText(dialog, 204) != "Quillmark Demo Ltd") return fail("the dialog is not prefilled", &setup);
    Sleep(500);  // let it paint
    Image image;
    if (!captureScreen(windowRect(main), &image)) return fail("no screen", &setup);
    saveScreenshot(image, "dialog-prefilled");
    printf("pictures: dialog-prefilled\n");
    pressButton(dialog, IDCANCEL);
    waitForExit(&setup, &exitCode);
    stopSetup(&setup);
    clearWinIniSection();
    removeTree(installDir);
    return 0;
}
