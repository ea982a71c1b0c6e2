// The progress window shown over the billboard while files are copied.
#pragma once
#include <windows.h>

// Sent by the disk loop to the progress window before each transfer (and
// after a file's progress step when its share reached one percent):
// repaints the file name, the bar and the percentage at once.
enum { progressRefresh = 50001 };

void createProgressWindow();
void destroyProgressWindow();
// What the Cancel button asks: the quit confirmation, whose Yes raises the
// cancel flag.
void confirmCancel();
LRESULT CALLBACK progressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
