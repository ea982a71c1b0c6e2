// A damaged installation medium: files with a cut or corrupted LZ header or
// a truncated body, a file replaced by a directory, and a floppy taken out
// of its drive in the middle of the copy. Each fault is reported, the copy
// goes on, and every other file arrives whole.
#include <algorithm>

#include "tests/robustness/robust_support.h"
#include "tests/support/owner_data.h"
#include "tests/support/uninstaller_files.h"

namespace robust {
namespace {

class Medium : public Robust {
protected:
    // The files of the installed tree, less those named, byte for byte the
    // product's.
    void expectOthersWhole(const std::string &dir, const std::vector<std::string> &left)
    {
        for (const ManifestFile &file : manifestFiles(true)) {
            if (std::find(left.begin(), left.end(), file.path) != left.end()) continue;
            EXPECT_EQ(fileBytes(productDir() + "\\" + file.product), fileBytes(dir + "\\" + file.path)) << file.path;
        }
    }

    // Answers the next box, which must show text and caption, with button.
    void expectBox(const std::string &text, const std::string &caption, UINT style, int button)
    {
        HWND box = NULL;
        SeenBox seen;
        ASSERT_TRUE(waitForBox(&box, &seen)) << "no box \"" << text << "\"";
        EXPECT_EQ(text, seen.text);
        EXPECT_EQ(caption, seen.caption);
        EXPECT_EQ(style, boxStyle(box, style)) << seen.text;
        EXPECT_EQ(main, seen.owner) << seen.text;
        press(box, button);
    }
};

// The header of an LZ (SZDD) file: 8 bytes of magic, the method 'A', the
// last character, and the expanded length (4 bytes, least first).
enum { lzMethodOffset = 8, lzLengthOffset = 10, lzHeaderSize = 14 };

TEST_F(Medium, DamagedFilesAreReportedAndTheRestArrives)
{
    std::string medium;
    ASSERT_TRUE(copyTinyMedium("damaged", &medium));
    struct Damage {
        const char *file;
        const char *what;
    };
    // In the order the manifest copies them.
    const Damage damages[] = {
        {"QMSETUP.EXE", "flipped literal"},
        {"QUILLMRK.EXE", "truncated body"},
        {"README.TXT", "replaced by a directory"},
        {"QMCORE32.DLL", "cut header"},
        {"QUILLMRK.INI", "unknown method"},
        {"QMPS.PRO", "wrong expanded length"},
    };
    for (const Damage &damage : damages) {
        std::string path = medium + "\\" + damage.file;
        std::string what = damage.what;
        ASSERT_EQ("SZDD", fileBytes(path).substr(0, 4)) << damage.file << " is not stored compressed";
        if (what == "flipped literal") {
            // The first byte after the header and its control byte.
            ASSERT_TRUE(flipBit(path, lzHeaderSize + 1));
        } else if (what == "truncated body") {
            ASSERT_TRUE(cutFile(path, (long)fileBytes(path).size() / 2));
        } else if (what == "replaced by a directory") {
            ASSERT_TRUE(DeleteFileA(path.c_str()));
            ASSERT_TRUE(CreateDirectoryA(path.c_str(), NULL));
        } else if (what == "cut header") {
            ASSERT_TRUE(cutFile(path, lzHeaderSize - 4));
        } else if (what == "unknown method") {
            ASSERT_TRUE(patchFile(path, lzMethodOffset, "X"));
        } else {
            ASSERT_TRUE(patchFile(path, lzLengthOffset, std::string("\x00\x00\x01\x00", 4)));
        }
    }

    startIn(medium);
    fillDialog(dialog, defaultTarget, true);
    const std::string target = defaultTarget;
    // A file that is not the release's or cannot be read whole: the
    // transfer's own box, the medium's file as text and the destination as
    // caption, OK and no icon.
    expectBox(medium + "\\QMSETUP.EXE", target + "\\QMSETUP.EXE", MB_OK, IDOK);
    expectBox(medium + "\\QUILLMRK.EXE", target + "\\QUILLMRK.EXE", MB_OK, IDOK);
    // A directory in a file's place cannot be opened: OK goes on.
    expectBox("Error in opening : " + medium + "\\README.TXT", "Error", MB_OKCANCEL, IDOK);
    expectBox(medium + "\\QMCORE32.DLL", target + "\\QMCORE32.DLL", MB_OK, IDOK);
    expectBox(medium + "\\QUILLMRK.INI", target + "\\QUILLMRK.INI", MB_OK, IDOK);
    expectBox(medium + "\\QMPS.PRO", target + "\\PS\\QMPS.PRO", MB_OK, IDOK);
    // The same name again, among the samples.
    expectBox("Error in opening : " + medium + "\\README.TXT", "Error", MB_OKCANCEL, IDOK);
    expectCompletedEnd();

    for (const char *left : {"QMSETUP.EXE", "QUILLMRK.EXE", "README.TXT", "SAMPLES\\README.TXT"})
        EXPECT_FALSE(fileExists(target + "\\" + left)) << left;
    expectOthersWhole(target, {"QMSETUP.EXE", "QUILLMRK.EXE", "README.TXT", "QMCORE32.DLL", "QUILLMRK.INI", "PS\\QMPS.PRO",
                               "SAMPLES\\README.TXT"});
    EXPECT_EQ(target, winIniValue("BinDirectory"));
    std::string user;
    EXPECT_TRUE(readOwnerData(target + "\\quillmrk.dat", "User", &user));
    EXPECT_EQ("Ada Lovelace", user);
}

// Each damage of one file, installed unattended over an earlier file of
// that name: the run ends non-zero, the log names the file and why, and the
// whole run is taken back: the earlier file stays as it was, nothing else
// stays.
TEST_F(Medium, DamagedFilesUnattendedNeverReplaceWhatWasThere)
{
    const char logPath[] = "C:\\QMDAMAGE.LOG";
    enum Change { flip, cut, extend };
    struct Row {
        const char *file;
        Change change;
        long at;  // the byte flipped, or the length cut to (-1: half)
        DWORD code;
        const char *why;  // in the log after the file's name
    };
    const Row rows[] = {
        {"QUILLMRK.EXE", flip, lzHeaderSize + 1, 11, " damaged on the medium: "},  // a literal
        {"QMCORE32.DLL", flip, 0, 11, " damaged on the medium: "},                 // the magic
        {"QUILLMRK.INI", cut, 0, 11, " damaged on the medium: "},
        {"QMPS.PRO", cut, -1, 11, " damaged on the medium: "},
        {"newscr1.bmp", flip, 1000, 11, " damaged on the medium: "},  // stored plain
        {"newscr1.bmp", cut, -1, 11, " damaged on the medium: "},
        {"newscr1.bmp", extend, 0, 11, " damaged on the medium: "},
        // Without the medium's owner data file the values cannot be kept.
        {"quillmrk.dat", flip, 0, 5, " damaged on the medium: "},
    };
    const std::string earlier = "an earlier release's file";
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.file) + " " + std::to_string(row.change) + " " + std::to_string(row.at));
        std::string medium;
        ASSERT_TRUE(copyTinyMedium("unattended-damage", &medium));
        const std::string path = medium + "\\" + row.file;
        const long half = (long)fileBytes(path).size() / 2;
        switch (row.change) {
        case flip: ASSERT_TRUE(flipBit(path, row.at)); break;
        case cut: ASSERT_TRUE(cutFile(path, row.at < 0 ? half : row.at)); break;
        case extend: ASSERT_TRUE(writeTextFile(path, fileBytes(path) + "x")); break;
        }
        const std::string installed = std::string(row.file) == "QMPS.PRO" ? "PS\\QMPS.PRO" : row.file;
        ASSERT_TRUE(CreateDirectoryA(defaultTarget, NULL) && CreateDirectoryA((std::string(defaultTarget) + "\\PS").c_str(), NULL));
        ASSERT_TRUE(writeFile(std::string(defaultTarget) + "\\" + installed, earlier));
        DeleteFileA(logPath);

