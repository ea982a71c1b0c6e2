// Cancellation at a spread of points of the copy: the program always ends
// with the cancelled message and exit code 0, and everything the run made
// is taken back: no folder, no file, WIN.INI as it was.
#include "tests/robustness/robust_support.h"

namespace robust {
namespace {

const char quitPrompt[] = "Do you want to quit?";

// Files (not directories) under dir, the owner data file left out.
static int copiedFiles(const std::string &dir)
{
    int count = 0;
    for (const std::string &entry : listTree(dir))
        if (entry.back() != '\\' && entry != "quillmrk.dat") count++;
    return count;
}

class Cancel : public Robust {
protected:
    // The run is taken back whole: a first installation leaves nothing.
    void expectNothingLeft(const std::string &winIni)
    {
        EXPECT_FALSE(exists(defaultTarget)) << listTree(defaultTarget).size() << " entries left";
        EXPECT_EQ(winIni, winIniBytes());
    }
};

class CancelAfter : public Cancel, public testing::WithParamInterface<int> {};

TEST_P(CancelAfter, EndsCleanlyWithNothingWritten)
{
    const int wanted = GetParam();
    const std::string winIni = winIniBytes();
    startIn(tinyMedium());
    fillDialog(dialog, defaultTarget, true);
    HWND progress = waitForProgressWindow(main);
    ASSERT_TRUE(progress);
    // The Cancel button's click as the progress window receives it: a
    // posted click (BM_CLICK) takes focus and capture first, and was now and
    // then lost on the way.
    const WPARAM click = MAKEWPARAM(2, BN_CLICKED);
    const LPARAM button = (LPARAM)GetDlgItem(progress, 2);

    // A click is taken between two files, and its question holds the copy
    // until it is answered. Posted once the file before the wanted one is
    // being written, it is taken after that one or the wanted one: No until
    // enough files are there, then Yes.
    int copied = 0;
    for (int clicks = 0; clicks < 5; clicks++) {
        const int before = clicks == 0 ? wanted - 1 : copied + 1;
        for (int waited = 0; copiedFiles(defaultTarget) < before && waited < windowTimeoutMs; waited++) Sleep(1);
        PostMessageA(progress, WM_COMMAND, click, button);
        HWND box = NULL;
        SeenBox seen;
        ASSERT_TRUE(waitForBox(&box, &seen));
        ASSERT_EQ(quitPrompt, seen.text) << "the copy ended before the click was taken";
        ASSERT_EQ("Terminate Setup?", seen.caption);
        ASSERT_EQ((UINT)(MB_YESNO | MB_ICONQUESTION), boxStyle(box, MB_YESNO | MB_ICONQUESTION));
        copied = copiedFiles(defaultTarget);
        press(box, copied >= wanted ? IDYES : IDNO);
        if (copied >= wanted) break;
    }
    RecordProperty("copied", copied);
    ASSERT_GE(copied, wanted);
    expectCancelledEnd();

    expectNothingLeft(winIni);
}

// From the second file to the middle of the samples, which make the end of
// the 19 files the test release installs. (Nearer the end, the copy can
// outrun a click.)
INSTANTIATE_TEST_SUITE_P(Spread, CancelAfter, testing::Values(2, 5, 9, 13));

// Near the end, a file missing from the medium holds the copy: its error
// box is open after the 18th file, and the Cancel button is clicked then.
TEST_F(Cancel, AtTheLastFileWhileItsErrorIsShown)
{
    std::string medium;
    ASSERT_TRUE(copyTinyMedium("without-photo", &medium));
    ASSERT_TRUE(DeleteFileA((medium + "\\PHOTO.JPG").c_str()));
    const std::string winIni = winIniBytes();
    startIn(medium);
    fillDialog(dialog, defaultTarget, true);
    HWND box = NULL;
    SeenBox seen;
    ASSERT_TRUE(waitForBox(&box, &seen));
    ASSERT_EQ("Error in opening : " + medium + "\\PHOTO.JPG", seen.text);
    const int copied = copiedFiles(defaultTarget);
    EXPECT_EQ(18, copied);

    HWND progress = findChildWindow(main, "CopyProgress");
    PostMessageA(progress, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), (LPARAM)GetDlgItem(progress, 2));
    HWND quit = NULL;
    ASSERT_TRUE(waitForWindow(setup, "#32770", "Terminate Setup?", &quit));
    EXPECT_EQ(quitPrompt, controlText(quit, 0xFFFF));
    press(quit, IDYES);
    // OK at the error goes on with the entry; the cancel is seen right after.
    press(box, IDOK);
    expectCancelledEnd();
    expectNothingLeft(winIni);
}

}  // namespace
}  // namespace robust
