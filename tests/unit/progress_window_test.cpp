// The progress window under Wine: its place, its Cancel button and what it
// paints, read back from the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "copy/copy_state.h"
#include "copy/progress_window.h"
#include "copy_test_support.h"
#include "tests/wine/backend_support.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "shell/billboard.h"
#include "shell/shell.h"

class ProgressWindow : public ::testing::Test {
protected:
    HWND window = nullptr;

    void SetUp() override
    {
        setUpCopyWindows();
        createProgressWindow();
        window = copyState.progressWindow;
        ASSERT_NE(nullptr, window);
    }

    void TearDown() override
    {
        destroyProgressWindow();
        setMessageBoxHook(nullptr);
    }

    // The window's rectangle in its parent's client coordinates.
    static RECT placeOf(HWND child)
    {
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, GetParent(child), (POINT *)&rect, 2);
        return rect;
    }

    // Pixels of one colour inside a rectangle of the progress window.
    int countColour(COLORREF colour, int left, int top, int right, int bottom)
    {
        HDC dc = GetDC(window);
        int count = 0;
        for (int y = top; y < bottom; y++)
            for (int x = left; x < right; x++)
                if (GetPixel(dc, x, y) == colour) count++;
        ReleaseDC(window, dc);
        return count;
    }

    COLORREF pixel(int x, int y)
    {
        HDC dc = GetDC(window);
        COLORREF colour = GetPixel(dc, x, y);
        ReleaseDC(window, dc);
        return colour;
    }

    void show(int percent, const char *fileName)
    {
        copyState.percentDone = percent;
        copyText(copyState.currentFileName, textSize, fileName);
        // The whole window, as the billboard's paint asks for it.
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
    }
};

static const COLORREF green = RGB(0, 128, 0), grey = RGB(128, 128, 128), white = RGB(255, 255, 255);
static const COLORREF background = RGB(192, 192, 192), red = RGB(255, 0, 0), blue = RGB(0, 0, 255);

TEST_F(ProgressWindow, ChildOfTheMainWindowWithItsCancelButton)
{
    char className[64];
    GetClassNameA(window, className, sizeof className);
    EXPECT_STREQ("CopyProgress", className);
    EXPECT_EQ(mainWindow, GetParent(window));
    EXPECT_EQ(1, GetDlgCtrlID(window));
    EXPECT_EQ(WS_CHILD | WS_VISIBLE, GetWindowLongA(window, GWL_STYLE) & ~(WS_CLIPSIBLINGS));
    EXPECT_EQ(0, GetWindowTextLengthA(window));
    RECT place = placeOf(window);
    EXPECT_EQ(200, place.left);
    EXPECT_EQ(200, place.top);
    EXPECT_EQ(400, place.right);
    EXPECT_EQ(350, place.bottom);

    HWND button = GetDlgItem(window, 2);
    ASSERT_NE(nullptr, button);
    GetClassNameA(button, className, sizeof className);
    EXPECT_STREQ("Button", className);
    char text[16];
    GetWindowTextA(button, text, sizeof text);
    EXPECT_STREQ("Cancel", text);
    EXPECT_EQ(0, GetWindowLongA(button, GWL_STYLE) & 0x0F);  // a plain push button
    // Wine's system fixed font is 8 wide and 16 high (not 15): the button
    // is 82 x 32 at (54, 101).
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FIXED_FONT));
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    ASSERT_EQ(8, metrics.tmAveCharWidth);
    ASSERT_EQ(16, metrics.tmHeight + metrics.tmExternalLeading);
    RECT buttonPlace = placeOf(button);
    EXPECT_EQ(54, buttonPlace.left);
    EXPECT_EQ(101, buttonPlace.top);
    EXPECT_EQ(54 + 82, buttonPlace.right);
    EXPECT_EQ(101 + 32, buttonPlace.bottom);
}

