// Where the progress window puts its parts.
#include "copy/progress_layout.h"

#include <gtest/gtest.h>

static void expectRect(LayoutRect want, LayoutRect got, const char *what)
{
    EXPECT_EQ(want.left, got.left) << what;
    EXPECT_EQ(want.top, got.top) << what;
    EXPECT_EQ(want.right, got.right) << what;
    EXPECT_EQ(want.bottom, got.bottom) << what;
}

// The window as created, 200 x 150, with a fixed font of width 8 and line
// height 15; the first WM_SIZE follows WM_CREATE.
TEST(ProgressLayout, ReleaseWindow)
{
    ProgressLayout layout = {};
    layoutOnCreate(&layout, 200, 150, 8, 15);
    expectRect({25, 43, 175, 83}, layout.refreshRect, "refresh area at creation");
    EXPECT_EQ(54, layout.cancelX);
    EXPECT_EQ(105, layout.cancelY);
    EXPECT_EQ(82, layout.cancelWidth);
    EXPECT_EQ(31, layout.cancelHeight);
    expectRect({0, 0, 82, 31}, layout.cancelButtonRect, "button area");

    layoutOnSize(&layout, 200, 150);
    EXPECT_EQ(75, layout.midY);
    expectRect({25, 35, 175, 83}, layout.refreshRect, "refresh area after WM_SIZE");
    EXPECT_EQ(25, labelPosition(&layout).x);
    EXPECT_EQ(13, labelPosition(&layout).y);
    EXPECT_EQ(40, fileNamePosition(&layout).x);
    EXPECT_EQ(35, fileNamePosition(&layout).y);
    EXPECT_EQ(85, percentPosition(&layout).x);
    EXPECT_EQ(50, percentPosition(&layout).y);
    expectRect({25, 68, 175, 83}, barRect(&layout), "bar");
}

TEST(ProgressLayout, SizeKeepsTheButtonAndMovesTheBarUpInALowWindow)
{
    ProgressLayout layout = {};
    layoutOnCreate(&layout, 200, 150, 8, 15);
    struct Case { int w, h; int midY; LayoutRect bar; };
    const Case cases[] = {
        {400, 300, 150, {50, 135, 350, 165}},
        {200, 140, 70, {25, 63, 175, 77}},  // just room: centred
        {200, 138, 68, {25, 62, 175, 75}},  // the bar would touch the button: moved up
        {200, 80, 10, {25, 6, 175, 14}},
    };
    for (const Case &c : cases) {
        layoutOnSize(&layout, c.w, c.h);
        EXPECT_EQ(c.midY, layout.midY) << c.w << "x" << c.h;
        expectRect(c.bar, barRect(&layout), "bar");
        EXPECT_EQ(54, layout.cancelX);
        EXPECT_EQ(105, layout.cancelY);
    }
}

TEST(ProgressLayout, FillWidthFallsJustShortOfTheBar)
{
    struct Case { int percent; int pixels; };
    const Case cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 4}, {50, 74}, {99, 148}, {100, 149}};
    for (const Case &c : cases) EXPECT_EQ(c.pixels, fillWidth(200, c.percent)) << c.percent << " %";
}
