// The tables of the three-disk test release, which the disk-set tests of
// the installer are built on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "copy/manifest.h"
#include "shell/billboard_state.h"

namespace {

std::vector<std::string> entries(int first, int end)
{
    std::vector<std::string> out;
    for (int i = first; i < end; i++) out.push_back(InstallManifest[i]);
    return out;
}

TEST(Release3Tables, ThreeDisksCoverTheManifest)
{
    EXPECT_EQ(installManifestCount, 36);
    EXPECT_EQ(diskTable.diskCount, 3);
    const int starts[] = {0, 0, 9, 24, 36};
    for (int d = 0; d <= 4; d++) EXPECT_EQ(diskTable.diskStart[d], starts[d]) << "slot " << d;
    const int compressed[] = {900, 220, 380}, required[] = {1400, 400, 600};
    for (int d = 0; d < 3; d++) {
        EXPECT_EQ(diskTable.compressedKB[d], compressed[d]);
        EXPECT_EQ(diskTable.requiredKB[d], required[d]);
    }
    EXPECT_STREQ(diskTable.diskNames[0], "");
    EXPECT_STREQ(diskTable.diskNames[1], "Test Disk 1");
    EXPECT_STREQ(diskTable.diskNames[3], "Test Disk 3");
    EXPECT_STREQ(diskTable.diskNames[4], "");
}

TEST(Release3Tables, EachDiskHoldsItsStretch)
{
    const std::vector<std::string> disk1 = {"addon32.exe", "newscr1.bmp", "SNBD7W95.DLL",
                                            "QUILLMRK.DAT", "QMSETUP.EXE", "QUILLMRK.EXE",
                                            "README.TXT", "QMCORE32.DLL", "QUILLMRK.INI"};
    // Disk 2 opens with a directory: the disk probe looks two entries on.
    const std::vector<std::string> disk2 = {
        "[DIR_START]", "PS",        "QMPS.PRO",   "FONTS.LST", "[DIR_START]",
        "FONTS",       "FONTS.LST", "TIMESR.PFB", "[DIR_END]", "[DIR_END]",
        "[DIR_START]", "FONTS",     "ARIAL.TTF",  "VZFONTMAP", "[DIR_END]"};
    const std::vector<std::string> disk3 = {"QMVIEW.EXE", "[DIR_START]", "TEMP",        "[DIR_END]",
                                            "Finished",   "[DIR_START]", "SAMPLES",     "README.TXT",
                                            "WELCOME.QMD", "MEMO.QMD",   "PHOTO.JPG",   "[DIR_END]"};
    EXPECT_EQ(entries(0, 9), disk1);
    EXPECT_EQ(entries(9, 24), disk2);
    EXPECT_EQ(entries(24, 36), disk3);
}

TEST(Release3Tables, BillboardIsTheTestReleasesOwn)
{
    EXPECT_STREQ(themeTitles[0], "Test Release Welcome");
    EXPECT_STREQ(bulletTexts[29], "Test line 30");
    EXPECT_STREQ(productTagLine, "Quillmark three-disk test release");
}

}  // namespace