        DWORD code = 1234;
        ASSERT_TRUE(startSetup(medium + "\\SETUP.EXE", medium, &setup, std::string("/S /NAME=Ada /LOG=") + logPath));
        EXPECT_TRUE(waitForExit(&setup, &code));
        stopSetup(&setup);
        EXPECT_EQ(row.code, code);
        const std::string log = readFile(logPath);
        EXPECT_NE(std::string::npos, log.find("File " + path + row.why)) << log;
        EXPECT_NE(std::string::npos, log.find("Nothing changed: what this run wrote was taken back")) << log;
        EXPECT_EQ(earlier, fileBytes(std::string(defaultTarget) + "\\" + installed));
        std::vector<std::string> left = listTree(defaultTarget), kept = {"PS\\", installed};
        std::sort(left.begin(), left.end());
        std::sort(kept.begin(), kept.end());
        EXPECT_EQ(kept, left);
        TearDown();
        SetUp();
    }
}

// The medium's owner data file is its own (a duplicator or an earlier
// installation may have filled it in): one the owner data store reads is
// installed as it came, whatever its checksum; only one it cannot read is
// the owner data not saved, and the unattended run is taken back.
TEST_F(Medium, TheMediumsOwnerDataIsTakenByItsForm)
{
    const char logPath[] = "C:\\QMOWNER.LOG";
    const std::string own = scrambledOwnerFile({"User=", "Company=Babbage & Co"});  // no department
    for (const std::string &bytes : {own, std::string("an owner data file of another program\r\n")}) {
        const bool readable = bytes == own;
        std::string medium;
        ASSERT_TRUE(copyTinyMedium("owner-data", &medium));
        ASSERT_TRUE(writeFile(medium + "\\quillmrk.dat", bytes));
        DeleteFileA(logPath);
        DWORD code = 1234;
        ASSERT_TRUE(startSetup(medium + "\\SETUP.EXE", medium, &setup, std::string("/S /NAME=Ada /LOG=") + logPath));
        EXPECT_TRUE(waitForExit(&setup, &code));
        stopSetup(&setup);
        EXPECT_EQ(readable ? 0u : 5u, code);
        const std::string target = std::string(defaultTarget) + "\\quillmrk.dat";
        EXPECT_EQ(readable ? own : "<missing>", fileBytes(target));
        const std::string log = readFile(logPath);
        EXPECT_EQ(!readable, log.find("quillmrk.dat damaged on the medium: the owner data store cannot read it") !=
                                 std::string::npos)
            << log;
        TearDown();
        SetUp();
    }
}

