// The billboard: background picture, theme title, five bullet lines with the
// pointing hand, and the footer, all on a 500 x 500 isotropic grid.
#include "shell/billboard.h"

#include <cstring>

#include "copy/copy_state.h"
#include "shell/imaging/imaging.h"
#include "shell/shell.h"

enum {
    gridExtent = 500,
    pictureWidth = 671,  // wider than the grid: covers the client width
    pictureHeight = 500,
    linePitch = 25,
    footerX = 175,
};

static const COLORREF titleColour = RGB(92, 92, 92);
static const COLORREF tagLineColour = RGB(0, 0, 255);
static const COLORREF noticeColour = RGB(92, 92, 92);

static HFONT makeFont(int height, int width, int weight, int italic, int underline,
                      int pitchAndFamily, const char *face)
{
    return CreateFontA(height, width, 0, 0, weight, italic, underline, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, pitchAndFamily, face);
}

static void drawText(HDC dc, int x, int y, const char *text)
{
    TextOutA(dc, x, y, text, (int)strlen(text));
}

static void drawTitle(HDC dc, HFONT lineFont)
{
    HFONT titleFont = makeFont(22, 0, FW_SEMIBOLD, TRUE, TRUE, 0x0A, "Times New Roman");
    SelectObject(dc, titleFont);
    SetTextColor(dc, titleColour);
    int theme = billboard.themeIndex;
    if (theme >= 0 && theme < themeTitleCount) drawText(dc, 145, 45, themeTitles[theme]);
    SelectObject(dc, lineFont);
    if (titleFont) DeleteObject(titleFont);
}

static void drawLines(HDC dc)
{
    for (int i = 0; i < billboard.lineCount && i < billboardLines; i++) {
        SetTextColor(dc, billboard.lineColors[i]);
        // The default pen and brush: a black outline with a white fill.
        Ellipse(dc, 182, 77 + linePitch * i, 187, 82 + linePitch * i);
        drawText(dc, 190, 70 + linePitch * i, billboard.lineTexts[i]);
    }
}

static void drawFooter(HDC dc)
{
    HFONT footerFont = makeFont(15, 6, FW_BOLD, FALSE, FALSE, 0x12, "Arial");
    HGDIOBJ previous = SelectObject(dc, footerFont);
    SetTextColor(dc, tagLineColour);
    drawFooterLine(dc, 430, productTagLine);
    SetTextColor(dc, noticeColour);
    drawFooterLine(dc, 450, makerNoticeLine);
    SelectObject(dc, previous);
    if (footerFont) DeleteObject(footerFont);
}

/* The isotropic mapping that the platform worked out for one client size.
 * Under Wine every mapping call in MM_ISOTROPIC asks the server about the
 * display (twelve requests each); the same extents set in MM_ANISOTROPIC,
 * which corrects nothing, give the same transformation and ask nothing. */
static struct {
    int known;
    int clientWidth, clientHeight;  // the client size they were worked out for
    SIZE window, viewport;          // the extents after the platform's correction
} gridMapping;

/* The 500 x 500 grid over the client area at one scale for both directions. */
static void mapGrid(HDC dc)
{
    if (gridMapping.known && gridMapping.clientWidth == clientWidth && gridMapping.clientHeight == clientHeight) {
        SetMapMode(dc, MM_ANISOTROPIC);
        SetWindowExtEx(dc, gridMapping.window.cx, gridMapping.window.cy, NULL);
        SetViewportExtEx(dc, gridMapping.viewport.cx, gridMapping.viewport.cy, NULL);
        SetViewportOrgEx(dc, 0, 0, NULL);
        return;
    }
    SetMapMode(dc, MM_ISOTROPIC);
    SetWindowExtEx(dc, gridExtent, gridExtent, NULL);
    SetViewportExtEx(dc, clientWidth, clientHeight, NULL);
    SetViewportOrgEx(dc, 0, 0, NULL);
    gridMapping.known = GetWindowExtEx(dc, &gridMapping.window) && GetViewportExtEx(dc, &gridMapping.viewport);
    gridMapping.clientWidth = clientWidth;
    gridMapping.clientHeight = clientHeight;
}

void forgetBillboardMapping()
{
    gridMapping.known = 0;
}

void paintBillboard(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    mapGrid(dc);
    drawBackgroundImage(dc);
    SetBkMode(dc, TRANSPARENT);

    HFONT lineFont = makeFont(18, 0, FW_BOLD, FALSE, FALSE, 0x0A, "Arial");
    HGDIOBJ previousFont = SelectObject(dc, lineFont);
    if (firstPaintPending) loadNextBullets();
    drawTitle(dc, lineFont);
    drawLines(dc);
    SelectObject(dc, previousFont);
    if (lineFont) DeleteObject(lineFont);

    drawBitmapAt(pointerBitmap, dc, 145, 70 + linePitch * billboard.highlightLine);
    drawFooter(dc);

    // The main window does not clip its children: the progress window was
    // painted over and paints itself again on top.
    if (copyState.progressWindow) {
        InvalidateRect(copyState.progressWindow, NULL, TRUE);
        UpdateWindow(copyState.progressWindow);
    }
    if (firstPaintPending) runFirstPaintHandOver(window);
    ValidateRect(window, NULL);
    EndPaint(window, &paint);
}

/*
 * The picture through the imaging library, converted anew at each paint and
 * stretched by the grid's mapping over the client area. Draws nothing
 * without the library or when any step fails.
 */
void drawBackgroundImage(HDC dc)
{
    if (!imagingLibrary) return;
    imagingSetAlias()(1);
    HBITMAP picture = imagingDibToDdb()(backgroundImage, pictureWidth, pictureHeight);
    if (!picture) return;  // the library keeps its bitmaps; never deleted here
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    int saved = SaveDC(dc);

    HPALETTE palette = imagingGetBitmapPalette()(backgroundImage);
    HPALETTE previousPalette = NULL;
    HPALETTE previousMemoryPalette = NULL;
    if (palette) {
        previousPalette = SelectPalette(dc, palette, TRUE);
        RealizePalette(dc);
        previousMemoryPalette = SelectPalette(memory, palette, TRUE);
        RealizePalette(memory);
    }
    HGDIOBJ previousBitmap = SelectObject(memory, picture);
    BitBlt(dc, 0, 0, pictureWidth, pictureHeight, memory, 0, 0, SRCCOPY);

    if (previousPalette) SelectPalette(dc, previousPalette, FALSE);
    if (previousMemoryPalette) SelectPalette(memory, previousMemoryPalette, FALSE);
    SelectObject(memory, previousBitmap);
    DeleteDC(memory);
    // The saved state is restored before the palette goes, so it is never
    // deleted while still selected.
    RestoreDC(dc, saved);
    if (palette) DeleteObject(palette);
}

void drawBitmapAt(HBITMAP bitmap, HDC dc, int x, int y)
{
    if (!bitmap) return;
    BITMAP description;
    if (!GetObjectA(bitmap, sizeof description, &description)) return;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    HGDIOBJ previous = SelectObject(memory, bitmap);
    // Width and height in logical units: the bitmap scales with the mapping.
    BitBlt(dc, x, y, description.bmWidth, description.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

void drawFooterLine(HDC dc, int y, const char *text)
{
    drawText(dc, footerX, y, text);
}

void invalidateBillboard()
{
    const BillboardRect &area = billboard.billboardRect;
    RECT rect = {area.left, area.top, area.right, area.bottom};
    InvalidateRect(mainWindow, &rect, TRUE);
    UpdateWindow(mainWindow);
}
