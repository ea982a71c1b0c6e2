// The progress window under Wine: its place, its Cancel button and what it
// paints, read back from the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "copy/copy_state.h"
#include "copy/progress_window.h"
#include "copy_test_support.h"
#include "tests/wine/backend_support.h"
#include "install/install_state.h"
#include "install/message_box.h"
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

TEST_F(ProgressWindow, DestroyClearsTheHandle)
{
    destroyProgressWindow();
    EXPECT_EQ(nullptr, copyState.progressWindow);
    EXPECT_FALSE(IsWindow(window));
}