// Disk-set mode on the floppy drive F:, each disk put in by renaming its
// folder to the one the drive shows.
class Floppy : public Medium {
protected:
    void SetUp() override
    {
        Medium::SetUp();
        removeTree(aside());
        ASSERT_TRUE(CreateDirectoryA(aside().c_str(), NULL));
    }

    // The disks as they were: out of the drive, whole, without setup.ini.
    void TearDown() override
    {
        Medium::TearDown();
        insertDisk(0);
        for (const std::string &file : listTree(aside()))
            MoveFileA((aside() + "\\" + file).c_str(), (diskFolder(1) + "\\" + file).c_str());
        removeTree(aside());
        for (int disk = 1; disk <= 3; disk++) DeleteFileA((diskFolder(disk) + "\\setup.ini").c_str());
    }

    static std::string drive() { return mediaDir() + "\\floppy"; }
    static std::string aside() { return mediaDir() + "\\aside"; }
    static std::string diskFolder(int disk) { return mediaDir() + "\\disk" + std::to_string(disk); }

    // Answers the prompt for each disk after the first, putting it in first.
    void insertLaterDisks()
    {
        for (int disk = 2; disk <= 3; disk++) {
            HWND box = NULL;
            SeenBox seen;
            ASSERT_TRUE(waitForBox(&box, &seen));
            EXPECT_EQ("Insert Test Disk " + std::to_string(disk) + " in your drive\nand click on OK.", seen.text);
            ASSERT_NO_FATAL_FAILURE(insertDisk(disk));
            press(box, IDOK);
        }
    }

    // Takes the disk in the drive out and puts disk in (none for 0).
    void insertDisk(int disk)
    {
        if (inDrive) {
            EXPECT_TRUE(MoveFileA(drive().c_str(), diskFolder(inDrive).c_str())) << "taking out " << inDrive;
        }
        inDrive = 0;
        if (!disk) return;
        ASSERT_TRUE(MoveFileA(diskFolder(disk).c_str(), drive().c_str())) << "putting in disk " << disk;
        inDrive = disk;
    }

    // Moves a file of the disk in the drive aside.
    void takeAway(const std::string &file)
    {
        ASSERT_TRUE(MoveFileA((drive() + "\\" + file).c_str(), (aside() + "\\" + file).c_str())) << file;
    }

    int inDrive = 0;
};

