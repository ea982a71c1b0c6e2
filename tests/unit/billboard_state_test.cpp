// What the billboard shows before and as its lines are loaded.
#include <gtest/gtest.h>

#include <cstring>

#include "shell/billboard_state.h"

namespace {

class BillboardStateTest : public testing::Test {
protected:
    void SetUp() override { resetBillboardState(); }
};

TEST_F(BillboardStateTest, StartsWithLineZeroHighlightedAndEmptyLines)
{
    EXPECT_EQ(5, billboard.lineCount);
    EXPECT_EQ(17, billboard.percentPerTheme);
    const uint32_t colours[5] = {0x000080, 0, 0, 0, 0};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(colours[i], billboard.lineColors[i]) << "line " << i;
        EXPECT_STREQ("", billboard.lineTexts[i]);
    }
    EXPECT_EQ(0, billboard.themeIndex);
    EXPECT_EQ(0, billboard.bulletCursor);
    EXPECT_EQ(0, billboard.highlightLine);
    EXPECT_EQ(130, billboard.billboardRect.left);
    EXPECT_EQ(30, billboard.billboardRect.top);
    EXPECT_EQ(570, billboard.billboardRect.right);
    EXPECT_EQ(190, billboard.billboardRect.bottom);
}

TEST_F(BillboardStateTest, EachLoadTakesTheNextFiveEntriesAndPastTheEndGivesEmptyLines)
{
    // The entry each line shows afterwards; -1 for an empty line.
    static const struct {
        int cursor;
        int shown[5];
        int cursorAfter;
    } cases[] = {
        {0, {0, 1, 2, 3, 4}, 5},         // the first paint
        {5, {5, 6, 7, 8, 9}, 10},        // the first theme change
        {25, {25, 26, 27, 28, 29}, 30},  // the sixth theme: the last entries
        {28, {28, 29, -1, -1, -1}, 33},  // runs out halfway
        {30, {-1, -1, -1, -1, -1}, 35},  // the seventh theme has its title only
        {-3, {-1, -1, -1, 0, 1}, 2},     // a cursor before the start shows nothing for it
    };
    for (const auto &item : cases) {
        resetBillboardState();
        billboard.bulletCursor = item.cursor;
        for (int i = 0; i < 5; i++) strcpy(billboard.lineTexts[i], "stale");
        loadNextBullets();
        EXPECT_EQ(item.cursorAfter, billboard.bulletCursor) << "from " << item.cursor;
        for (int i = 0; i < 5; i++)
            EXPECT_STREQ(item.shown[i] < 0 ? "" : bulletTexts[item.shown[i]], billboard.lineTexts[i])
                << "from " << item.cursor << ", line " << i;
    }
}

TEST_F(BillboardStateTest, EveryReleaseTextFitsItsLineAndNoneIsEmpty)
{
    for (int i = 0; i < bulletTextCount; i++) {
        ASSERT_TRUE(bulletTexts[i]);
        EXPECT_GT(strlen(bulletTexts[i]), 0u) << "entry " << i;
        EXPECT_LE(strlen(bulletTexts[i]), 79u) << "entry " << i;
    }
    for (int i = 0; i < themeTitleCount; i++) EXPECT_GT(strlen(themeTitles[i]), 0u) << "title " << i;
}

}  // namespace
