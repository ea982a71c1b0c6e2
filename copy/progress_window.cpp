// The progress window: "Transferring:", the file name, the bar, the
// percentage and a Cancel button, over the billboard while files are copied.
#include "copy/progress_window.h"

#include "copy/copy_state.h"
#include "copy/pacing.h"
#include "copy/progress_layout.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "shell/shell.h"

enum { progressChildId = 1, cancelButtonId = 2 };
enum { progressX = 200, progressY = 200, progressWidth = 200, progressHeight = 150 };

static ProgressLayout layout;  // computed at WM_CREATE and WM_SIZE
static HWND cancelButton;      // the window's one child

// The setup bitmap, held in a memory DC from the window's creation to its
// destruction, so that a paint copies it with one BitBlt. Selecting a bitmap
// into a DC makes Wine ask the server about the display: done once here, not
// per paint. (A pattern brush asks nothing either, but Windows 95/98/Me take
// only the top left 8 x 8 pixels of a larger bitmap for a brush.)
static struct {
    HDC dc;          // the memory DC, or null
    HGDIOBJ initial; // the DC's own bitmap, selected back before it is deleted
    HBITMAP held;    // the bitmap it holds: setupBitmap when it was taken
    int width, height;
} picture;

void writeDebugLine(const char *text)
{
    OutputDebugStringA(text);
}

/* Opens the progress window on the main window and paints it at once. */
void createProgressWindow()
{
    HWND window = CreateWindowExA(0, "CopyProgress", "", WS_CHILD | WS_VISIBLE, progressX, progressY,
                                  progressWidth, progressHeight, mainWindow, (HMENU)progressChildId,
                                  appInstance, nullptr);
    copyState.progressWindow = window;
    if (!window) return;
    ShowWindow(window, SW_RESTORE);
    UpdateWindow(window);
}

/* Closes the progress window and lets the billboard paint where it stood. */
void destroyProgressWindow()
{
    if (copyState.progressWindow) DestroyWindow(copyState.progressWindow);
    copyState.progressWindow = nullptr;
    UpdateWindow(mainWindow);
}

static void readWindowSize(HWND window, int *width, int *height)
{
    RECT rect;
    GetWindowRect(window, &rect);
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
}

/* Takes setupBitmap into the memory DC. The DC's own bitmap goes back in
 * first, so that the DC never keeps a bitmap the program is done with. */
static void holdSetupBitmap()
{
    BITMAP description;
    if (!picture.dc) return;
    if (picture.initial) SelectObject(picture.dc, picture.initial);
    picture.initial = nullptr;
    picture.held = setupBitmap;
    picture.width = picture.height = 0;
    if (!setupBitmap || !GetObjectA(setupBitmap, sizeof description, &description)) return;
    picture.initial = SelectObject(picture.dc, setupBitmap);
    if (!picture.initial) return;
    picture.width = description.bmWidth;
    picture.height = description.bmHeight;
}

static void releasePicture()
{
    if (!picture.dc) return;
    if (picture.initial) SelectObject(picture.dc, picture.initial);
    DeleteDC(picture.dc);
    picture = {};
}

static void onCreate(HWND window)
{
    TEXTMETRICA metrics = {};
    HDC dc = GetDC(window);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(SYSTEM_FIXED_FONT));
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, oldFont);
    picture.dc = CreateCompatibleDC(dc);
    ReleaseDC(window, dc);
    holdSetupBitmap();

    int width, height;
    readWindowSize(window, &width, &height);
    layoutOnCreate(&layout, width, height, metrics.tmAveCharWidth,
                   metrics.tmHeight + metrics.tmExternalLeading);
    cancelButton = CreateWindowExA(0, "button", "Cancel", WS_CHILD | WS_VISIBLE, layout.cancelX,
                                   layout.cancelY, layout.cancelWidth, layout.cancelHeight, window,
                                   (HMENU)cancelButtonId, appInstance, nullptr);
}