TEST_F(Floppy, TakenOutBetweenFilesEachLaterFileIsReported)
{
    // Disk 1 without README.TXT: its error box is the moment the floppy is
    // taken out, between two files.
    ASSERT_NO_FATAL_FAILURE(insertDisk(1));
    ASSERT_NO_FATAL_FAILURE(takeAway("README.TXT"));
    ASSERT_EQ((UINT)DRIVE_REMOVABLE, GetDriveTypeA("F:\\")) << "F: is not a floppy drive";
    ASSERT_TRUE(startSetup("F:\\SETUP.EXE", "F:\\", &setup));
    main = waitForMainWindow();
    dialog = waitForDialog();
    ASSERT_TRUE(main && dialog);
    fillDialog(dialog, defaultTarget, true);

    HWND box = NULL;
    SeenBox seen;
    ASSERT_TRUE(waitForBox(&box, &seen));
    EXPECT_EQ("Error in opening : F:README.TXT", seen.text);
    // The disk leaves the drive while the program still runs from it.
    ASSERT_NO_FATAL_FAILURE(insertDisk(0));
    press(box, IDOK);
    expectBox("Error in opening : F:QMCORE32.DLL", "Error", MB_OKCANCEL, IDOK);
    expectBox("Error in opening : F:QUILLMRK.INI", "Error", MB_OKCANCEL, IDOK);
    // The next disk is asked for as usual, and the rest of the set arrives.
    ASSERT_TRUE(waitForBox(&box, &seen));
    EXPECT_EQ("Insert Test Disk 2 in your drive\nand click on OK.", seen.text);
    ASSERT_NO_FATAL_FAILURE(insertDisk(2));
    press(box, IDOK);
    ASSERT_TRUE(waitForBox(&box, &seen));
    EXPECT_EQ("Insert Test Disk 3 in your drive\nand click on OK.", seen.text);
    ASSERT_NO_FATAL_FAILURE(insertDisk(3));
    press(box, IDOK);
    expectCompletedEnd();

    // Disk 1's files up to that moment are whole; README.TXT among the
    // samples comes from disk 3.
    const std::vector<std::string> missing = {"README.TXT", "QMCORE32.DLL", "QUILLMRK.INI"};
    for (const std::string &file : missing) EXPECT_FALSE(fileExists(std::string(defaultTarget) + "\\" + file)) << file;
    expectOthersWhole(defaultTarget, missing);
    EXPECT_EQ(defaultTarget, winIniValue("BinDirectory"));
}

// /VERIFY reads a disk set disk by disk, asking for each as the installation
// does; unattended, the first disk not in the drive ends it with 7.
TEST_F(Floppy, VerifyAsksForEachDiskAndUnattendedStopsAtTheNext)
{
    ASSERT_NO_FATAL_FAILURE(insertDisk(1));
    ASSERT_TRUE(startSetup("F:\\SETUP.EXE", "F:\\", &setup, "/VERIFY"));
    ASSERT_NO_FATAL_FAILURE(insertLaterDisks());
    HWND box = NULL;
    SeenBox seen;
    ASSERT_TRUE(waitForBox(&box, &seen));
    EXPECT_EQ("The medium is whole: every file is the release's.", seen.text);
    press(box, IDOK);
    DWORD code = 1234;
    EXPECT_TRUE(waitForExit(&setup, &code));
    EXPECT_EQ(0u, code);
    stopSetup(&setup);

    const char logPath[] = "C:\\QMVERIFY.LOG";
    DeleteFileA(logPath);
    ASSERT_NO_FATAL_FAILURE(insertDisk(1));
    ASSERT_TRUE(startSetup("F:\\SETUP.EXE", "F:\\", &setup, std::string("/S /VERIFY /LOG=") + logPath));
    EXPECT_TRUE(waitForExit(&setup, &code));
    EXPECT_EQ(7u, code);
    EXPECT_NE(std::string::npos, readFile(logPath).find("Stopped at disk 2: nothing more checked")) << readFile(logPath);
    EXPECT_FALSE(directoryExists(defaultTarget));
}

// From the floppy, whose drive is current, a path on C: without its root
// means the folder it names when typed (C: has its root as current
// directory); the files, the owner data file and WIN.INI all use that folder.
TEST_F(Floppy, DirectoryWithoutItsRootIsInstalledWhereItPoints)
{
    const std::string target = "C:\\QMDISK";
    removeTree(target);
    ASSERT_NO_FATAL_FAILURE(insertDisk(1));
    ASSERT_TRUE(startSetup("F:\\SETUP.EXE", "F:\\", &setup));
    main = waitForMainWindow();
    dialog = waitForDialog();
    ASSERT_TRUE(main && dialog);
    fillDialog(dialog, "C:QMDISK", true);
    ASSERT_NO_FATAL_FAILURE(insertLaterDisks());
    expectCompletedEnd();

    std::string owner = "<none>";
    for (const std::string &entry : listTree(target))
        if (_stricmp(entry.c_str(), "quillmrk.dat") == 0) owner = entry;
    EXPECT_TRUE(installedExactly(target, true, withUninstaller({owner})));
    std::string user = "<unreadable>";
    EXPECT_TRUE(readOwnerData(target + "\\" + owner, "User", &user));
    EXPECT_EQ("Ada Lovelace", user);
    EXPECT_EQ(target, winIniValue("BinDirectory"));
    EXPECT_EQ(target + "\\PREFS", winIniValue("PrefDirectory"));
    removeTree(target);
}

}  // namespace
}  // namespace robust
