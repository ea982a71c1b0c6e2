// The compiled-in tables of the release checked against the rules the
// program relies on, whatever the release holds: the manifest's markers, the
// names, the files the program treats by name, the disk table and the
// billboard texts. A new release passes unchanged when it keeps the rules.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "copy/manifest.h"
#include "shell/billboard_state.h"
#include "tests/support/manifest_walk.h"

namespace {

bool isMarker(const std::string &entry)
{
    return entry == "[DIR_START]" || entry == "[DIR_END]" || entry == "Finished";
}

// Why name is no short (8.3) name the platform keeps as it is, or "".
std::string shortNameProblem(const std::string &name)
{
    if (name.empty() || name.size() > 12) return "not 1 to 12 characters";
    for (char c : name)
        if (!isalnum((unsigned char)c) && !strchr("!#$%&'()-@^_`{}~.", c)) return "character '" + std::string(1, c) + "'";
    size_t dot = name.find('.');
    if (dot == std::string::npos) return "";
    if (name.find('.', dot + 1) != std::string::npos) return "two dots";
    if (dot < 1 || dot > 8 || name.size() - dot - 1 < 1 || name.size() - dot - 1 > 3) return "not 8.3";
    return "";
}

TEST(ReleaseManifest, MarkersNestAndFinishedStandsOnceAtTheTop)
{
    ASSERT_GT(installManifestCount, 0);
    int depth = 0, finished = 0;
    for (int i = 0; i < installManifestCount; i++) {
        std::string entry = InstallManifest[i];
        if (entry == "[DIR_START]") {
            ASSERT_LT(i + 1, installManifestCount) << "entry " << i << " opens a directory at the end";
            std::string name = InstallManifest[++i];
            EXPECT_FALSE(isMarker(name)) << "entry " << i << " names a directory " << name;
            EXPECT_EQ("", shortNameProblem(name)) << "directory " << name;
            // The disk probe looks two entries on: a directory opens with a file or closes at once.
            if (i + 1 < installManifestCount) {
                EXPECT_STRNE("[DIR_START]", InstallManifest[i + 1]) << "entry " << i + 1;
            }
            depth++;
        } else if (entry == "[DIR_END]") {
            EXPECT_GT(depth, 0) << "entry " << i << " closes no directory";
            depth--;
        } else if (entry == "Finished") {
            EXPECT_EQ(0, depth) << "entry " << i << " stands inside a directory";
            finished++;
        }
    }
    EXPECT_EQ(0, depth) << "directories left open";
    EXPECT_EQ(1, finished);
}

TEST(ReleaseManifest, EveryFileHasAShortNameAndTheSamplesComeLast)
{
    ManifestTree tree = walkManifest(true);
    ASSERT_FALSE(tree.files.empty());
    bool samples = false;
    size_t installed = 0;
    for (const ManifestFile &file : tree.files) {
        EXPECT_EQ("", shortNameProblem(file.product)) << "entry " << file.index << " " << file.product;
        EXPECT_FALSE(samples && !file.sample) << "entry " << file.index << " after the samples";
        samples = samples || file.sample;
        installed += !file.sample;
    }
    // Without the samples the walk stops at "Finished".
    EXPECT_EQ(installed, walkManifest(false).files.size());
}

// The owner data file and the configuration program are installed once, in
// the install directory itself, where the program writes and starts them;
// the other files it treats by name stand at most once.
TEST(ReleaseManifest, FilesTheProgramTreatsByNameStandWhereItLooks)
{
    ManifestTree tree = walkManifest(true);
    for (const char *name : {ownerDataName, "QMSETUP.EXE"}) {
        int count = 0;
        for (const ManifestFile &file : tree.files)
            if (sameName(file.product, name)) {
                count++;
                EXPECT_EQ("", file.directory) << name;
                EXPECT_FALSE(file.sample) << name;
            }
        EXPECT_EQ(1, count) << name;
    }
    for (const char *name : {"addon32.exe", "newscr1.bmp", "SNBD7W95.DLL", fontMapName}) {
        int count = 0;
        for (const ManifestFile &file : tree.files) count += sameName(file.product, name);
        EXPECT_LE(count, 1) << name;
    }
}

TEST(ReleaseDiskTable, DisksCoverTheManifestInOrder)
{
    const int count = diskTable.diskCount;
    ASSERT_GE(count, 1);
    ASSERT_LE(count, (int)maxDisks);
    EXPECT_EQ(0, diskTable.diskStart[0]);
    EXPECT_EQ(0, diskTable.diskStart[1]);
    EXPECT_EQ(installManifestCount, diskTable.diskStart[count + 1]);
    for (int d = 1; d <= count; d++) {
        EXPECT_LE(diskTable.diskStart[d], diskTable.diskStart[d + 1]) << "disk " << d;
        int start = diskTable.diskStart[d];
        if (d > 1 && start > 0) {
            EXPECT_STRNE("[DIR_START]", InstallManifest[start - 1]) << "disk " << d;
        }
    }
    long long compressed = 0, required = 0;
    for (int d = 0; d < maxDisks; d++) {
        EXPECT_GE(diskTable.compressedKB[d], 0) << "disk " << d + 1;
        EXPECT_GE(diskTable.requiredKB[d], 0) << "disk " << d + 1;
        if (d >= count) {
            EXPECT_EQ(0, diskTable.compressedKB[d] + diskTable.requiredKB[d]) << "disk " << d + 1;
        }
        compressed += diskTable.compressedKB[d];
        required += diskTable.requiredKB[d];
    }
    // The program counts bytes in 32 bits.
    EXPECT_LE(compressed * 1000, 0x7FFFFFFFLL);
    EXPECT_LE(required * 1000, 0x7FFFFFFFLL);
    EXPECT_GT(required, 0);
}

TEST(ReleaseDiskTable, EveryDiskOfTheSetIsNamedInANulPaddedSlot)
{
    for (int slot = 0; slot <= maxDisks; slot++) {
        const char *name = diskTable.diskNames[slot];
        size_t length = strnlen(name, diskNameSize);
        ASSERT_LT(length, (size_t)diskNameSize) << "slot " << slot << " has no NUL";
        // The prompts name every disk of the set; slot 0 is no disk.
        bool named = slot >= 1 && slot <= diskTable.diskCount;
        EXPECT_TRUE(named ? length > 0 : slot != 0 || length == 0) << "slot " << slot << ": \"" << name << "\"";
        for (size_t i = length; i < diskNameSize; i++) EXPECT_EQ(0, name[i]) << "slot " << slot << ", byte " << i;
    }
}

TEST(ReleaseBillboard, TextsFitTheirPlaces)
{
    // Titles stand at x 145, lines at x 190 and the footers at x 175 of a
    // 500-unit-wide billboard.
    for (int i = 0; i < themeTitleCount; i++) {
        EXPECT_GT(strlen(themeTitles[i]), 0u) << "title " << i;
        EXPECT_LE(strlen(themeTitles[i]), 32u) << themeTitles[i];
    }
    for (int i = 0; i < bulletTextCount; i++) {
        EXPECT_GT(strlen(bulletTexts[i]), 0u) << "bullet " << i;
        EXPECT_LE(strlen(bulletTexts[i]), 42u) << bulletTexts[i];
        EXPECT_LT(strlen(bulletTexts[i]), (size_t)bulletTextSize);
    }
    for (const char *footer : {productTagLine, makerNoticeLine}) {
        EXPECT_GT(strlen(footer), 0u);
        EXPECT_LE(strlen(footer), 52u) << footer;
        for (const char *c = footer; *c; c++) EXPECT_GE((unsigned char)*c, 0x20u) << footer;
    }
}

}  // namespace
