// A test imaging library, SNBD7W95.DLL for the splash scenario: it binds
// like the real one but has no picture, and it holds the start-up just
// before the main window is made, while only the splash is on the screen,
// until the test has looked at it. The test makes the two events: it waits
// for holdingEvent, then sets releaseEvent. With the fault event made, it
// writes through a null pointer instead.
#include <windows.h>

#include <cstring>

#include "product/imaging/snbd7w95.h"
#include "tests/e2e/hold_imaging.h"

enum { holdLimitMs = 30000 };  // a test that died never leaves the program stuck

static HHOOK creationHook;

static void holdUntilReleased()
{
    HANDLE holding = OpenEventA(EVENT_MODIFY_STATE, FALSE, holdingEventName);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, releaseEventName);
    if (holding) SetEvent(holding);
    if (release) WaitForSingleObject(release, holdLimitMs);
    if (holding) CloseHandle(holding);
    if (release) CloseHandle(release);
}

static LRESULT CALLBACK onCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA *create = ((CBT_CREATEWNDA *)lParam)->lpcs;
        // The main window's class is named by a string, never by an atom.
        if (!IS_INTRESOURCE(create->lpszClass) && strcmp(create->lpszClass, "setup") == 0) {
            UnhookWindowsHookEx(creationHook);
            holdUntilReleased();
            return 0;
        }
    }
    return CallNextHookEx(creationHook, code, wParam, lParam);
}

extern "C" {

// Called once, while the library is bound, before the splash is made.
int WINAPI IMG_decompress_bitmap_fd(HFILE, int, int)
{
    HANDLE fault = OpenEventA(SYNCHRONIZE, FALSE, faultEventName);
    if (fault) {
        CloseHandle(fault);
        *(volatile int *)nullptr = 0;
    }
    creationHook = SetWindowsHookExA(WH_CBT, onCreation, NULL, GetCurrentThreadId());
    return imagingFailure;
}

int WINAPI IMGLOW_set_alias(int) { return 0; }
HBITMAP WINAPI IMG_dib_to_ddb(int, int, int) { return NULL; }
HPALETTE WINAPI IMG_get_bitmap_palette(int) { return NULL; }

#include "product/imaging/unused_entries.inc"

}  // extern "C"
