// The disk loop under Wine with the small release of copy_release/: what
// lands where, every prompt and its answers, and the ways out.
#include <windows.h>

#include <direct.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "copy/copy_state.h"
#include "copy/disk_loop.h"
#include "copy/manifest.h"
#include "copy_test_support.h"
#include "tests/wine/backend_support.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "shell/shell.h"

typedef std::vector<std::string> Names;

static const Names diskFiles[4] = {
    {},
    {"addon32.exe", "TOP1.TXT", "QUILLMRK.DAT", "SUB1.TXT"},
    {"VZFONTMAP", "FONT1.FON", "BIG.BIN"},
    {"TOP2.TXT", "SAMPLE1.QMD"},
};

// What a file holds on the medium: its name, so a file in the wrong place shows.
static std::string mediumBytes(const std::string &name)
{
    if (name == "BIG.BIN") return std::string(3000, 'B');
    return "bytes of " + name + "\r\n";
}

static const Names fullTree = {
    "BIG.BIN",  "EMPTY\\",  "FONTS\\",  "FONTS\\FONT1.FON", "FONTS\\fontmap", "SAMPLES\\", "SAMPLES\\SAMPLE1.QMD",
    "SUB\\",    "SUB\\INNER\\", "SUB\\INNER\\TOP1.TXT", "SUB\\SUB1.TXT", "TOP1.TXT", "TOP2.TXT", "addon32.exe",
};

static Names without(Names names, const Names &gone)
{
    for (const std::string &name : gone) {
        for (auto it = names.begin(); it != names.end(); ++it) {
            if (*it == name) {
                names.erase(it);
                break;
            }
        }
    }
    return names;
}

static Names with(Names names, const Names &more)
{
    names.insert(names.end(), more.begin(), more.end());
    std::sort(names.begin(), names.end());
    return names;
}

// The entries directly in root.
static Names topLevel(const std::string &root)
{
    Names out;
    for (const std::string &entry : listTree(root)) {
        size_t slash = entry.find('\\');
        if (slash == std::string::npos || slash == entry.size() - 1) out.push_back(entry);
    }
    return out;
}

class DiskLoop : public ::testing::Test {
protected:
    std::string base, install, medium;
    DiskTable savedTable;

    void SetUp() override
    {
        static std::string startDir;
        static DiskTable builtIn;
        if (startDir.empty()) {
            char dir[MAX_PATH];
            GetCurrentDirectoryA(sizeof dir, dir);
            startDir = dir;
            builtIn = diskTable;
        }
        _chdir(startDir.c_str());
        diskTable = builtIn;
        setUpCopyWindows();
        base = uniqueDir(startDir, "dl");
        install = base + "\\INSTALL";
        medium = base + "\\MEDIUM";
        CreateDirectoryA(install.c_str(), nullptr);
        CreateDirectoryA(medium.c_str(), nullptr);
        for (int disk = 1; disk <= 3; disk++)
            for (const std::string &name : diskFiles[disk]) EXPECT_TRUE(writeFile(medium + "\\" + name, mediumBytes(name)));
        copyText(installState.installDir, textSize, install.c_str());
        copyText(installState.sourceDir, textSize, (medium + "\\").c_str());
        installState.directorySource = 1;
        installState.installSamples = 1;
    }

    void TearDown() override
    {
        setMessageBoxHook(nullptr);
        _chdir(base.c_str());
        _chdir("..");
        removeTree(base);
    }

    // As the install flow runs it: from inside the install directory.
    int runCopy()
    {
        _chdir(installState.installDir);
        return copyAllDisks();
    }

    // Each installed file holds the medium's file of its name.
    void expectInstalledBytes()
    {
        for (const std::string &entry : listTree(install)) {
            if (entry.back() == '\\') continue;
            std::string name = entry.substr(entry.rfind('\\') + 1);
            std::string source = name == "fontmap" ? "VZFONTMAP" : name;
            EXPECT_EQ(mediumBytes(source), readFile(install + "\\" + entry)) << entry;
        }
    }

