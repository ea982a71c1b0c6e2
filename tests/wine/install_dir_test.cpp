// The install directory made level by level on real drives of the Wine
// prefix, with the boxes and focus changes of the dialog recorded.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "install/install_dir.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "tests/wine/backend_support.h"

namespace {

const BoxCall noDriveWarning = {fakeMainWindow, "Drive Letter not specified.", "", 0x30};
const BoxCall overwriteQuestion = {fakeDialog,
                                   "Directory already exists. Do you want to overwrite?\n\n"
                                   "Note: All Quillmark files in this directory will be overwritten.",
                                   "Warning", 0x24};
const BoxCall creationError = {fakeDialog,
                               "There is a problem in creating this directory,\n"
                               "Check your read/write priviliges or other settings.",
                               "Error", 0x10};
const char longQuitText[] =
    "Do you want to quit?\n\nWarning: If you quit now, your existing\ncopy of the software may not work reliably.";

const char *const scratchDirs[] = {"C:\\QUILLMRK", "C:\\A", "C:\\QMREL", "C:\\QMLONG"};

class InstallDirTest : public BackendTest {
protected:
    void removeScratch() override
    {
        for (const char *dir : scratchDirs) removeTree(dir);
    }
};

// "?" in a path stands for a drive letter that nothing is mapped to.
std::string withUnusedDrive(std::string path)
{
    if (!path.empty() && path[0] == '?') path[0] = unusedDrive();
    return path;
}

struct MakeCase {
    const char *name;
    const char *path;
    const char *startIn;               // current directory before the call; null: the start directory
    std::vector<std::string> existing; // made before the call
    int result;
    const char *directoryAfter;        // null: unchanged
    std::vector<std::string> madeDirs;
    int warnings;
};

const MakeCase makeCases[] = {
    {"new", "C:\\QUILLMRK", nullptr, {}, 0, "C:\\QUILLMRK", {"C:\\QUILLMRK"}, 0},
    {"trailing backslash", "C:\\QUILLMRK\\", nullptr, {}, 0, "C:\\QUILLMRK", {"C:\\QUILLMRK"}, 0},
    {"trailing backslashes", "C:\\QUILLMRK\\\\\\", nullptr, {}, 0, "C:\\QUILLMRK", {"C:\\QUILLMRK"}, 0},
    {"doubled backslash", "C:\\\\QUILLMRK", nullptr, {}, 0, "C:\\QUILLMRK", {"C:\\QUILLMRK"}, 0},
    {"two new levels", "C:\\A\\B", nullptr, {}, 0, "C:\\A\\B", {"C:\\A", "C:\\A\\B"}, 0},
    {"new level below an existing one", "C:\\A\\B", nullptr, {"C:\\A"}, 0, "C:\\A\\B", {"C:\\A\\B"}, 0},
    {"existing", "C:\\QUILLMRK", nullptr, {"C:\\QUILLMRK"}, -1, "C:\\QUILLMRK", {}, 0},
    {"drive root", "C:\\", nullptr, {}, -1, "C:\\", {}, 0},
    {"bare drive", "C:", nullptr, {}, -1, "C:\\", {}, 0},
    {"drive root, from a folder of that drive", "C:\\", "C:\\A", {"C:\\A"}, -1, "C:\\", {}, 0},
    // A path without a drive is taken where it points when it is given,
    // before any level moves the current directory.
    {"backslash alone", "\\", "C:\\A", {"C:\\A"}, -1, "C:\\", {}, 1},
    {"no drive letter", "QMREL", "C:\\", {}, 0, "C:\\QMREL", {"C:\\QMREL"}, 1},
    {"no drive letter, two levels", "QMREL\\SUB", "C:\\A", {"C:\\A"}, 0, "C:\\A\\QMREL\\SUB",
     {"C:\\A\\QMREL", "C:\\A\\QMREL\\SUB"}, 1},
    {"rooted without drive", "\\QMREL", "C:\\A", {"C:\\A"}, 0, "C:\\QMREL", {"C:\\QMREL"}, 1},
    {"no drive letter, existing", "QMREL", "C:\\", {"C:\\QMREL"}, -1, "C:\\QMREL", {}, 1},
    {"drive letter without root", "C:QMREL", "C:\\A", {"C:\\A"}, 0, "C:\\A\\QMREL", {"C:\\A\\QMREL"}, 0},
    {"share that does not answer", "\\\\qmserver\\share\\QM", "C:\\A", {"C:\\A"}, -2, "C:\\A", {}, 1},
    {"drive that does not exist", "?:\\QUILLMRK", nullptr, {}, -2, nullptr, {}, 0},
    {"read-only mount", "L:\\QUILLMRK", nullptr, {}, -2, "L:\\", {}, 0},
    {"below a level that cannot be made", "L:\\QUILLMRK\\SUB", nullptr, {}, -2, "L:\\", {}, 0},
    {"existing folder on a read-only mount", "L:\\existing", nullptr, {}, -1, "L:\\existing", {}, 0},
};

TEST_F(InstallDirTest, MakesAndEntersEachLevel)
{
    for (const MakeCase &c : makeCases) {
        SCOPED_TRACE(c.name);
        SetUp();
        for (const std::string &dir : c.existing) ASSERT_TRUE(CreateDirectoryA(dir.c_str(), NULL)) << dir;
        if (c.startIn) {
            ASSERT_TRUE(SetCurrentDirectoryA(c.startIn));
        }
        std::string before = currentDirectory();

        EXPECT_EQ(makeInstallDir(withUnusedDrive(c.path).c_str()), c.result);

        EXPECT_EQ(currentDirectory(), c.directoryAfter ? c.directoryAfter : before);
        for (const std::string &dir : c.madeDirs) EXPECT_TRUE(isDirectory(dir)) << dir;
        EXPECT_EQ(recordedBoxes, std::vector<BoxCall>(c.warnings, noDriveWarning));
        EXPECT_TRUE(recordedFocus.empty());
        TearDown();
    }
}

TEST_F(InstallDirTest, PathTooLongToHoldIsRefusedWithoutMakingAnything)
{
    std::string path = "C:\\QMLONG\\" + std::string(250, 'x');
    std::string before = currentDirectory();

    EXPECT_EQ(makeInstallDir(path.c_str()), -2);
    EXPECT_EQ(checkInstallDir(path.c_str(), fakeDialog), 0);

    EXPECT_FALSE(exists("C:\\QMLONG"));
    EXPECT_EQ(currentDirectory(), before);
    EXPECT_EQ(recordedBoxes, std::vector<BoxCall>{creationError});
    EXPECT_EQ(recordedFocus, (std::vector<FocusCall>{{fakeDialog, 1022}}));
}

TEST_F(InstallDirTest, NewDirectoryGoesOnWithoutAQuestion)
{
    EXPECT_EQ(checkInstallDir("C:\\QUILLMRK", fakeDialog), 1);

    EXPECT_TRUE(isDirectory("C:\\QUILLMRK"));
    EXPECT_EQ(currentDirectory(), "C:\\QUILLMRK");
    EXPECT_TRUE(recordedBoxes.empty());
    EXPECT_TRUE(recordedFocus.empty());
    EXPECT_STREQ(installState.quitPrompt, "Do you want to quit?");
}

struct AnswerCase {
    const char *name;
    const char *path;
    int answer;
    int result;
    const char *quitPrompt;
    std::vector<FocusCall> focus;
};

TEST_F(InstallDirTest, ExistingDirectoryAsksWhetherToOverwrite)
{
    const AnswerCase cases[] = {
        {"yes", "C:\\QUILLMRK", IDYES, 1, longQuitText, {}},
        {"no", "C:\\QUILLMRK", IDNO, 0, "Do you want to quit?", {{fakeDialog, 1022}}},
        {"drive root, yes", "C:\\", IDYES, 1, longQuitText, {}},
        {"drive root, no", "C:\\", IDNO, 0, "Do you want to quit?", {{fakeDialog, 1022}}},
    };
    for (const AnswerCase &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        CreateDirectoryA("C:\\QUILLMRK", NULL);
        recordBoxes({c.answer});

        EXPECT_EQ(checkInstallDir(c.path, fakeDialog), c.result);

        EXPECT_EQ(recordedBoxes, std::vector<BoxCall>{overwriteQuestion});
        EXPECT_EQ(recordedFocus, c.focus);
        EXPECT_STREQ(installState.quitPrompt, c.quitPrompt);
        TearDown();
    }
}

TEST_F(InstallDirTest, DirectoryThatCannotBeMadeKeepsTheDialogOpen)
{
    const std::string paths[] = {withUnusedDrive("?:\\QUILLMRK"), "L:\\QUILLMRK", "L:\\QUILLMRK\\SUB"};
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        recordBoxes({});

        EXPECT_EQ(checkInstallDir(path.c_str(), fakeDialog), 0);

        EXPECT_EQ(recordedBoxes, std::vector<BoxCall>{creationError});
        EXPECT_EQ(recordedFocus, (std::vector<FocusCall>{{fakeDialog, 1022}}));
        EXPECT_STREQ(installState.quitPrompt, "Do you want to quit?");
    }
}

