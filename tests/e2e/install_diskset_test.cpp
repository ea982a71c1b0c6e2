// Disk-set mode: the three-disk test release, unpacked from its floppy
// images, on the floppy drive A:, each disk put in by renaming its folder to
// the one the drive shows. And disk 1's image mounted write-protected at the
// floppy drive P: (install_media.sh mount).
#include "copy/manifest.h"
#include "tests/e2e/install_support.h"
#include "tests/support/uninstaller_files.h"

namespace e2e {
namespace {

const char insert2[] = "Insert Test Disk 2 in your drive\nand click on OK.";
const char insert3[] = "Insert Test Disk 3 in your drive\nand click on OK.";
const char wrong2[] = "Please insert Test Disk 2.\nand then click on Retry.\n";

class DiskSet : public Installation {
protected:
    void SetUp() override
    {
        Installation::SetUp();
        insertDisk(1);
    }

    void TearDown() override
    {
        Installation::TearDown();
        DeleteFileA((diskFolder(1) + "\\setup.ini").c_str());
    }

    static std::string diskFolder(int disk)
    {
        return installMediaDir() + "\\disk" + std::to_string(disk);
    }

    // Takes the disk in the drive out (back to its own folder) and puts disk in.
    void insertDisk(int disk)
    {
        const std::string drive = installMediaDir() + "\\floppy";
        if (directoryExists(drive)) {
            for (int out = 1; out <= 3; out++) {
                if (directoryExists(diskFolder(out))) continue;
                ASSERT_TRUE(MoveFileA(drive.c_str(), diskFolder(out).c_str())) << "taking out disk " << out;
                break;
            }
        }
        ASSERT_TRUE(MoveFileA(diskFolder(disk).c_str(), drive.c_str())) << "putting in disk " << disk;
    }

    void startFromFloppy(HWND *main)
    {
        ASSERT_EQ((UINT)DRIVE_REMOVABLE, GetDriveTypeA("A:\\")) << "A: is not a floppy drive";
        *main = startAndFill("A:\\SETUP.EXE", "A:\\", defaultTarget, true);
        ASSERT_TRUE(*main);
    }

    // Waits for the next box, puts disk in while it is shown, then answers.
    testing::AssertionResult insertAndAnswer(int disk, const ExpectedBox &expected, int answer)
    {
        waitForMessageBox(setup);
        insertDisk(disk);
        return answerMessageBox(setup, expected, answer);
    }

    ExpectedBox box(const char *text, HWND main)
    {
        UINT style = text == wrong2 ? MB_RETRYCANCEL | MB_ICONEXCLAMATION : MB_OK | MB_ICONEXCLAMATION;
        return {text, text == wrong2 ? "Incorrect Disk" : "Insert Disk", style, main};
    }
};

static std::string definedValue(const std::string &ini, const char *key)
{
    char value[256] = "";
    GetPrivateProfileStringA("Defined Values", key, "", value, sizeof value, ini.c_str());
    return value;
}

// The owner data file as the copy names it (the manifest's letter case).
static std::string ownerDataName(const std::string &dir)
{
    for (const std::string &entry : listTree(dir))
        if (_stricmp(entry.c_str(), "quillmrk.dat") == 0) return entry;
    return "quillmrk.dat";
}

TEST_F(DiskSet, EachDiskIsAskedForAndAWrongOneUntilRetryFindsIt)
{
    HWND main = NULL;
    startFromFloppy(&main);
    // Disk 1 is probed without a prompt; the first box asks for disk 2.
    ASSERT_TRUE(answerMessageBox(setup, box(insert2, main), IDOK));
    // The user's values went next to the program before the copy began.
    const std::string setupIni = installMediaDir() + "\\floppy\\setup.ini";
    EXPECT_EQ("Ada Lovelace, Lock=Yes", definedValue(setupIni, "UserName"));
    EXPECT_EQ("Analytical Engines, Lock=Yes", definedValue(setupIni, "UserDept"));
    EXPECT_EQ("A:\\prefs, Lock=Yes", definedValue(setupIni, "PrefDir"));
    // Disk 1 is still in: wrong until disk 2 is put in and Retry pressed.
    ASSERT_TRUE(answerMessageBox(setup, box(wrong2, main), IDRETRY));
    ASSERT_TRUE(insertAndAnswer(2, box(wrong2, main), IDRETRY));
    ASSERT_TRUE(insertAndAnswer(3, box(insert3, main), IDOK));
    answerCompletion(main, IDNO);
    expectExitCode(0);

    // Here the manifest's owner data file is copied like any other, then
    // receives the user's values.
    const std::string owner = ownerDataName(defaultTarget);
    EXPECT_TRUE(installedExactly(defaultTarget, true, withUninstaller({owner})));
    std::string user;
    EXPECT_TRUE(readOwnerData(std::string(defaultTarget) + "\\" + owner, "User", &user));
    EXPECT_EQ("Ada Lovelace", user);
}

TEST_F(DiskSet, CancelAtTheWrongDiskAndYesEnds)
{
    HWND main = NULL;
    startFromFloppy(&main);
    ASSERT_TRUE(answerMessageBox(setup, box(insert2, main), IDOK));
    ASSERT_TRUE(answerMessageBox(setup, box(wrong2, main), IDCANCEL));
    ASSERT_TRUE(answerMessageBox(setup, {"Do you want to quit?", "Terminate Setup?", MB_YESNO | MB_ICONQUESTION, main},
                                 IDYES));
    EXPECT_TRUE(answerMessageBox(setup, {cancelledText, "Installation Cancelled", MB_OK | MB_ICONASTERISK, main}, IDOK));
    expectExitCode(0);
    // The cancel takes disk 1's files back too: nothing of the run stays.
    EXPECT_FALSE(exists(defaultTarget));
    EXPECT_EQ("", winIniValue("BinDirectory"));
}

TEST_F(DiskSet, AWriteProtectedDiskOneIsReadAsAFolder)
{
    ASSERT_EQ((UINT)DRIVE_REMOVABLE, GetDriveTypeA("P:\\")) << "P: is not a floppy drive";
    HWND main = startAndFill("P:\\SETUP.EXE", "P:\\", defaultTarget, true);
    ASSERT_TRUE(main);
    // No disk is asked for: disk 2's first file (in PS) is looked for on P:
    // itself, and is not there.
    ASSERT_TRUE(answerMessageBox(setup, {"Error in opening : P:\\QMPS.PRO", "Error", MB_OKCANCEL, main}, IDCANCEL));
    EXPECT_TRUE(answerMessageBox(setup, {cancelledText, "Installation Cancelled", MB_OK | MB_ICONASTERISK, main}, IDOK));
    expectExitCode(0);
    // Disk 1's files, the owner data file by the early copy of a folder
    // installation and the directory the walk had opened are all taken
    // back; no setup.ini.
    EXPECT_FALSE(exists(defaultTarget));
    EXPECT_FALSE(fileExists("P:\\setup.ini"));
}

}  // namespace
}  // namespace e2e