    // No source is left open: each file of the medium opens without sharing.
    void expectMediumClosed()
    {
        for (const std::string &name : listTree(medium)) {
            HANDLE file = CreateFileA((medium + "\\" + name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                      nullptr);
            EXPECT_NE(INVALID_HANDLE_VALUE, file) << name;
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }
};

TEST_F(DiskLoop, FolderSourceInstallsEveryFileInItsDirectory)
{
    EXPECT_EQ(0, runCopy());
    EXPECT_EQ(fullTree, listTree(install));
    expectInstalledBytes();
    EXPECT_EQ("", captionsOf(shownBoxes));
    EXPECT_EQ(nullptr, copyState.progressWindow);
    // The markers balance: the walk ends where it began.
    char dir[MAX_PATH];
    GetCurrentDirectoryA(sizeof dir, dir);
    EXPECT_STREQ(install.c_str(), dir);
    EXPECT_EQ(100, copyState.percentDone);
    EXPECT_EQ(3000u, requiredBytes);
    EXPECT_EQ(30, copyState.bytesPerPercent);
    expectMediumClosed();
}

TEST_F(DiskLoop, SamplesNotWantedEndTheWalkAtFinished)
{
    installState.installSamples = 0;
    EXPECT_EQ(0, runCopy());
    EXPECT_EQ(without(fullTree, {"SAMPLES\\", "SAMPLES\\SAMPLE1.QMD"}), listTree(install));
    EXPECT_EQ(21, diskTable.diskStart[4]);  // the index of "Finished"
}

TEST_F(DiskLoop, MissingSourceFiles)
{
    struct Case {
        const char *missing;
        int answer;
        int result;
        Names tree;
        const char *boxes;
    };
    const Case cases[] = {
        {"addon32.exe", IDOK, 0, without(fullTree, {"addon32.exe"}), ""},
        {"TOP2.TXT", IDOK, 0, without(fullTree, {"TOP2.TXT"}), "Error"},
        {"TOP2.TXT", IDCANCEL, -2, without(fullTree, {"TOP2.TXT", "SAMPLES\\", "SAMPLES\\SAMPLE1.QMD"}), "Error"},
        // Read twice, reported twice.
        {"TOP1.TXT", IDOK, 0, without(fullTree, {"TOP1.TXT", "SUB\\INNER\\TOP1.TXT"}), "Error, Error"},
    };
    for (const Case &c : cases) {
        TearDown();
        SetUp();
        DeleteFileA((medium + "\\" + c.missing).c_str());
        boxAnswer = [&](const RecordedBox &) { return c.answer; };
        EXPECT_EQ(c.result, runCopy()) << c.missing;
        EXPECT_EQ(c.tree, listTree(install)) << c.missing;
        EXPECT_EQ(c.boxes, captionsOf(shownBoxes)) << c.missing;
        for (const RecordedBox &box : shownBoxes) {
            EXPECT_EQ("Error in opening : " + medium + "\\" + c.missing, box.text);
            EXPECT_EQ((UINT)MB_OKCANCEL, box.style);
            EXPECT_EQ(mainWindow, box.owner);
        }
        // The progress window goes with the walk, however it ends.
        EXPECT_EQ(nullptr, copyState.progressWindow) << c.missing;
        EXPECT_EQ(nullptr, FindWindowExA(mainWindow, nullptr, "CopyProgress", nullptr)) << c.missing;
    }
}

// Sets up a cancel in the progress window: the click is posted when the
// first "Error" box is answered and reaches the window in the draining after
// that file, or is sent at once (sendAtOnce), while the file is still to go.
struct CancelCase {
    const char *name;
    bool longPrompt;
    bool sendAtOnce;
    int quitAnswer;
    int result;
    Names tree;
    bool cancelAgain;  // an Escape and a click queued when the question is answered
};

TEST_F(DiskLoop, CancelInTheProgressWindow)
{
    const Names afterTop1 = {"TOP1.TXT", "addon32.exe"};
    const CancelCase cases[] = {
        {"No goes on", false, false, IDNO, 0, without(fullTree, {"SUB\\SUB1.TXT"}), false},
        {"Yes stops before the next entry", false, false, IDYES, -2, afterTop1, false},
        {"long prompt after an overwrite", true, false, IDYES, -2, afterTop1, false},
        {"Yes during a file", false, true, IDYES, -2, afterTop1, false},
        {"a second Escape and click after Yes ask nothing", false, false, IDYES, -2, afterTop1, true},
    };
    for (const CancelCase &c : cases) {
        TearDown();
        SetUp();
        if (c.longPrompt) copyText(installState.quitPrompt, textSize, longQuitPrompt);
        DeleteFileA((medium + "\\SUB1.TXT").c_str());
        // SUB1.TXT is missing: its box comes right after TOP1.TXT.
        bool queued = false;
        boxAnswer = [&](const RecordedBox &box) {
            if (box.caption == "Terminate Setup?" && c.cancelAgain && !queued) {
                queued = true;
                PostMessageA(mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
                PostMessageA(copyState.progressWindow, WM_COMMAND, 2, 0);
            }
            if (box.caption == "Terminate Setup?") return c.quitAnswer;
            if (c.sendAtOnce)
                SendMessageA(copyState.progressWindow, WM_COMMAND, 2, 0);
            else
                PostMessageA(copyState.progressWindow, WM_COMMAND, 2, 0);
            return IDOK;
        };
        int result = runCopy();
        EXPECT_EQ(c.result, result) << c.name;
        ASSERT_EQ("Error, Terminate Setup?", captionsOf(shownBoxes)) << c.name;
        const RecordedBox &quit = shownBoxes[1];
        EXPECT_EQ(c.longPrompt ? longQuitPrompt : shortQuitPrompt, quit.text) << c.name;
        EXPECT_EQ((UINT)(MB_YESNO | MB_ICONQUESTION), quit.style) << c.name;
        EXPECT_EQ(mainWindow, quit.owner) << c.name;
        if (c.result == 0) {
            EXPECT_EQ(c.tree, listTree(install)) << c.name;
        } else {
            // Nothing after SUB1.TXT's place: SUB was made before it.
            EXPECT_EQ(with(c.tree, {"SUB\\"}), listTree(install)) << c.name;
        }
        EXPECT_EQ(nullptr, copyState.progressWindow) << c.name;
        if (c.sendAtOnce) {
            EXPECT_EQ(0.0f, copyState.percentExact) << c.name;
        }
    }
}

// A file where SUB belongs: one box for the directory. Ignore passes over
// everything meant for it; Retry, once the file is gone, makes it.
TEST_F(DiskLoop, DirectoryThatCannotBeMadeIsAskedAboutOnce)
{
    std::string blocker = install + "\\SUB";
    EXPECT_TRUE(writeFile(blocker, "a file in the way"));
    boxAnswer = [](const BoxCall &) { return IDIGNORE; };
    EXPECT_EQ(0, runCopy());
    EXPECT_EQ((std::vector<BoxCall>{{mainWindow, "Error in creating : " + blocker, "Error", MB_ABORTRETRYIGNORE}}),
              shownBoxes);
    // Nothing meant for SUB or below it is made, the later directories are
    // made in the right place, and nothing is made beside the install directory.
    EXPECT_EQ(with(without(fullTree, {"SUB\\", "SUB\\INNER\\", "SUB\\INNER\\TOP1.TXT", "SUB\\SUB1.TXT"}), {"SUB"}),
              listTree(install));
    EXPECT_EQ((Names{"INSTALL\\", "MEDIUM\\"}), topLevel(base));
    EXPECT_EQ("a file in the way", readFile(blocker));
    DeleteFileA(blocker.c_str());
    expectInstalledBytes();
    expectMediumClosed();

    TearDown();
    SetUp();
    blocker = install + "\\SUB";
    EXPECT_TRUE(writeFile(blocker, "a file in the way"));
    boxAnswer = [&](const BoxCall &) { return DeleteFileA(blocker.c_str()) ? IDRETRY : IDABORT; };
    EXPECT_EQ(0, runCopy());
    EXPECT_EQ(1u, shownBoxes.size());
    EXPECT_EQ(fullTree, listTree(install));
}

// A folder where TOP2.TXT belongs, and the medium's file gone while
// "Error in creating" is up: Retry reports the source as the walk does; OK
// goes on without it, Cancel stops.
TEST_F(DiskLoop, SourceGoneAtRetryIsReportedAsNotOpening)
{
    for (int answer : {IDOK, IDCANCEL}) {
        TearDown();
        SetUp();
        const std::string blocker = install + "\\TOP2.TXT", source = medium + "\\TOP2.TXT";
        ASSERT_TRUE(CreateDirectoryA(blocker.c_str(), nullptr));
        boxAnswer = [&](const BoxCall &box) {
            if (box.style == MB_OKCANCEL) return answer;
            RemoveDirectoryA(blocker.c_str());
            DeleteFileA(source.c_str());
            return IDRETRY;
        };
        EXPECT_EQ(answer == IDOK ? 0 : -2, runCopy()) << answer;
        EXPECT_EQ((std::vector<BoxCall>{{mainWindow, "Error in creating : " + blocker, "Error", MB_ABORTRETRYIGNORE},
                                        {mainWindow, "Error in opening : " + source, "Error", MB_OKCANCEL}}),
                  shownBoxes);
        EXPECT_FALSE(exists(blocker)) << answer;
    }
}

// A directory path of exactly length characters under parent, made level by
// level with names of at most 8 characters (their own short forms).
static std::string makeDeepDir(const std::string &parent, size_t length)
{
    std::string path = parent;
    while (path.size() < length) {
        size_t room = length - path.size() - 1;
        std::string name(room > 8 ? (room == 9 ? 4 : 8) : room, 'D');
        path += "\\" + name;
        CreateDirectoryA(path.c_str(), nullptr);
    }
    return path;
}

TEST_F(DiskLoop, DestinationTooLongIsNeverWrittenPastItsText)
{
    // 248 characters: SUB still fits (252), SUB\INNER (258) and SAMPLES
    // (256) do not, nor any file name at the top.
    // Made from the short form of the build folder's path, so that the
    // program's own shortening of the destination finds nothing to take off.
    std::string deep = makeDeepDir(shortPath(install), 248);
    ASSERT_EQ(248u, deep.size());
    ASSERT_TRUE(isDirectory(deep));
    copyText(installState.installDir, textSize, deep.c_str());
    EXPECT_EQ(0, runCopy());
    EXPECT_EQ((Names{"EMPTY\\", "FONTS\\", "SUB\\"}), listTree(deep));
    // Each file and directory that does not fit is reported once (and
    // passed over on the recorder's OK).
    const Names reported = {"addon32.exe", "TOP1.TXT",  "SUB\\SUB1.TXT", "SUB\\INNER", "FONTS\\fontmap",
                            "FONTS\\FONT1.FON", "BIG.BIN", "TOP2.TXT", "SAMPLES"};
    ASSERT_EQ(reported.size(), shownBoxes.size()) << captionsOf(shownBoxes);
    for (size_t i = 0; i < reported.size(); i++)
        EXPECT_EQ("Error in creating : " + deep + "\\" + reported[i], shownBoxes[i].text);
    expectMediumClosed();
    char dir[MAX_PATH];
    GetCurrentDirectoryA(sizeof dir, dir);
    EXPECT_EQ(deep, dir);
}

TEST_F(DiskLoop, SourceTooLongCountsAsAFileThatCannotBeOpened)
{
    std::string longSource = "Z:\\" + std::string(240, 's') + "\\";
    copyText(installState.sourceDir, textSize, longSource.c_str());
    EXPECT_EQ(0, runCopy());
    // The optional file passes silently, every other gives its message, with
    // the whole path although it does not fit a path's text.
    const Names expected = {"TOP1.TXT", "SUB1.TXT", "TOP1.TXT", "VZFONTMAP", "FONT1.FON", "BIG.BIN", "TOP2.TXT",
                            "SAMPLE1.QMD"};
    ASSERT_EQ(expected.size(), shownBoxes.size());
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_EQ("Error in opening : " + longSource + expected[i], shownBoxes[i].text);
    EXPECT_EQ((Names{"EMPTY\\", "FONTS\\", "SAMPLES\\", "SUB\\", "SUB\\INNER\\"}), listTree(install));
}

TEST_F(DiskLoop, FreeSpaceOfALargeDriveIsNotWrappedAround)
{
    // N: has 4,110 MiB free; taken in 32 bits that would be 14 MiB. A
    // requirement of 1 GB fits, unless the free space wraps around.
    const std::string large = root(largeDrive, "DLLARGE");
    removeTree(large);
    ASSERT_TRUE(CreateDirectoryA(large.c_str(), nullptr)) << large;
    copyText(installState.installDir, textSize, large.c_str());
    diskTable.requiredKB[0] = 1000000 - 2;  // disks 2 and 3 need 1 KB each
    EXPECT_EQ(0, runCopy());
    EXPECT_EQ("", captionsOf(shownBoxes));
    EXPECT_EQ(fullTree, listTree(large));
    _chdir(base.c_str());
    removeTree(large);
}

// Disk-set mode. The drive is C:, whose current directory (the "=C:"
// variable) is a folder into which the tests put the disks; the install
// directory is on Z:, so the walk's directory changes leave C: alone.
struct DiskStep {
    const char *caption;
    const char *text;
    int insert;  // disk put in the drive before answering; negative: without its probe file
    int answer;
};

struct DiskCase {
    const char *name;
    int firstDisk;  // in the drive at the start, 0 for none
    std::vector<DiskStep> steps;
    int result;
    Names tree;
};

static const char insert2[] = "Insert Disk #2 in your drive\nand click on OK.";
static const char insert3[] = "Insert Disk #3 in your drive\nand click on OK.";
static const char wrong1[] = "Please insert Disk #1.\nand then click on Retry.\n";
static const char wrong2[] = "Please insert Disk #2.\nand then click on Retry.\n";
static const char quitText[] = "Do you want to quit?";

class DiskSet : public DiskLoop {
protected:
    std::string drive;

    void SetUp() override
    {
        DiskLoop::SetUp();
        drive = uniqueDir("C:", "h5drive");
        SetEnvironmentVariableA("=C:", drive.c_str());
        installState.directorySource = 0;
        installState.sourceDrive = 'C';
    }

    void TearDown() override
    {
        SetEnvironmentVariableA("=C:", nullptr);
        removeTree(drive);
        DiskLoop::TearDown();
    }

    void insertDisk(int disk)
    {
        for (const std::string &entry : listTree(drive)) DeleteFileA((drive + "\\" + entry).c_str());
        int number = disk < 0 ? -disk : disk;
        const char *probeFile = number == 1 ? "addon32.exe" : number == 2 ? "VZFONTMAP" : "TOP2.TXT";
        for (const std::string &name : diskFiles[number])
            if (disk > 0 || name != probeFile) {
                EXPECT_TRUE(writeFile(drive + "\\" + name, mediumBytes(name)));
            }
    }
};

TEST_F(DiskSet, PromptsProbeAndQuit)
{
    const Names disk1Tree = {"EMPTY\\", "QUILLMRK.DAT", "SUB\\", "SUB\\INNER\\", "SUB\\INNER\\TOP1.TXT",
                             "SUB\\SUB1.TXT", "TOP1.TXT", "addon32.exe"};
    const Names everything = with(fullTree, {"QUILLMRK.DAT"});
    const DiskCase cases[] = {
        {"each later disk is asked for", 1,
         {{"Insert Disk", insert2, 2, IDOK}, {"Insert Disk", insert3, 3, IDOK}}, 0, everything},
        {"a wrong disk until Retry finds the right one", 1,
         {{"Insert Disk", insert2, 0, IDOK},
          {"Incorrect Disk", wrong2, 0, IDRETRY},
          {"Incorrect Disk", wrong2, 2, IDRETRY},
          {"Insert Disk", insert3, 3, IDOK}},
         0, everything},
        {"a disk opening with a directory is probed by its first file", 1,
         {{"Insert Disk", insert2, -2, IDOK},
          {"Incorrect Disk", wrong2, 2, IDRETRY},
          {"Insert Disk", insert3, 3, IDOK}},
         0, everything},
        {"Cancel, then No, probes again", 1,
         {{"Insert Disk", insert2, 0, IDOK},
          {"Incorrect Disk", wrong2, 0, IDCANCEL},
          {"Terminate Setup?", quitText, 2, IDNO},
          {"Insert Disk", insert3, 3, IDOK}},
         0, everything},
        {"Cancel, then Yes, quits", 1,
         {{"Insert Disk", insert2, 0, IDOK}, {"Incorrect Disk", wrong2, 0, IDCANCEL}, {"Terminate Setup?", quitText, 0, IDYES}},
         -2, disk1Tree},
        {"disk 1 is probed without a prompt", 0,
         {{"Incorrect Disk", wrong1, 1, IDRETRY}, {"Insert Disk", insert2, 2, IDOK}, {"Insert Disk", insert3, 3, IDOK}},
         0, everything},
        {"disk 1 without the optional file is never accepted", -1,
         {{"Incorrect Disk", wrong1, 0, IDRETRY}, {"Incorrect Disk", wrong1, 0, IDCANCEL},
          {"Terminate Setup?", quitText, 0, IDYES}},
         -2, {}},
    };
    for (const DiskCase &c : cases) {
        TearDown();
        SetUp();
        if (c.firstDisk) insertDisk(c.firstDisk);
        size_t next = 0;
        boxAnswer = [&](const RecordedBox &box) {
            if (next >= c.steps.size()) return IDCANCEL;
            const DiskStep &step = c.steps[next++];
            if (step.insert) insertDisk(step.insert);
            return box.caption == step.caption ? step.answer : IDCANCEL;
        };
        EXPECT_EQ(c.result, runCopy()) << c.name;
        ASSERT_EQ(c.steps.size(), shownBoxes.size()) << c.name << ": " << captionsOf(shownBoxes);
        for (size_t i = 0; i < c.steps.size(); i++) {
            const RecordedBox &box = shownBoxes[i];
            EXPECT_EQ(c.steps[i].caption, box.caption) << c.name << " box " << i;
            EXPECT_EQ(c.steps[i].text, box.text) << c.name << " box " << i;
            UINT style = box.caption == "Insert Disk"      ? MB_OK | MB_ICONEXCLAMATION
                         : box.caption == "Incorrect Disk" ? MB_RETRYCANCEL | MB_ICONEXCLAMATION
                                                           : MB_YESNO | MB_ICONQUESTION;
            EXPECT_EQ(style, box.style) << c.name << " box " << i;
            EXPECT_EQ(mainWindow, box.owner) << c.name << " box " << i;
        }
        EXPECT_EQ(c.tree, listTree(install)) << c.name;
        expectInstalledBytes();
    }
}
