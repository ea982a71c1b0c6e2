// The progress accounting and the billboard pacing, with the release's
// values: 186,140 stored bytes per percent, 17 percent per theme, 5 lines.
#include "copy/copy_state.h"
#include "copy/pacing.h"
#include "shell/billboard_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

static int repaints;                    // invalidateBillboard calls
static std::vector<std::string> debugLines;

void invalidateBillboard()
{
    repaints++;
}

void writeDebugLine(const char *text)
{
    debugLines.push_back(text);
}

enum { releaseBytesPerPercent = 186140 };

class Pacing : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetCopyState();
        resetBillboardState();
        loadNextBullets();  // the first paint loads the first theme's lines
        copyState.bytesPerPercent = releaseBytesPerPercent;
        copyState.bulletStep = 3;
        repaints = 0;
        debugLines.clear();
    }

    // One file through the loop: accounted before its transfer, stepped after.
    double copyFile(long length)
    {
        double share = accountFile(length);
        progressStep();
        return share;
    }

    static std::vector<int> colors()
    {
        return std::vector<int>(billboard.lineColors, billboard.lineColors + billboardLines);
    }
};

TEST_F(Pacing, StepsAndThemeTurnsFallWhereTheReleaseListsThem)
{
    ASSERT_EQ(5, billboard.bulletCursor);
    std::string events;
    for (int percent = 1; percent <= 100; percent++) {
        int theme = billboard.themeIndex, line = billboard.highlightLine, before = repaints;
        copyFile(releaseBytesPerPercent);  // exactly one percent each
        ASSERT_EQ(percent, copyState.percentDone);
        if (billboard.themeIndex != theme)
            events += "T" + std::to_string(percent) + " ";
        else if (repaints != before)
            events += std::to_string(percent) + (billboard.highlightLine == line ? "= " : " ");
    }
    // "=": a bullet step on the last line, which keeps the highlight there.
    EXPECT_EQ("3 6 9 12 15= T17 21 24 27 30 33= T34 39 42 45 48 T51 54 57 60 63 66= T68 "
              "72 75 78 81 84= T85 90 93 96 99 ",
              events);
    EXPECT_EQ(5, billboard.themeIndex);
    EXPECT_EQ(30, billboard.bulletCursor);
    EXPECT_EQ(4, billboard.highlightLine);
    EXPECT_EQ(100u, debugLines.size());
    EXPECT_EQ("==>1\n", debugLines.back());
    // The last theme shows the last five bullet texts.
    for (int i = 0; i < billboardLines; i++) EXPECT_STREQ(bulletTexts[25 + i], billboard.lineTexts[i]);
}

TEST_F(Pacing, ThemeTurnLoadsNewLinesAndHighlightsTheFirst)
{
    copyState.percentExact = 17.0f;
    billboard.highlightLine = 3;
    progressStep();
    EXPECT_EQ(1, billboard.themeIndex);
    EXPECT_EQ(0, billboard.highlightLine);
    EXPECT_EQ((std::vector<int>{0x80, 0, 0, 0, 0}), colors());
    EXPECT_EQ(10, billboard.bulletCursor);
    EXPECT_STREQ(bulletTexts[5], billboard.lineTexts[0]);
    EXPECT_EQ(1, repaints);
}

TEST_F(Pacing, HighlightStaysOnTheLastLine)
{
    struct Case { int steps; int line; std::vector<int> colors; };
    const Case cases[] = {
        {1, 1, {0, 0x80, 0, 0, 0}},
        {4, 4, {0, 0, 0, 0, 0x80}},
        {5, 4, {0, 0, 0, 0, 0x80}},
        {9, 4, {0, 0, 0, 0, 0x80}},
    };
    for (const Case &c : cases) {
        SetUp();
        for (int i = 0; i < c.steps; i++) advanceHighlight();
        EXPECT_EQ(c.line, billboard.highlightLine) << c.steps << " steps";
        EXPECT_EQ(c.colors, colors()) << c.steps << " steps";
        EXPECT_EQ(c.steps, repaints);
    }
}

