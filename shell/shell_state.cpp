// The shell's process-wide handles, defined once.
#include "shell/shell.h"

HINSTANCE appInstance;
HWND mainWindow;
char windowTitle[256];
int clientWidth;
int clientHeight;
int firstPaintPending = 1;
HBITMAP pointerBitmap;
HBITMAP setupBitmap;
