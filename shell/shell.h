// Start-up and the main window: the shell's process-wide handles.
#pragma once
#include <windows.h>

extern HINSTANCE appInstance;  // set just before the main window is created
extern HWND mainWindow;        // owner of every box once the dialog has ended
extern char windowTitle[256];  // productName + " Installation"
extern int clientWidth;        // from every WM_SIZE
extern int clientHeight;
extern int firstPaintPending;  // the next WM_PAINT opens the user dialog
extern HBITMAP pointerBitmap;  // "BMIMAGEFING", the hand beside the highlighted line
extern HBITMAP setupBitmap;    // "BMIMAGESETUP", drawn in the progress window

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK splashDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void centreAndTitleWindow(HWND window);
