// The release's ISO image as a user meets it: mounted (install_media.sh
// mount) at the CD-ROM drive E:, SETUP.EXE started from there.
#include "tests/e2e/install_support.h"

namespace e2e {
namespace {

class CdRomImage : public Installation {};

TEST_F(CdRomImage, InstallsEveryFileFromTheDiscAsFromAFolder)
{
    ASSERT_EQ((UINT)DRIVE_CDROM, GetDriveTypeA("E:\\")) << "E: is not a CD-ROM drive";
    ASSERT_TRUE(startSetup("E:\\SETUP.EXE", "E:\\", &setup));
    HWND main = waitForMainWindow();
    HWND dialog = waitForDialog();
    ASSERT_TRUE(main && dialog);
    fillDialog(dialog, defaultTarget, true);
    // No disk is asked for: the next box is the completion question.
    answerCompletion(main, IDNO);
    expectExitCode(0);

    // Byte for byte the expanded product, the owner data file brought over
    // first and then given the user's values.
    EXPECT_TRUE(installedExactly(defaultTarget, true, {"quillmrk.dat"}));
    std::string company;
    EXPECT_TRUE(readOwnerData(std::string(defaultTarget) + "\\quillmrk.dat", "Company", &company));
    EXPECT_EQ("Babbage & Co", company);
    EXPECT_EQ(defaultTarget, winIniValue("BinDirectory"));
}

}  // namespace
}  // namespace e2e
