// The compiled-in tables of the release: structure, special entries, the
// destination of every file and the disk table, as the release defines them.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "copy/manifest.h"
#include "shell/billboard_state.h"

namespace {

// One file entry with the directory the walk of the markers puts it in.
struct Placed {
    int index;
    std::string name;
    std::string destination;  // "" is the install directory itself
    bool sample;              // after "Finished"
};

// Walks the manifest as the copy does: "[DIR_START]" and a name go one level
// down, "[DIR_END]" one up, "Finished" starts the samples.
std::vector<Placed> walk()
{
    std::vector<Placed> files;
    std::vector<std::string> path;
    bool samples = false;
    for (int i = 0; i < installManifestCount; i++) {
        std::string e = InstallManifest[i];
        if (e == "[DIR_START]") {
            path.push_back(InstallManifest[++i]);
        } else if (e == "[DIR_END]") {
            if (!path.empty()) path.pop_back();
        } else if (e == "Finished") {
            samples = true;
        } else {
            std::string destination;
            for (const std::string &part : path)
                destination += (destination.empty() ? "" : "\\") + part;
            files.push_back({i, e, destination, samples});
        }
    }
    return files;
}

// The release's structure: entry ranges and where their files go, the inner
// directory PS\FONTS listed after PS, which encloses it.
struct Row {
    int first, last;
    const char *destination;
    int files;
};
const Row structure[] = {
    {0, 198, "", 199},
    {199, 215, "API", 14},
    {216, 296, "", 81},
    {297, 488, "PS", 150},
    {449, 487, "PS\\FONTS", 36},
    {489, 490, "", 2},
    {491, 514, "BIN", 21},
    {515, 704, "FONTS", 187},
    {706, 738, "SAMPLES", 30},
};

const char *expectedDestination(int index)
{
    const char *found = nullptr;
    for (const Row &row : structure)
        if (index >= row.first && index <= row.last) found = row.destination;  // innermost wins
    return found;
}

TEST(ReleaseManifest, HasTheReleaseCounts)
{
    EXPECT_EQ(installManifestCount, 739);
    std::vector<Placed> files = walk();
    EXPECT_EQ(files.size(), 720u);
    int top = 0, inSubdirectories = 0, samples = 0;
    for (const Placed &f : files) {
        if (f.sample) samples++;
        else if (f.destination.empty()) top++;
        else inSubdirectories++;
    }
    EXPECT_EQ(top, 282);
    EXPECT_EQ(inSubdirectories, 408);
    EXPECT_EQ(samples, 30);
}

TEST(ReleaseManifest, MarkersStandWhereTheStructureSays)
{
    struct {
        int index;
        const char *entry;
    } const cases[] = {
        {199, "[DIR_START]"}, {200, "API"},      {215, "[DIR_END]"},
        {297, "[DIR_START]"}, {298, "PS"},       {449, "[DIR_START]"},
        {450, "FONTS"},       {487, "[DIR_END]"}, {488, "[DIR_END]"},
        {491, "[DIR_START]"}, {492, "BIN"},      {514, "[DIR_END]"},
        {515, "[DIR_START]"}, {516, "FONTS"},    {704, "[DIR_END]"},
        {705, "Finished"},    {706, "[DIR_START]"}, {707, "SAMPLES"},
        {738, "[DIR_END]"},
    };
    for (const auto &c : cases) EXPECT_STREQ(InstallManifest[c.index], c.entry) << "entry " << c.index;

    int starts = 0, ends = 0, finished = 0;
    for (int i = 0; i < installManifestCount; i++) {
        starts += strcmp(InstallManifest[i], "[DIR_START]") == 0;
        ends += strcmp(InstallManifest[i], "[DIR_END]") == 0;
        finished += strcmp(InstallManifest[i], "Finished") == 0;
    }
    EXPECT_EQ(starts, 6);
    EXPECT_EQ(ends, 6);
    EXPECT_EQ(finished, 1);
}

TEST(ReleaseManifest, SpecialEntries)
{
    struct {
        int index;
        const char *entry;
    } const cases[] = {
        {0, "addon32.exe"},  {3, "newscr1.bmp"},  {4, "SNBD7W95.DLL"},
        {16, "QUILLMRK.DAT"}, {60, "QMSETUP.EXE"}, {662, "VZFONTMAP"},
    };
    for (const auto &c : cases) EXPECT_STREQ(InstallManifest[c.index], c.entry) << "entry " << c.index;
    // Each is named once: the copy treats the name, not the position, specially.
    for (const auto &c : cases) {
        int count = 0;
        for (int i = 0; i < installManifestCount; i++)
            count += strcmp(InstallManifest[i], c.entry) == 0;
        EXPECT_EQ(count, 1) << c.entry;
    }
}

TEST(ReleaseManifest, EveryFileGoesWhereTheStructureSays)
{
    std::map<std::string, int> perDestination;
    for (const Placed &f : walk()) {
        const char *expected = expectedDestination(f.index);
        ASSERT_NE(expected, nullptr) << "entry " << f.index << " outside every range";
        EXPECT_EQ(f.destination, expected) << "entry " << f.index << " " << f.name;
        EXPECT_EQ(f.sample, f.index > 705) << "entry " << f.index;
        perDestination[f.destination]++;
    }
    EXPECT_EQ(perDestination[""], 199 + 81 + 2);
    EXPECT_EQ(perDestination["API"], 14);
    EXPECT_EQ(perDestination["PS"], 150);
    EXPECT_EQ(perDestination["PS\\FONTS"], 36);
    EXPECT_EQ(perDestination["BIN"], 21);
    EXPECT_EQ(perDestination["FONTS"], 187);
    EXPECT_EQ(perDestination["SAMPLES"], 30);
}

TEST(ReleaseManifest, NamesAreShortNamesAndOneOccursInTwoDirectories)
{
    std::map<std::string, std::set<std::string>> directoriesOf;
    for (const Placed &f : walk()) {
        EXPECT_LE(f.name.size(), 12u) << f.name;
        size_t dot = f.name.find('.');
        if (dot != std::string::npos) {
            EXPECT_LE(dot, 8u) << f.name;
            EXPECT_LE(f.name.size() - dot - 1, 3u) << f.name;
        }
        for (char c : f.name) EXPECT_FALSE(c == '\\' || c == '/' || c == ' ') << f.name;
        directoriesOf[f.name].insert(f.destination);
    }
    int inTwo = 0;
    for (const auto &entry : directoriesOf) inTwo += entry.second.size() >= 2;
    EXPECT_GE(inTwo, 1);
}

TEST(ReleaseDiskTable, HoldsTheReleaseValues)
{
    EXPECT_EQ(diskTable.diskCount, 1);
    EXPECT_EQ(diskTable.diskStart[0], 0);
    EXPECT_EQ(diskTable.diskStart[1], 0);
    EXPECT_EQ(diskTable.diskStart[2], 739);
    EXPECT_EQ(diskTable.compressedKB[0], 18614);
    EXPECT_EQ(diskTable.requiredKB[0], 33550);
}

TEST(ReleaseDiskTable, NamesTheDisksInNulPaddedSlots)
{
    const char *const names[maxDisks + 1] = {"",        "Disk #1", "Disk #2", "Disk #3", "Disk #4",
                                             "Disk #5", "Disk #6", "Disk #7", "Disk #8", "Disk #9"};
    for (int slot = 0; slot <= maxDisks; slot++) {
        char expected[diskNameSize] = {};
        memcpy(expected, names[slot], strlen(names[slot]));
        EXPECT_EQ(memcmp(diskTable.diskNames[slot], expected, diskNameSize), 0) << "slot " << slot;
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
    }
    // The notice is stored in the Windows Western code page: the copyright sign is one byte.
    EXPECT_EQ((unsigned char)makerNoticeLine[0], 0xA9u);
}

}  // namespace
