// The splash shown while start-up runs, and the placing of top-level windows.
#include "install/install_state.h"
#include "shell/shell.h"

INT_PTR CALLBACK splashDialogProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        centreAndTitleWindow(dialog);
        UpdateWindow(dialog);  // no message loop runs for it during start-up
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
    SetWindowPos(window, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    char caption[256];
    if (formatText(caption, sizeof caption, "%s Installation", productShortName) == 0)
        SetWindowTextA(window, caption);
}
