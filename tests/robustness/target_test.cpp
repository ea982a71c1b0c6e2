// Install directories that cannot take the installation: on a read-only
// mount, on a drive that fills up during the copy, with a file in use or a
// file where a directory belongs.
#include <algorithm>

#include "tests/robustness/robust_support.h"
#include "tests/support/uninstaller_files.h"

namespace robust {
namespace {

const char creationError[] =
    "There is a problem in creating this directory,\nCheck your read/write priviliges or other settings.";

const char overwriteQuestion[] =
    "Directory already exists. Do you want to overwrite?\n\nNote: All Quillmark files in this directory will be "
    "overwritten.";

class Target : public Robust {
protected:
    // Starts an installation from medium over defaultTarget, which already exists.
    void startOverExisting(const std::string &medium = tinyMedium())
    {
        startIn(medium);
        fillDialog(dialog, defaultTarget, true);
        ASSERT_TRUE(answerMessageBox(setup, {overwriteQuestion, "Warning", MB_YESNO | MB_ICONQUESTION, dialog}, IDYES));
    }

    // The box that names held, while another program holds a file open
    // without sharing through holder; the file is released while the box is
    // up. The box, or NULL when none came.
    HWND boxNamingHeldFile(HANDLE holder, const std::string &held)
    {
        HWND box = NULL;
        SeenBox seen;
        bool boxSeen = waitForBox(&box, &seen);
        CloseHandle(holder);
        if (!boxSeen) return NULL;
        EXPECT_EQ("Error in creating : " + held, seen.text);
        EXPECT_EQ("Error", seen.caption);
        EXPECT_EQ(main, seen.owner);
        EXPECT_EQ((UINT)MB_ABORTRETRYIGNORE, boxStyle(box, MB_ABORTRETRYIGNORE));
        return box;
    }
};

TEST_F(Target, ReadOnlyMountIsRefusedInTheDialogAndAnotherDirectoryWorks)
{
    startIn(tinyMedium());
    // A new directory cannot be made there; one that exists cannot be
    // written. Either way the dialog stays, with the focus on the directory.
    for (const char *dir : {readOnlyTarget, existingReadOnly}) {
        fillDialog(dialog, dir, true);
        ASSERT_TRUE(answerMessageBox(setup, {creationError, "Error", MB_OK | MB_ICONHAND, dialog}, IDOK)) << dir;
        EXPECT_TRUE(waitForFocus(setup, dialog, dirField)) << dir;
        EXPECT_TRUE(IsWindowVisible(dialog));
    }
    EXPECT_EQ((std::vector<std::string>{"EXISTING\\"}), listTree("R:"));
    fillDialog(dialog, defaultTarget, true);
    expectCompletedEnd();
    EXPECT_TRUE(installedExactly(defaultTarget, true, withUninstaller({"quillmrk.dat"})));
    EXPECT_EQ(defaultTarget, winIniValue("BinDirectory"));
}

TEST_F(Target, DriveThatFillsUpReportsEachFileThatDoesNotFit)
{
    const std::string winIni = winIniBytes();
    startIn(tinyMedium());
    fillDialog(dialog, fullTarget, true);
    // The 2 MiB drive has less room than the release asks for; Yes goes on.
    ASSERT_TRUE(answerMessageBox(setup,
                                 {"You may not have enough disk space to install.\nThe approximate disk space required "
                                  "is:2400 KB.\n\nDo you want to continue installation?\n\nNote: If you are "
                                  "overwriting previous version of\nthe program, you may not need any more disk space.",
                                  "Not enough disk space", MB_YESNO | MB_ICONQUESTION, main},
                                 IDYES));
    // Each file that does not fit: the transfer's box, the medium's file as
    // text and the destination as caption. Then the completion question.
    const std::vector<ManifestFile> files = manifestFiles(true);
    std::vector<std::string> reported;
    for (int boxes = 0; boxes <= (int)files.size(); boxes++) {
        HWND box = NULL;
        SeenBox seen;
        ASSERT_TRUE(waitForBox(&box, &seen)) << "no completion question";
        if (seen.caption == "Installation Complete") break;
        const std::string prefix = std::string(fullTarget) + "\\";
        // The owner data file's save can find no room left for its new
        // file; the uninstaller lies on C:, where there is room.
        if (seen.caption == "Error") {
            EXPECT_EQ("Error in creating : " + prefix + "quillmrk.dat", seen.text);
            press(box, IDIGNORE);
            continue;
        }
        ASSERT_EQ(prefix, seen.caption.substr(0, prefix.size())) << seen.text;
        const std::string path = seen.caption.substr(prefix.size());
        reported.push_back(path);
        for (const ManifestFile &file : files) {
            if (file.path != path) continue;
            EXPECT_EQ(tinyMedium() + "\\" + file.product, seen.text);
        }
        EXPECT_EQ((UINT)MB_OK, boxStyle(box, MB_OK));
        EXPECT_EQ(main, seen.owner);
        press(box, IDOK);
    }
    answerCompletion(main, IDNO);
    expectExitCode(0);

    // Something did not fit, and every file that was not reported is whole.
    EXPECT_GE(reported.size(), 1u);
    for (const ManifestFile &file : files) {
        if (std::find(reported.begin(), reported.end(), file.path) != reported.end()) continue;
        EXPECT_EQ(fileBytes(productDir() + "\\" + file.product), fileBytes(std::string(fullTarget) + "\\" + file.path))
            << file.path;
    }
    // The owner data file is whole either way: as the medium has it, or
    // with the user's values when its save found room.
    const std::string ownerData = std::string(fullTarget) + "\\quillmrk.dat";
    std::string user;
    EXPECT_TRUE(readOwnerData(ownerData, "User", &user));
    if (fileBytes(ownerData) != fileBytes(tinyMedium() + "\\quillmrk.dat")) {
        EXPECT_EQ("Ada Lovelace", user);
    }
    EXPECT_NE(winIni, winIniBytes());
    EXPECT_EQ(fullTarget, winIniValue("BinDirectory"));
}

// A file held open without sharing by another program, as a running product
// holds its own program: the box names it, and it is released while the box
// is up. Retry installs it, Ignore leaves it alone, Abort cancels before
// WIN.INI is written.
TEST_F(Target, FileInUseIsReportedAndEachAnswerDoesWhatItSays)
{
    const std::string held = std::string(defaultTarget) + "\\QUILLMRK.EXE";
    for (int answer : {IDRETRY, IDIGNORE, IDABORT}) {
        SCOPED_TRACE(answer);
        SetUp();
        ASSERT_TRUE(CreateDirectoryA(defaultTarget, NULL));
        ASSERT_TRUE(writeFile(held, "old"));
        HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);
        const std::string winIni = winIniBytes();
        startOverExisting();
        HWND box = boxNamingHeldFile(holder, held);
        ASSERT_TRUE(box);
        press(box, answer);
        if (answer == IDABORT) {
            expectCancelledEnd();
            EXPECT_EQ(winIni, winIniBytes());
            EXPECT_EQ("old", readFile(held));
        } else if (answer == IDRETRY) {
            expectCompletedEnd();
            EXPECT_TRUE(installedExactly(defaultTarget, true, withUninstaller({"quillmrk.dat"})));
        } else {
            expectCompletedEnd();
            EXPECT_EQ("old", readFile(held));
            for (const ManifestFile &file : manifestFiles(true)) {
                if (file.path == "QUILLMRK.EXE") continue;
                EXPECT_EQ(fileBytes(productDir() + "\\" + file.product),
                          fileBytes(std::string(defaultTarget) + "\\" + file.path))
                    << file.path;
            }
        }
        TearDown();
    }
}

// An owner data file held open without sharing by another program during a
// reinstallation from a folder: the earlier installation's, or the medium's,
// which the early copy then cannot read. The save names the install
// directory's file, and the holder lets go while the box is up. Retry
// stores the values typed.
TEST_F(Target, OwnerDataInUseIsReportedAndRetryStoresTheValues)
{
    const std::string target = std::string(defaultTarget) + "\\quillmrk.dat";
    for (bool onMedium : {false, true}) {
        SCOPED_TRACE(onMedium ? "the medium's file" : "the earlier installation's file");
        SetUp();
        std::string medium;
        ASSERT_TRUE(copyTinyMedium("held-owner-data", &medium));
        ASSERT_TRUE(CreateDirectoryA(defaultTarget, NULL));
        ASSERT_TRUE(writeOwnerData(target, {"User=Old Name", "Dept=Old Dept", "Company=Old Ltd"}));
        const std::string held = onMedium ? medium + "\\quillmrk.dat" : target;
        HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);
        startOverExisting(medium);
        HWND box = boxNamingHeldFile(holder, target);
        ASSERT_TRUE(box);
        press(box, IDRETRY);
        expectCompletedEnd();
        EXPECT_EQ((std::vector<std::string>{"User=Ada Lovelace", "Dept=Analytical Engines", "Company=Babbage & Co"}),
                  ownerDataLines(target));
        TearDown();
    }
}