static void onSize(HWND window)
{
    int width, height;
    readWindowSize(window, &width, &height);
    layoutOnSize(&layout, width, height);
    MoveWindow(cancelButton, layout.cancelX, layout.cancelY, layout.cancelWidth, layout.cancelHeight, TRUE);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

static void drawText(HDC dc, LayoutPoint at, COLORREF color, const char *text)
{
    SetTextColor(dc, color);
    TextOutA(dc, at.x, at.y, text, lstrlenA(text));
}

static void drawTexts(HDC dc)
{
    HFONT font = CreateFontA(15, 0, 0, 0, 300, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 30, "Arial");
    HGDIOBJ oldFont = SelectObject(dc, font);
    drawText(dc, labelPosition(&layout), RGB(255, 0, 0), "Transferring:");
    drawText(dc, fileNamePosition(&layout), RGB(0, 0, 0), copyState.currentFileName);
    SelectObject(dc, oldFont);
    DeleteObject(font);
}

/* A sunken frame just outside the bar, and the green fill. */
static void drawBar(HDC dc)
{
    LayoutRect bar = barRect(&layout);
    HPEN grey = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    HGDIOBJ oldPen = SelectObject(dc, grey);
    MoveToEx(dc, bar.left - 1, bar.bottom + 1, nullptr);
    LineTo(dc, bar.left - 1, bar.top - 1);
    LineTo(dc, bar.right, bar.top - 1);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    MoveToEx(dc, bar.left - 1, bar.bottom + 1, nullptr);
    LineTo(dc, bar.right - 1, bar.bottom + 1);
    LineTo(dc, bar.right - 1, bar.top - 1);
    SelectObject(dc, oldPen);
    DeleteObject(grey);

    int fill = fillWidth(layout.windowWidth, copyState.percentDone);
    if (fill <= 2) return;
    HPEN green = CreatePen(PS_SOLID, 1, RGB(0, 128, 0));
    HBRUSH greenBrush = CreateSolidBrush(RGB(0, 128, 0));
    oldPen = SelectObject(dc, green);
    HGDIOBJ oldBrush = SelectObject(dc, greenBrush);
    Rectangle(dc, bar.left, bar.top, bar.left + fill, bar.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(greenBrush);
    DeleteObject(green);
}

/* The setup bitmap in its own size with its top left corner at (x, y). The
 * paint draws setupBitmap as it is now: one set only after the window was
 * made is taken into the memory DC first. */
static void drawSetupBitmap(HDC dc, int x, int y)
{
    if (picture.held != setupBitmap) holdSetupBitmap();
    if (picture.width > 0) BitBlt(dc, x, y, picture.width, picture.height, picture.dc, 0, 0, SRCCOPY);
}

/* 1 when the area being painted reaches the Cancel button's place. */
static int areaMeetsButton(const RECT *area)
{
    RECT button = {layout.cancelX, layout.cancelY, layout.cancelX + layout.cancelWidth,
                   layout.cancelY + layout.cancelHeight};
    RECT common;
    return IntersectRect(&common, area, &button) != 0;
}

/* Everything the window shows, into a DC whose background is already
 * erased and whose clipping is the area being painted. */
static void drawContents(HDC dc, const RECT *area)
{
    drawTexts(dc);
    drawBar(dc);
    char percent[16];
    formatText(percent, sizeof percent, "%3d%%", copyState.percentDone);
    drawText(dc, percentPosition(&layout), RGB(0, 0, 255), percent);

    // The window does not clip its child, so the button is painted again
    // over the fresh background, where this paint reached it: a refresh
    // stops above the button.
    if (areaMeetsButton(area)) {
        RECT buttonRect = {layout.cancelButtonRect.left, layout.cancelButtonRect.top,
                           layout.cancelButtonRect.right, layout.cancelButtonRect.bottom};
        InvalidateRect(cancelButton, &buttonRect, TRUE);
        UpdateWindow(cancelButton);
    }
    drawSetupBitmap(dc, 150, 10);
}

static void onPaint(HWND window)
{
    PAINTSTRUCT paint;
    // The class has no DC of its own, so the paint's DC maps one unit to one
    // pixel already: the layout is in pixels and no mapping is set.
    HDC dc = BeginPaint(window, &paint);
    drawContents(dc, &paint.rcPaint);
    EndPaint(window, &paint);
}

void confirmCancel()
{
    // A cancel once taken is not asked about again (a second click or
    // Escape still in the queue).
    if (copyState.cancelRequested) return;
    if (showMessage(mainWindow, installState.quitPrompt, "Terminate Setup?", MB_YESNO | MB_ICONQUESTION) == IDYES)
        copyState.cancelRequested = 1;
}

static void onCommand(WPARAM wParam)
{
    // Only a click on Cancel, whole parameter 2; every other command is ignored.
    if (wParam == cancelButtonId) confirmCancel();
}

/* Repaints refreshRect at once. With nothing else waiting to be painted the
 * area is erased and drawn straight into a DC clipped to it, as its own
 * paint would: invalidating and updating costs Wine seven server requests
 * each time (the update region asked three times, the caret hidden and
 * shown), this two. Anything else pending is painted with it, as before. */
static void onRefresh(HWND window)
{
    RECT area = {layout.refreshRect.left, layout.refreshRect.top, layout.refreshRect.right,
                 layout.refreshRect.bottom};
    HDC dc = GetUpdateRect(window, nullptr, FALSE) ? nullptr : GetDC(window);
    if (!dc) {
        InvalidateRect(window, &area, TRUE);
        UpdateWindow(window);
        return;
    }
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    SendMessageA(window, WM_ERASEBKGND, (WPARAM)dc, 0);
    drawContents(dc, &area);
    ReleaseDC(window, dc);
}

LRESULT CALLBACK progressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        onCreate(window);
        return 0;
    case WM_SIZE:
        onSize(window);
        return 0;
    case WM_PAINT:
        onPaint(window);
        return 0;
    case WM_COMMAND:
        onCommand(wParam);
        return 0;
    case progressRefresh:
        onRefresh(window);
        return 0;
    case WM_DESTROY:
        releasePicture();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