TEST_F(Pacing, SmallFilesAreCarriedUntilTheyMakeOnePercent)
{
    struct Step { long length; int carriedAfter; int percentAfter; bool counts; };
    const Step steps[] = {
        {60000, 60000, 0, false},
        {60000, 120000, 0, false},
        {60000, 180000, 0, false},
        {60000, 0, 1, true},         // 240,000 bytes together: 1.289 percent
        {186139, 186139, 1, false},  // one byte short of a percent
        {1, 0, 2, true},             // exactly one percent with the carried bytes
    };
    for (const Step &s : steps) {
        double share = copyFile(s.length);
        EXPECT_EQ(s.carriedAfter, copyState.carriedBytes) << s.length;
        EXPECT_EQ(s.percentAfter, copyState.percentDone) << s.length;
        EXPECT_EQ(s.counts, share >= 1.0) << s.length;
    }
    EXPECT_NEAR(2.289, copyState.percentExact, 0.001);
}

TEST_F(Pacing, ShareIsTheFileWithTheCarriedBytes)
{
    EXPECT_NEAR(0.32234, accountFile(60000), 1e-5);
    EXPECT_NEAR(0.64468, accountFile(60000), 1e-5);
    EXPECT_DOUBLE_EQ(1.0, accountFile(186140 - 120000));
    EXPECT_FLOAT_EQ(1.0f, copyState.percentExact);
}

TEST_F(Pacing, LargeFileMovesTheHighlightBeforeItsTransfer)
{
    struct Case { long length; int lineAfterAccount; int lineAfterStep; int percent; };
    const Case cases[] = {
        {6 * 186140, 0, 1, 6},      // share 6.0: not above twice the step, moves only at 6 %
        {6 * 186140 + 1, 1, 2, 6},  // just above 6: moves at once, and again at 6 %
        {20 * 186140, 1, 0, 20},    // moved at once, then the theme turns at 20 %
    };
    for (const Case &c : cases) {
        SetUp();
        accountFile(c.length);
        EXPECT_EQ(c.lineAfterAccount, billboard.highlightLine) << c.length;
        progressStep();
        EXPECT_EQ(c.lineAfterStep, billboard.highlightLine) << c.length;
        EXPECT_EQ(c.percent, copyState.percentDone) << c.length;
    }
}

TEST_F(Pacing, JumpOverTwoThresholdsCatchesUpOnTheNextSteps)
{
    copyState.percentExact = 35.0f;
    progressStep();
    EXPECT_EQ(1, billboard.themeIndex);
    EXPECT_EQ(0, billboard.highlightLine);
    progressStep();
    EXPECT_EQ(2, billboard.themeIndex);
    EXPECT_EQ(0, billboard.highlightLine);
    // Then one bullet step per call until the steps pass 35 % (at 36).
    std::vector<int> lines;
    for (int i = 0; i < 10; i++) {
        progressStep();
        lines.push_back(billboard.highlightLine);
    }
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 4, 4, 4, 4, 4, 4}), lines);
    EXPECT_EQ(2, billboard.themeIndex);
    EXPECT_EQ(2 + 9, repaints);  // two turns, nine steps (9 % to 33 %)
}

TEST_F(Pacing, PercentShownIsWholeAndAtMostHundred)
{
    struct Case { float exact; int shown; };
    const Case cases[] = {{0.0f, 0}, {0.99f, 0}, {42.7f, 42}, {99.999f, 99}, {100.0f, 100},
                          {130.5f, 100}, {1e12f, 100}};
    for (const Case &c : cases) {
        copyState.percentExact = c.exact;
        progressStep();
        EXPECT_EQ(c.shown, copyState.percentDone) << c.exact;
    }
}

TEST_F(Pacing, BytesStillCarriedAtTheEndLeaveNinetyNine)
{
    // 99 files of one percent, then three small files whose bytes together
    // stay under one percent: they are carried and never counted.
    for (int i = 0; i < 99; i++) copyFile(releaseBytesPerPercent);
    for (int i = 0; i < 3; i++) copyFile(62000);
    EXPECT_EQ(99, copyState.percentDone);
    EXPECT_EQ(186000, copyState.carriedBytes);
}
