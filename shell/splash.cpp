// The splash shown while start-up runs, and the placing of top-level windows.
#include "install/install_state.h"
#include "shell/shell.h"

INT_PTR CALLBACK splashDialogProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        centreAndTitleWindow(dialog);
        // No message loop runs for it during start-up: it is shown here,
        // before the dialog would show it, and painted at once while visible.
        ShowWindow(dialog, SW_SHOWNA);
        UpdateWindow(dialog);
        return TRUE;
    }
    return FALSE;
}

/*
 * Centres the window across the screen, one third of the way down, keeping
 * its size and z-order, and captions it with the short product name.
 */
void centreAndTitleWindow(HWND window)
{
    RECT outer;
    if (!GetWindowRect(window, &outer)) return;
    int width = outer.right - outer.left;
    int height = outer.bottom - outer.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 3;
    // Not activated: under Wine an activated window goes to the window
    // manager, which shows it only after the paint has gone by, blank.
    SetWindowPos(window, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    char caption[256];
    if (formatText(caption, sizeof caption, "%s Installation", productShortName) == 0)
        SetWindowTextA(window, caption);
}
