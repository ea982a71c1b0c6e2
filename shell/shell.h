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
extern int installationOver;   // set when the user dialog has returned; the close command then works

// The whole start-up and message loop of WinMain: 0 at the end of a run (or
// when a window class cannot be registered), 1 when the main window cannot
// be created.
int runSetup(HINSTANCE instance, int showCommand);

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK splashDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void centreAndTitleWindow(HWND window);

// The first paint's hand-over: detects the source mode and runs the user
// dialog, inside which the whole installation runs. Called by paintBillboard.
void runFirstPaintHandOver(HWND window);