TEST_F(InstallDirTest, PathWithoutDriveLetterWarnsThenGoesOn)
{
    // "\\" is the root of the current drive, which exists: the warning,
    // then the overwrite question for the drive itself.
    SetCurrentDirectoryA("C:\\");
    recordBoxes({IDOK, IDYES});
    EXPECT_EQ(checkInstallDir("\\", fakeDialog), 1);
    EXPECT_EQ(recordedBoxes, (std::vector<BoxCall>{noDriveWarning, overwriteQuestion}));
    EXPECT_EQ(currentDirectory(), "C:\\");

    // An existing folder found relative to the current directory draws the
    // warning first, then the overwrite question.
    SetCurrentDirectoryA("C:\\");
    CreateDirectoryA("C:\\QMREL", NULL);
    recordBoxes({IDOK, IDNO});
    EXPECT_EQ(checkInstallDir("QMREL", fakeDialog), 0);
    EXPECT_EQ(recordedBoxes, (std::vector<BoxCall>{noDriveWarning, overwriteQuestion}));
    EXPECT_EQ(recordedFocus, (std::vector<FocusCall>{{fakeDialog, 1022}}));
}

// Going on, installDir becomes the full path the directory was made at, so
// that the destinations, the owner data file and WIN.INI all name it.
TEST_F(InstallDirTest, GoingOnLeavesTheFullPathInInstallDir)
{
    struct Case {
        const char *typed;
        const char *full;
    };
    const Case cases[] = {
        {"QMREL", "C:\\A\\QMREL"},
        {"QMREL\\SUB\\", "C:\\A\\QMREL\\SUB\\"},
        {"\\QMREL", "C:\\QMREL"},
        {"C:QMREL", "C:\\A\\QMREL"},
        {"C:\\QUILLMRK\\", "C:\\QUILLMRK\\"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        SetUp();
        ASSERT_TRUE(CreateDirectoryA("C:\\A", NULL));
        ASSERT_TRUE(SetCurrentDirectoryA("C:\\A"));
        copyText(installState.installDir, textSize, c.typed);

        EXPECT_EQ(checkInstallDir(installState.installDir, fakeDialog), 1);

        EXPECT_STREQ(installState.installDir, c.full);
        EXPECT_TRUE(isDirectory(c.full));
        TearDown();
    }
}

// When the dialog stays open, the current directory is where it was: the
// same text typed again means the same folder, and a share that cannot be
// reached leaves nothing behind.
TEST_F(InstallDirTest, DialogThatStaysOpenKeepsTheCurrentDirectory)
{
    ASSERT_TRUE(CreateDirectoryA("C:\\A", NULL));
    ASSERT_TRUE(CreateDirectoryA("C:\\A\\QMREL", NULL));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\A"));
    copyText(installState.installDir, textSize, "\\\\qmserver\\share\\QM");
    recordBoxes({});
    EXPECT_EQ(checkInstallDir(installState.installDir, fakeDialog), 0);
    EXPECT_EQ(recordedBoxes, (std::vector<BoxCall>{noDriveWarning, creationError}));
    EXPECT_EQ(currentDirectory(), "C:\\A");
    EXPECT_FALSE(exists("C:\\A\\qmserver"));
    EXPECT_STREQ(installState.installDir, "\\\\qmserver\\share\\QM");

    copyText(installState.installDir, textSize, "QMREL");
    recordBoxes({IDOK, IDNO, IDOK, IDYES});
    EXPECT_EQ(checkInstallDir(installState.installDir, fakeDialog), 0);
    EXPECT_EQ(currentDirectory(), "C:\\A");
    EXPECT_EQ(checkInstallDir(installState.installDir, fakeDialog), 1);
    EXPECT_EQ(recordedBoxes, (std::vector<BoxCall>{noDriveWarning, overwriteQuestion, noDriveWarning, overwriteQuestion}));
    EXPECT_EQ(currentDirectory(), "C:\\A\\QMREL");
    EXPECT_STREQ(installState.installDir, "C:\\A\\QMREL");
    EXPECT_FALSE(exists("C:\\A\\QMREL\\QMREL"));
}

// With the platform's own focus call: after No the directory field of a real
// window has the keyboard focus, its text selected so that typing replaces it.
TEST_F(InstallDirTest, NoPutsTheRealFocusOnTheDirectoryField)
{
    HWND dialog = CreateWindowExA(0, "STATIC", "dialog", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, NULL,
                                  NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_NE(dialog, nullptr);
    HWND nameField = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 200, 20, dialog,
                                     (HMENU)203, GetModuleHandleA(NULL), NULL);
    HWND dirField = CreateWindowExA(0, "EDIT", "C:\\QUILLMRK", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 40, 200, 20,
                                    dialog, (HMENU)1022, GetModuleHandleA(NULL), NULL);
    SetFocus(nameField);
    ASSERT_EQ(GetFocus(), nameField);
    CreateDirectoryA("C:\\QUILLMRK", NULL);
    recordBoxes({IDNO});
    setFocusHook(NULL);

    EXPECT_EQ(checkInstallDir("C:\\QUILLMRK", dialog), 0);

    EXPECT_EQ(GetFocus(), dirField);
    EXPECT_EQ(SendMessageA(dirField, EM_GETSEL, 0, 0), MAKELRESULT(0, 11));
    ASSERT_EQ(recordedBoxes.size(), 1u);
    EXPECT_EQ(recordedBoxes[0].owner, dialog);
    DestroyWindow(dialog);
}

} // namespace
