// A test imaging library, SNBD7W95.DLL for the splash scenario: it binds
// like the real one but has no picture, and it holds the start-up just
// before the main window is made, while only the splash is on the screen,
// until the test has looked at it. The test makes the two events: it waits
// for holdingEvent, then sets releaseEvent.
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
    creationHook = SetWindowsHookExA(WH_CBT, onCreation, NULL, GetCurrentThreadId());
    return imagingFailure;
}

int WINAPI IMGLOW_set_alias(int) { return 0; }
HBITMAP WINAPI IMG_dib_to_ddb(int, int, int) { return NULL; }
HPALETTE WINAPI IMG_get_bitmap_palette(int) { return NULL; }

// Present only so that the library binds.
int WINAPI IMGLOW_get_filetype(void) { return imagingFailure; }
int WINAPI IMGLOW_get_pages(void) { return imagingFailure; }
int WINAPI IMGLOW_get_bitmap_name(void) { return imagingFailure; }
int WINAPI IMG_set_statusbar(void) { return imagingFailure; }
int WINAPI IMGLOW_get_bitmap_header(void) { return imagingFailure; }
int WINAPI IMG_delete_bitmap(void) { return imagingFailure; }
int WINAPI IMG_set_croprect(void) { return imagingFailure; }
int WINAPI IMG_display_bitmap(void) { return imagingFailure; }
int WINAPI IMG_bitmap_palette(void) { return imagingFailure; }
int WINAPI IMG_rotate_bitmap(void) { return imagingFailure; }
int WINAPI IMG_flip_bitmapx(void) { return imagingFailure; }
int WINAPI IMG_flip_bitmapy(void) { return imagingFailure; }
int WINAPI IMG_bitmap_info(void) { return imagingFailure; }
int WINAPI IMG_print_bitmap(void) { return imagingFailure; }
int WINAPI IMG_sharpen_bitmap(void) { return imagingFailure; }
int WINAPI IMG_set_lut(void) { return imagingFailure; }
int WINAPI IMG_set_gamma(void) { return imagingFailure; }
int WINAPI IMG_invert_bitmap(void) { return imagingFailure; }
int WINAPI IMG_print_bitmap_fast(void) { return imagingFailure; }
int WINAPI IMG_runs_to_dib(void) { return imagingFailure; }
int WINAPI IMG_set_display_angle(void) { return imagingFailure; }
int WINAPI IMG_save_bitmap(void) { return imagingFailure; }
int WINAPI IMGLOW_set_alias_quality(void) { return imagingFailure; }
int WINAPI IMGLOW_get_raster(void) { return imagingFailure; }
int WINAPI IMGLOW_set_rop(void) { return imagingFailure; }
int WINAPI IMGLOW_is_tiled_image(void) { return imagingFailure; }
int WINAPI IMGLOW_get_tile_info(void) { return imagingFailure; }
int WINAPI IMG_decompress_tiled_bitmap(void) { return imagingFailure; }
int WINAPI IMGLOW_get_image_orientation(void) { return imagingFailure; }

}  // extern "C"
