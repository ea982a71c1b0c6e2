// The release's ISO image as a user meets it: mounted (install_media.sh
// mount) at the CD-ROM drive E:, SETUP.EXE started from there.
#include "tests/e2e/install_support.h"
#include "tests/support/uninstaller_files.h"

namespace e2e {
namespace {

class CdRomImage : public Installation {};

TEST_F(CdRomImage, InstallsEveryFileFromTheDiscAsFromAFolder)
{
    ASSERT_EQ((UINT)DRIVE_CDROM, GetDriveTypeA("E:\\")) << "E: is not a CD-ROM drive";
    HWND main = startAndFill("E:\\SETUP.EXE", "E:\\", defaultTarget, true);
    ASSERT_TRUE(main);
    // No disk is asked for: the next box is the completion question.
    answerCompletion(main, IDNO);
    expectExitCode(0);

    // Byte for byte the expanded product, the owner data file brought over
    // first and then given the user's values.
    EXPECT_TRUE(installedExactly(defaultTarget, true, withUninstaller({"quillmrk.dat"})));
    std::string company;
    EXPECT_TRUE(readOwnerData(std::string(defaultTarget) + "\\quillmrk.dat", "Company", &company));
    EXPECT_EQ("Babbage & Co", company);
    EXPECT_EQ(defaultTarget, winIniValue("BinDirectory"));
}

}  // namespace
}  // namespace e2e