TEST_F(ProgressWindow, OnlyTheCancelButtonAsksToQuit)
{
    struct Case { WPARAM command; int answer; const char *boxes; int cancelled; };
    const Case cases[] = {
        {2, IDNO, "Terminate Setup?", 0},
        {1, IDYES, "", 0},
        {3, IDYES, "", 0},
        {MAKEWPARAM(2, 1), IDYES, "", 0},
        {2, IDYES, "Terminate Setup?", 1},
    };
    for (const Case &c : cases) {
        shownBoxes.clear();
        boxAnswer = [&](const RecordedBox &) { return c.answer; };
        EXPECT_EQ(0, SendMessageA(window, WM_COMMAND, c.command, 0));
        EXPECT_EQ(c.boxes, captionsOf(shownBoxes)) << c.command;
        EXPECT_EQ(c.cancelled, copyState.cancelRequested) << c.command;
    }
    ASSERT_EQ(1u, shownBoxes.size());
    EXPECT_EQ("Do you want to quit?", shownBoxes[0].text);
    EXPECT_EQ((UINT)(MB_YESNO | MB_ICONQUESTION), shownBoxes[0].style);
    EXPECT_EQ(mainWindow, shownBoxes[0].owner);
}

TEST_F(ProgressWindow, ClickOnCancelAsksWithTheCurrentPrompt)
{
    copyText(installState.quitPrompt, textSize, longQuitPrompt);
    boxAnswer = [](const RecordedBox &) { return IDNO; };
    SendMessageA(GetDlgItem(window, 2), BM_CLICK, 0, 0);
    ASSERT_EQ(1u, shownBoxes.size());
    EXPECT_EQ(longQuitPrompt, shownBoxes[0].text);
    EXPECT_EQ(0, copyState.cancelRequested);
}

TEST_F(ProgressWindow, BarFillsWithThePercentage)
{
    // The bar spans (25, 68) to (175, 83); its frame is grey at the top and
    // left, white at the bottom and at column 174.
    struct Case { int percent; int greenColumns; };
    const Case cases[] = {{0, 0}, {2, 0}, {3, 4}, {50, 74}, {99, 148}};
    for (const Case &c : cases) {
        show(c.percent, "TOP1.TXT");
        int columns = 0;
        for (int x = 25; x < 176; x++)
            if (pixel(x, 75) == green) columns++;
        EXPECT_EQ(c.greenColumns, columns) << c.percent << " %";
        if (c.greenColumns) {
            EXPECT_EQ(green, pixel(25 + c.greenColumns - 1, 70)) << c.percent << " %";
        }
        EXPECT_EQ(background, pixel(25 + c.greenColumns, 75)) << c.percent << " %";
    }
    // A full bar stops one column short, where the frame's white edge stands.
    show(100, "TOP1.TXT");
    EXPECT_EQ(green, pixel(173, 75));
    EXPECT_EQ(white, pixel(174, 75));
    EXPECT_EQ(grey, pixel(24, 75));
    EXPECT_EQ(grey, pixel(100, 67));
    EXPECT_EQ(white, pixel(100, 84));
    EXPECT_EQ(white, pixel(174, 70));
}

TEST_F(ProgressWindow, LabelFileNameAndPercentage)
{
    show(42, "FONT1.FON");
    EXPECT_GT(countColour(red, 25, 13, 125, 30), 20);                  // "Transferring:"
    EXPECT_GT(countColour(RGB(0, 0, 0), 40, 35, 140, 52), 20);          // the file name
    EXPECT_GT(countColour(blue, 85, 50, 125, 66), 10);                  // " 42%"
    EXPECT_EQ(0, countColour(red, 0, 35, 200, 100));
    show(42, "");
    EXPECT_EQ(0, countColour(RGB(0, 0, 0), 40, 35, 140, 52));
}

TEST_F(ProgressWindow, RefreshRepaintsAtOnce)
{
    show(0, "TOP1.TXT");
    copyState.percentDone = 50;
    EXPECT_EQ(0, SendMessageA(window, progressRefresh, 0, 0));
    EXPECT_EQ(green, pixel(60, 75));  // no message loop needed
}

