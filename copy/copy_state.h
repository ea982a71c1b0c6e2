// The copy engine's process-wide progress values. Portable so that the
// pacing arithmetic is tested natively.
#pragma once
#include "install/text.h"

#ifdef _WIN32
#include <windows.h>
typedef HWND WindowHandle;
#else
typedef void *WindowHandle;
#endif

struct CopyState {
    WindowHandle progressWindow;  // while it exists, else null
    int cancelRequested;          // 1 once the user confirmed the cancel
    char currentFileName[textSize];
    int bytesPerPercent;          // stored bytes that make one percent
    int carriedBytes;             // bytes of files too small to count yet
    float percentExact;
    int percentDone;              // 0 to 100, as shown
    int bulletStep;               // percent per bullet line
    int themeCounter;             // next theme turn at percentPerTheme * themeCounter
    int bulletCounter;            // next bullet step at bulletStep * bulletCounter
};

extern CopyState copyState;

void resetCopyState();
