// Install directories that cannot take the installation: on a read-only
// mount, and on a drive that fills up during the copy.
#include <algorithm>

#include "tests/robustness/robust_support.h"

namespace robust {
namespace {

const char creationError[] =
    "There is a problem in creating this directory,\nCheck your read/write priviliges or other settings.";

class Target : public Robust {};

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
    EXPECT_TRUE(installedExactly(defaultTarget, true, {"quillmrk.dat"}));
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

}  // namespace
}  // namespace robust