TEST_F(ProgressWindow, RefreshAlsoPaintsWhatElseWaits)
{
    show(0, "TOP1.TXT");
    RECT button = {40, 90, 160, 150};
    InvalidateRect(window, &button, TRUE);
    SendMessageA(window, progressRefresh, 0, 0);
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
}

TEST_F(ProgressWindow, DestroyClearsTheHandle)
{
    destroyProgressWindow();
    EXPECT_EQ(nullptr, copyState.progressWindow);
    EXPECT_FALSE(IsWindow(window));
}

// The window's pixels after each kind of paint, compared with captures kept
// in tests/unit/progress_pixels. QM_RECORD_PROGRESS_PIXELS=1 writes the
// captures instead (from a build whose painting is known good).
class ProgressPixels : public ProgressWindow {
protected:
    HBITMAP picture = nullptr;

    void SetUp() override
    {
        ProgressWindow::SetUp();
        // A 32 x 32 picture of stripes in place of the resource bitmap, so
        // that its place and every one of its pixels show.
        HDC screen = GetDC(nullptr);
        picture = CreateCompatibleBitmap(screen, 32, 32);
        HDC memory = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(memory, picture);
        for (int y = 0; y < 32; y++)
            for (int x = 0; x < 32; x++)
                SetPixel(memory, x, y, RGB(x * 8, y * 8, (x + y) % 3 ? 64 : 224));
        SelectObject(memory, old);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        setupBitmap = picture;
    }

    void TearDown() override
    {
        ProgressWindow::TearDown();
        setupBitmap = nullptr;
        DeleteObject(picture);
    }

    // Every pixel of the window (the progress window unless another is
    // named), its child included, as 0xRRGGBB, row by row.
    std::vector<unsigned> capture(int *width, int *height, HWND of = nullptr)
    {
        if (!of) of = window;
        RECT rect;
        GetWindowRect(of, &rect);
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = *width;
        info.bmiHeader.biHeight = -*height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void *bits = nullptr;
        HBITMAP copy = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC memory = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(memory, copy);
        HDC dc = GetDC(of);
        BitBlt(memory, 0, 0, *width, *height, dc, 0, 0, SRCCOPY);
        ReleaseDC(of, dc);
        GdiFlush();
        std::vector<unsigned> pixels((const unsigned *)bits, (const unsigned *)bits + *width * *height);
        for (unsigned &p : pixels) p &= 0xFFFFFF;
        SelectObject(memory, old);
        DeleteDC(memory);
        DeleteObject(copy);
        return pixels;
    }

    static std::string referencePath(const char *name)
    {
        return std::string(QM_PROGRESS_PIXELS) + "\\" + name + ".txt";
    }

    // Runs of equal pixels, one line per row: "RRGGBBxCOUNT ...".
    static void writeReference(const char *name, int width, int height, const std::vector<unsigned> &pixels)
    {
        FILE *file = fopen(referencePath(name).c_str(), "w");
        ASSERT_NE(nullptr, file) << referencePath(name);
        fprintf(file, "%d %d\n", width, height);
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width;) {
                int run = 1;
                while (x + run < width && pixels[y * width + x + run] == pixels[y * width + x]) run++;
                fprintf(file, "%s%06Xx%d", x ? " " : "", pixels[y * width + x], run);
                x += run;
            }
            fprintf(file, "\n");
        }
        fclose(file);
    }

    static bool readReference(const char *name, int *width, int *height, std::vector<unsigned> *pixels)
    {
        FILE *file = fopen(referencePath(name).c_str(), "r");
        if (!file) return false;
        bool good = fscanf(file, "%d %d", width, height) == 2 && *width > 0 && *height > 0 &&
                    *width <= 1000 && *height <= 1000;
        unsigned colour;
        int run;
        while (good && (int)pixels->size() < *width * *height && fscanf(file, " %6Xx%d", &colour, &run) == 2) {
            good = run > 0 && (int)pixels->size() + run <= *width * *height;
            if (good) pixels->insert(pixels->end(), run, colour);
        }
        fclose(file);
        return good && (int)pixels->size() == *width * *height;
    }

    void expectLikeReference(const char *name)
    {
        int width, height;
        std::vector<unsigned> seen = capture(&width, &height);
        if (getenv("QM_RECORD_PROGRESS_PIXELS")) {
            writeReference(name, width, height, seen);
            return;
        }
        int referenceWidth, referenceHeight;
        std::vector<unsigned> reference;
        ASSERT_TRUE(readReference(name, &referenceWidth, &referenceHeight, &reference)) << referencePath(name);
        ASSERT_EQ(referenceWidth, width) << name;
        ASSERT_EQ(referenceHeight, height) << name;
        int differing = 0, firstX = -1, firstY = -1;
        for (int i = 0; i < width * height; i++) {
            if (seen[i] == reference[i]) continue;
            if (!differing++) firstX = i % width, firstY = i / width;
        }
        EXPECT_EQ(0, differing) << name << ": first at (" << firstX << ", " << firstY << "), seen 0x" << std::hex
                                << seen[firstY * width + firstX] << ", kept 0x"
                                << reference[firstY * width + firstX];
    }

    void refresh(int percent, const char *fileName)
    {
        copyState.percentDone = percent;
        copyText(copyState.currentFileName, textSize, fileName);
        SendMessageA(window, progressRefresh, 0, 0);
    }

    void repaintArea(int left, int top, int right, int bottom)
    {
        RECT area = {left, top, right, bottom};
        InvalidateRect(window, &area, TRUE);
        UpdateWindow(window);
    }
};