// WIN.INI held open without sharing during an installation into a new
// folder, and released while the box that names it is up: Retry registers
// the new folder, Abort leaves WIN.INI byte for byte as it was.
TEST_F(Target, WinIniInUseIsReportedAndRetryOrAbortDoWhatTheySay)
{
    char windowsDir[MAX_PATH] = "";
    GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
    const std::string winIni = std::string(windowsDir) + "\\WIN.INI";
    for (int answer : {IDRETRY, IDABORT}) {
        SCOPED_TRACE(answer);
        SetUp();
        setWinIniValue("BinDirectory", earlierTarget);
        const std::string before = winIniBytes();
        startIn(tinyMedium());
        HANDLE holder = CreateFileA(winIni.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);
        fillDialog(dialog, defaultTarget, true);
        HWND box = boxNamingHeldFile(holder, winIni);
        ASSERT_TRUE(box);
        press(box, answer);
        if (answer == IDRETRY) {
            expectCompletedEnd();
            EXPECT_EQ(defaultTarget, winIniValue("BinDirectory"));
            EXPECT_EQ(std::string(defaultTarget) + "\\PREFS", winIniValue("PrefDirectory"));
        } else {
            expectCancelledEnd();
            EXPECT_EQ(before, winIniBytes());
        }
        TearDown();
    }
}

// A plain file where the manifest's SAMPLES directory belongs: one box for
// the directory; Ignore passes over its files and installs all the others.
TEST_F(Target, DirectoryBlockedByAFileIsReportedOnceAndPassedOver)
{
    const std::string blocker = std::string(defaultTarget) + "\\SAMPLES";
    ASSERT_TRUE(CreateDirectoryA(defaultTarget, NULL));
    ASSERT_TRUE(writeFile(blocker, "not a folder"));
    startOverExisting();
    ASSERT_TRUE(answerMessageBox(setup, {("Error in creating : " + blocker).c_str(), "Error", MB_ABORTRETRYIGNORE, main},
                                 IDIGNORE));
    expectCompletedEnd();
    EXPECT_TRUE(installedExactly(defaultTarget, false, withUninstaller({"quillmrk.dat", "SAMPLES"})));
    EXPECT_EQ("not a folder", readFile(blocker));
}

}  // namespace
}  // namespace robust
