// The main window: a fixed billboard that the user can neither move, size,
// minimise nor close while the installation runs inside its first paint.
#include "copy/copy_state.h"
#include "install/paths.h"
#include "install/user_dialog.h"
#include "shell/billboard.h"
#include "shell/shell.h"

enum { progressWidth = 200, progressHeight = 150 };

int installationOver;

static DLGPROC userDialogProcedure;  // recorded at WM_CREATE, opened by the first paint

static void onCreate(HWND window)
{
    HMENU systemMenu = GetSystemMenu(window, FALSE);
    if (systemMenu) {
        DeleteMenu(systemMenu, SC_MINIMIZE, MF_BYCOMMAND);
        DeleteMenu(systemMenu, SC_SIZE, MF_BYCOMMAND);
    }
    userDialogProcedure = userDialogProc;
    InvalidateRect(window, NULL, TRUE);
    UpdateWindow(window);
}

static void onSize(HWND window, LPARAM size)
{
    clientWidth = LOWORD(size);
    clientHeight = HIWORD(size);
    if (!copyState.progressWindow) return;
    // Placed from the outer rectangle, as the platform reports it.
    RECT outer;
    GetWindowRect(window, &outer);
    MoveWindow(copyState.progressWindow, (outer.right - progressWidth) / 2, outer.bottom - 280,
               progressWidth, progressHeight, TRUE);
}

/*
 * Every system command is swallowed while the installation runs. Once the
 * user dialog has returned and the window is still open (the configuration
 * program could not be started), the close command goes through, so the
 * user can end the program as its message asks.
 */
static LRESULT onSysCommand(HWND window, WPARAM command, LPARAM lParam)
{
    if (installationOver && (command & 0xFFF0) == SC_CLOSE)
        return DefWindowProcA(window, WM_SYSCOMMAND, command, lParam);
    return 0;
}

static void onDestroy()
{
    if (copyState.progressWindow) {
        DestroyWindow(copyState.progressWindow);
        copyState.progressWindow = NULL;
    }
    if (pointerBitmap) DeleteObject(pointerBitmap);
    pointerBitmap = NULL;
    if (setupBitmap) DeleteObject(setupBitmap);
    setupBitmap = NULL;
    PostQuitMessage(0);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        onCreate(window);
        return 0;
    case WM_SIZE:
        onSize(window, lParam);
        return 0;
    case WM_PAINT:
        paintBillboard(window);
        return 0;
    case WM_SYSCOMMAND:
        return onSysCommand(window, wParam, lParam);
    case WM_DISPLAYCHANGE:
        forgetBillboardMapping();
        break;
    case WM_DESTROY:
        onDestroy();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void runFirstPaintHandOver(HWND window)
{
    // Cleared first: the dialog's loop and the copy dispatch nested paints.
    firstPaintPending = 0;
    detectSourceMode();
    DialogBoxParamA(appInstance, "TextInputDiaBox", window, userDialogProcedure, 0);
    installationOver = 1;
    InvalidateRect(window, NULL, TRUE);
    UpdateWindow(window);
}