TEST_F(ProgressPixels, EveryKindOfPaintAsCaptured)
{
    show(0, "TOP1.TXT");
    expectLikeReference("whole-0");
    // The disk loop's refreshes, name and percentage changing together; a
    // shorter name after a longer one.
    refresh(3, "FONT1.FON");
    expectLikeReference("refresh-3");
    refresh(42, "QUILLMRK.HLP");
    expectLikeReference("refresh-42");
    refresh(99, "W");
    expectLikeReference("refresh-99");
    refresh(100, "");
    expectLikeReference("refresh-100");
    // The billboard's paint asks for the whole window; and repaints of the
    // Cancel button's and the picture's corners alone.
    show(77, "fontmap");
    expectLikeReference("whole-77");
    copyState.percentDone = 12;
    repaintArea(40, 90, 160, 150);
    expectLikeReference("button-area-12");
    copyState.percentDone = 64;
    repaintArea(140, 0, 200, 30);
    expectLikeReference("picture-area-64");
}

static LRESULT CALLBACK billboardTestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
    paintBillboard(window);
    return 0;
}

// Each paint of the billboard as the platform's own isotropic mapping, worked
// out afresh, draws it: the first and a later paint at one size, and the
// first at another size.
TEST_F(ProgressPixels, BillboardAsItsGridWorkedOutAfresh)
{
    WNDCLASSA boardClass = {};
    boardClass.lpfnWndProc = billboardTestProc;
    boardClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    boardClass.lpszClassName = "billboardTest";
    RegisterClassA(&boardClass);
    HWND board = CreateWindowExA(0, "billboardTest", "", WS_POPUP | WS_VISIBLE, 0, 0, 607, 453, mainWindow,
                                 nullptr, nullptr, nullptr);
    firstPaintPending = 0;
    auto paint = [&](bool afresh) {
        if (afresh) forgetBillboardMapping();
        InvalidateRect(board, nullptr, TRUE);
        UpdateWindow(board);
        int width, height;
        return capture(&width, &height, board);
    };
    const SIZE sizes[] = {{607, 453}, {400, 300}};
    for (SIZE size : sizes) {
        clientWidth = size.cx, clientHeight = size.cy;
        SetWindowPos(board, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        std::vector<unsigned> first = paint(false), fresh = paint(true);
        EXPECT_TRUE(first == fresh) << size.cx << " x " << size.cy << ": first paint at this size";
        EXPECT_TRUE(paint(false) == fresh) << size.cx << " x " << size.cy << ": a later paint";
    }
    DestroyWindow(board);
    firstPaintPending = 1;
}
