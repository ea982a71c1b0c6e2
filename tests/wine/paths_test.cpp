// Source mode and derived paths on real Wine drives (B: a floppy, K: a
// CD-ROM), and the long form of the install directory as the file system
// reports it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/install_dir.h"
#include "install/install_state.h"
#include "install/paths.h"
#include "ownerdata/codec.h"
#include "tests/wine/backend_support.h"

namespace {

class PathsTest : public BackendTest {
protected:
    void removeScratch() override
    {
        removeTree(root(floppyDrive, "quillmrk.dat"));
        removeTree(root(cdromDrive, "quillmrk.dat"));
        removeTree("C:\\QMSOURCE");
        removeTree("C:\\QUILLMRK");
        removeTree("C:\\Program Files\\QUILLMRK");
        removeTree("C:\\Quillmark Data");
        removeTree("C:\\Quillmark Setup Files");
    }
};

std::string canonical(const std::string &path, int size = 256)
{
    std::vector<char> result(size, '#');
    canonicalizeDir(path.c_str(), result.data(), size);
    return result.data();
}

struct ModeCase {
    const char *name;
    std::string program;
    std::string currentDir;
    const char *ownerFile;  // made in currentDir; null: none
    bool readOnly;
    int directorySource;
};

TEST_F(PathsTest, SourceModeNeedsRemovableDriveAndWritableOwnerFileInCurrentDirectory)
{
    const ModeCase cases[] = {
        {"floppy with the owner file", root(floppyDrive, "SETUP.EXE"), root(floppyDrive), "quillmrk.dat", false, 0},
        {"floppy without it", root(floppyDrive, "SETUP.EXE"), root(floppyDrive), nullptr, false, 1},
        {"floppy, owner file read-only", root(floppyDrive, "SETUP.EXE"), root(floppyDrive), "quillmrk.dat", true, 1},
        {"floppy, current directory elsewhere", root(floppyDrive, "SETUP.EXE"), "C:\\", nullptr, false, 1},
        {"CD-ROM with the owner file", root(cdromDrive, "SETUP.EXE"), root(cdromDrive), "quillmrk.dat", false, 1},
        {"fixed drive with the owner file", "C:\\QMSOURCE\\SETUP.EXE", "C:\\QMSOURCE", "quillmrk.dat", false, 1},
        {"network share without a drive letter", "\\\\server\\share\\SETUP.EXE", root(floppyDrive), "quillmrk.dat",
         false, 1},
    };
    for (const ModeCase &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        CreateDirectoryA("C:\\QMSOURCE", NULL);
        if (c.ownerFile) {
            std::string file = c.currentDir + "\\" + c.ownerFile;
            EXPECT_TRUE(writeFile(file, "Type=Tessera Data"));
            if (c.readOnly) {
                ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
            }
        }
        ASSERT_TRUE(SetCurrentDirectoryA(c.currentDir.c_str()));
        setProgramFileName(c.program.c_str());
        installState.directorySource = 7;

        detectSourceMode();

        EXPECT_EQ(installState.directorySource, c.directorySource);
        TearDown();
    }
    ASSERT_EQ(GetDriveTypeA(root(floppyDrive).c_str()), (UINT)DRIVE_REMOVABLE) << "media fixture missing";
    ASSERT_EQ(GetDriveTypeA(root(cdromDrive).c_str()), (UINT)DRIVE_CDROM) << "media fixture missing";
}

// The test program itself lies on a fixed drive (Z:), so whatever the
// current directory holds, it runs from a folder.
TEST_F(PathsTest, RunningProgramOnAFixedDriveIsDirectorySource)
{
    EXPECT_TRUE(writeFile(root(floppyDrive, "quillmrk.dat"), "Type=Tessera Data"));
    SetCurrentDirectoryA(root(floppyDrive).c_str());
    installState.directorySource = 0;
    detectSourceMode();
    EXPECT_EQ(installState.directorySource, 1);
}

// Without a stand-in name the program's own file is used: the test program
// lies in the folder it was started from.
TEST_F(PathsTest, RealProgramFileGivesItsOwnFolder)
{
    installState.directorySource = 0;
    preparePaths();
    EXPECT_EQ(installState.sourceDir, startDirectory() + "\\");
    EXPECT_EQ(installState.setupIniPath, startDirectory() + "\\setup.ini");
    EXPECT_EQ(installState.sourceDrive, startDirectory()[0]);
}

struct PathCase {
    std::string program;
    char sourceDrive;
    std::string sourceDir, prefsSourceDir, setupIniPath;
};

TEST_F(PathsTest, PathsComeFromTheProgramsOwnLocation)
{
    const std::string deepDir = "D:\\" + std::string(250, 'L'); // 253 characters
    const PathCase cases[] = {
        {"A:\\SETUP.EXE", 'A', "A:\\", "A:\\prefs", "A:\\setup.ini"},
        {"D:\\INSTALL\\SETUP.EXE", 'D', "D:\\INSTALL\\", "D:\\INSTALL\\prefs", "D:\\INSTALL\\setup.ini"},
        {"e:\\disks\\one\\setup.exe", 'e', "e:\\disks\\one\\", "e:\\disks\\one\\prefs", "e:\\disks\\one\\setup.ini"},
        // Without a backslash only the drive letter is taken.
        {"SETUP.EXE", 'S', "", "", ""},
        // Paths too long to hold stay empty instead of being cut short.
        {deepDir + "\\S", 'D', deepDir + "\\", "", ""},
    };
    for (const PathCase &c : cases) {
        SCOPED_TRACE(c.program);
        SetUp();
        installState.directorySource = 0;
        copyText(installState.installDir, textSize, "C:\\Program Files\\QUILLMRK");
        setProgramFileName(c.program.c_str());

        EXPECT_EQ(preparePaths(), 0);

        EXPECT_EQ(installState.sourceDrive, c.sourceDrive);
        EXPECT_EQ(installState.sourceDir, c.sourceDir);
        EXPECT_EQ(installState.prefsSourceDir, c.prefsSourceDir);
        EXPECT_EQ(installState.setupIniPath, c.setupIniPath);
        EXPECT_EQ(installState.notedInstallDir, std::string(c.sourceDir.empty() ? "" : "C:\\Program Files\\QUILLMRK"));
        TearDown();
    }
}

TEST_F(PathsTest, DirectorySourceCopiesTheOwnerFileAheadOfTheRest)
{
    const std::string ownerBytes = scrambledOwnerFile({"User=", "Dept=", "Company="});
    CreateDirectoryA("C:\\QMSOURCE", NULL);
    CreateDirectoryA("C:\\Quillmark Data", NULL);
    EXPECT_TRUE(writeFile("C:\\QMSOURCE\\quillmrk.dat", ownerBytes));
    setProgramFileName("C:\\QMSOURCE\\SETUP.EXE");
    copyText(installState.installDir, textSize, "C:\\Quillmark Data");

    preparePaths();

    EXPECT_EQ(readFile("C:\\Quillmark Data\\quillmrk.dat"), ownerBytes);
    EXPECT_EQ(installState.notedInstallDir, std::string("C:\\Quillmark Data"));
    EXPECT_TRUE(recordedBoxes.empty());
}

TEST_F(PathsTest, DiskSetModeAndAMissingOwnerFileCopyNothing)
{
    CreateDirectoryA("C:\\QMSOURCE", NULL);
    CreateDirectoryA("C:\\QUILLMRK", NULL);
    setProgramFileName("C:\\QMSOURCE\\SETUP.EXE");

    preparePaths(); // directory source, nothing on the medium
    EXPECT_FALSE(exists("C:\\QUILLMRK\\quillmrk.dat"));

    EXPECT_TRUE(writeFile("C:\\QMSOURCE\\quillmrk.dat", "Type=Tessera Data"));
    installState.directorySource = 0;
    preparePaths();
    EXPECT_FALSE(exists("C:\\QUILLMRK\\quillmrk.dat"));
    EXPECT_TRUE(recordedBoxes.empty());
}

// Started from the install directory under its short name, the copy's
// source and destination are one file; opening the destination for writing
// would empty it.
TEST_F(PathsTest, OwnerFileIsLeftAloneWhenSourceAndDestinationAreOne)
{
    const std::string ownerBytes = scrambledOwnerFile({"User=Kept", "Dept=", "Company="});
    const char *const installDirs[] = {"C:\\QUILLMRK", "C:\\Quillmark Setup Files"};
    for (const char *dir : installDirs) {
        SCOPED_TRACE(dir);
        CreateDirectoryA(dir, NULL);
        std::string file = std::string(dir) + "\\quillmrk.dat";
        EXPECT_TRUE(writeFile(file, ownerBytes));
        std::string shortDir = shortPath(dir);
        setProgramFileName((shortDir + "\\SETUP.EXE").c_str());
        copyText(installState.installDir, textSize, dir);

        preparePaths();

        EXPECT_EQ(installState.sourceDir, shortDir + "\\");
        EXPECT_EQ(readFile(file), ownerBytes);
    }
}

struct CanonicalCase {
    const char *name;
    std::string path;
    std::string expected;
};

TEST_F(PathsTest, CanonicalFormUsesTheStoredNames)
{
    CreateDirectoryA("C:\\QUILLMRK", NULL);
    CreateDirectoryA("C:\\Program Files\\QUILLMRK", NULL);
    CreateDirectoryA("C:\\Quillmark Data", NULL);
    CreateDirectoryA("C:\\Quillmark Data\\Long Folder Name", NULL);
    const std::string programFiles = shortPath("C:\\Program Files");
    const std::string dataShort = shortPath("C:\\Quillmark Data\\Long Folder Name");
    ASSERT_EQ(programFiles.find(' '), std::string::npos) << programFiles;
    ASSERT_EQ(dataShort.find(' '), std::string::npos) << dataShort;

    const CanonicalCase cases[] = {
        {"short first level", programFiles + "\\QUILLMRK", "C:\\Program Files\\QUILLMRK"},
        {"short levels throughout", dataShort, "C:\\Quillmark Data\\Long Folder Name"},
        {"other case, trailing backslash", "c:\\quillmrk\\", "c:\\QUILLMRK"},
        {"doubled and trailing backslashes", "C:\\\\QUILLMRK\\\\", "C:\\QUILLMRK"},
        {"leading backslashes", "\\\\C:\\quillmrk", "C:\\QUILLMRK"},
        {"network path keeps its two backslashes", "\\\\qmnet\\share\\\\QM\\", "\\\\qmnet\\share\\QM"},
        {"does not exist", "C:\\NEWDIR", "C:\\NEWDIR"},
        {"new level below an existing one", "c:\\program files\\quillmrk\\new", "c:\\Program Files\\QUILLMRK\\new"},
        {"wildcard stays as typed", "C:\\QUILL*", "C:\\QUILL*"},
        {"backslashes only", "\\\\", "\\\\"},
        {"empty", "", ""},
        {"drive alone", "C:", "C:"},
        // The first component is kept as typed even when it is no drive.
        {"relative", "quillmrk\\new", "quillmrk\\new"},
    };
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    for (const CanonicalCase &c : cases) EXPECT_EQ(canonical(c.path), c.expected) << c.name;
}

// A rebuilt path longer than the result can hold gives back the path as it
// was given, which still names the same directory, never a cut one.
TEST_F(PathsTest, CanonicalFormThatDoesNotFitLeavesThePathAsGiven)
{
    CreateDirectoryA("C:\\Program Files\\QUILLMRK", NULL);
    const std::string shortForm = shortPath("C:\\Program Files") + "\\QUILLMRK";
    // "C:\Program Files\QUILLMRK" has 25 characters.
    EXPECT_EQ(canonical(shortForm, 26), "C:\\Program Files\\QUILLMRK");
    EXPECT_EQ(canonical(shortForm, 25), shortForm);
    EXPECT_EQ(canonical("C:\\QUILLMRK-NOT-THERE", 8), "");

    // Two levels of 200 characters each, reached through their short names:
    // the long form (411 characters) does not fit in 255.
    const std::string first = "C:\\QMDEEP\\" + std::string(200, 'a');
    const std::string second(200, 'b');
    auto removeDeep = [&] {
        if (SetCurrentDirectoryA(first.c_str())) RemoveDirectoryA(second.c_str());
        SetCurrentDirectoryA(startDirectory().c_str());
        RemoveDirectoryA(first.c_str());
        RemoveDirectoryA("C:\\QMDEEP");
    };
    removeDeep();
    CreateDirectoryA("C:\\QMDEEP", NULL);
    ASSERT_TRUE(CreateDirectoryA(first.c_str(), NULL));
    ASSERT_TRUE(SetCurrentDirectoryA(first.c_str()));
    ASSERT_TRUE(CreateDirectoryA(second.c_str(), NULL));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(second.c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    SetCurrentDirectoryA(startDirectory().c_str());
    const std::string deep = shortPath(first) + "\\" + found.cAlternateFileName;
    ASSERT_LT(deep.size(), 40u) << deep;

    EXPECT_EQ(canonical(deep), deep);
    removeDeep();
}

// Run in code page 932, where the second byte of ソ 表 能 十 is 0x5C, the
// backslash's: a backslash separates only where a character starts.
class CodePage932 : public PathsTest {
protected:
    void removeScratch() override
    {
        PathsTest::removeScratch();
        removeTree(hyou);
        removeTree("C:\\QM\x95");  // where a split inside 表 would make it
    }
    const std::string hyou = "C:\\QM\x95\x5C";  // C:\QM表
    const std::string so = "\x83\x5C";            // ソ
};

TEST_F(CodePage932, PathsAreSplitOnlyBetweenCharacters)
{
    ASSERT_EQ(932u, GetACP());
    ASSERT_TRUE(CreateDirectoryA(hyou.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((hyou + "\\" + so).c_str(), NULL));
    const CanonicalCase cases[] = {
        {"component ending in 5C", "C:\\qm\x95\x5C", hyou},
        {"doubled and trailing separators after it", "C:\\qm\x95\x5C\\\\" + so + "\\", hyou + "\\" + so},
        {"new level below it", hyou + "\\\x94\x5C\x97\xCD", hyou + "\\\x94\x5C\x97\xCD"},
        {"share name ending in 5C", "\\\\qmnet\\\x95\x5C\\QM\\", "\\\\qmnet\\\x95\x5C\\QM"},
    };
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    for (const CanonicalCase &c : cases) EXPECT_EQ(canonical(c.path), c.expected) << c.name;

    // Made and entered level by level as typed; nothing beside it.
    const std::string made = hyou + "\\QMNEW\x94\x5C";  // ...\QMNEW能
    EXPECT_EQ(makeInstallDir((made + "\\").c_str()), 0);
    EXPECT_EQ(currentDirectory(), made);
    EXPECT_FALSE(exists("C:\\QM\x95"));

    // The program's folder ends at its last separator, not inside a name.
    setProgramFileName((hyou + "\\SETUP\x95\x5C.EXE").c_str());
    preparePaths();
    EXPECT_EQ(installState.sourceDir, hyou + "\\");

    // Owner data values cut at their limits keep whole characters.
    std::string value = "a";
    for (int i = 0; i < 130; i++) value += "\x95\x5C";
    char cut[lineValueLength + 1];
    lineValue(("User=" + value).c_str(), cut);
    EXPECT_EQ(value.substr(0, 79), cut);
}

} // namespace
