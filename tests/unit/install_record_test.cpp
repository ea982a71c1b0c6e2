// The install record: what the uninstaller reads back of what was written.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "install/checksum.h"
#include "tests/support/files.h"
#include "transaction/run_record.h"
#include "uninstall/install_record.h"
#include "uninstall/record_paths.h"

TEST(Checksum, IsTheCommonCrc32WhetherFedWholeOrInPieces)
{
    EXPECT_EQ(0xCBF43926u, finishChecksum(feedChecksum(checksumStart, "123456789", 9)));
    EXPECT_EQ(0xCBF43926u, finishChecksum(feedChecksum(feedChecksum(checksumStart, "1234", 4), "56789", 5)));
    EXPECT_EQ(0u, finishChecksum(checksumStart));
    // Long enough for whole words, fed from an odd offset: zlib's crc32 gives 0x0AF1C7FB.
    unsigned char bytes[1000];
    for (int i = 0; i < 1000; i++) bytes[i] = (unsigned char)(i * 7 + i / 13);
    EXPECT_EQ(0x0AF1C7FBu, finishChecksum(feedChecksum(feedChecksum(checksumStart, bytes, 3), bytes + 3, 997)));
}

TEST(InstallRecord, LinesReadBackAsWrittenAndOtherLinesAreNoEntries)
{
    const RecordEntry written[] = {{recordedFile, 4096, 0xCBF43926u, "C:\\Program Files\\QM\\A B.TXT"},
                                   {recordedDirectory, 0, 0, "C:\\QUILLMRK\\SAMPLES"}};
    for (const RecordEntry &entry : written) {
        char line[2 * textSize];
        RecordEntry read = {};
        ASSERT_EQ(0, recordLine(&entry, line, sizeof line));
        ASSERT_EQ(1, parseRecordLine(line, &read)) << line;
        EXPECT_EQ(entry.kind, read.kind);
        EXPECT_EQ(entry.size, read.size);
        EXPECT_EQ(entry.checksum, read.checksum);
        EXPECT_STREQ(entry.path, read.path);
    }
    RecordEntry none;
    for (const char *line : {"Quillmark install record 1", "F 12 ABCD", "F x 0 C:\\A", "D ", "", "X C:\\A"})
        EXPECT_EQ(0, parseRecordLine(line, &none)) << line;
}

TEST(InstallRecord, AnUpgradeAppendsAndItsLatestWriteOfAFileCounts)
{
    const char path[] = "install_record_test.dat";
    std::remove(path);
    resetInstallRecord();
    noteInstallLevel("C:\\QM");
    noteMadeDirectory("C:\\QM\\SUB");
    noteWrittenFile("C:\\QM\\OLD.TXT", 10, 1);
    noteWrittenFile("C:\\QM\\SUB\\A.TXT", 2000, 2);
    ASSERT_EQ(0, saveInstallRecord(path));
    ASSERT_EQ(0, saveInstallRecord(path));  // once per run, however often the step is retried
    EXPECT_EQ(2u, recordedKilobytes());
    const std::string first = readFile(path);
    resetInstallRecord();                   // a rerun writes the same files: the record stays as it was
    forgetInstallLevels();
    noteWrittenFile("C:\\QM\\OLD.TXT", 10, 1);
    noteWrittenFile("C:\\QM\\SUB\\A.TXT", 2000, 2);
    ASSERT_EQ(0, saveInstallRecord(path));
    EXPECT_EQ(first, readFile(path));
    resetInstallRecord();                   // the upgrade: the directories exist, one file is new
    forgetInstallLevels();
    noteWrittenFile("c:\\qm\\sub\\a.txt", 3000, 3);
    ASSERT_EQ(0, saveInstallRecord(path));

    RecordList entries = {}, files = {}, dirs = {};
    ASSERT_EQ(0, readInstallRecord(path, &entries));
    EXPECT_EQ(5, entries.count);
    const std::string bytes = readFile(path);
    EXPECT_EQ(bytes.find("install record"), bytes.rfind("install record"));  // one header
    ASSERT_EQ(0, latestFiles(&entries, &files));
    ASSERT_EQ(2, files.count);
    EXPECT_STREQ("C:\\QM\\OLD.TXT", files.entries[0].path);
    EXPECT_EQ(3000u, files.entries[1].size);
    EXPECT_EQ(3u, files.entries[1].checksum);
    ASSERT_EQ(0, madeDirectories(&entries, &dirs));
    ASSERT_EQ(2, dirs.count);
    EXPECT_STREQ("C:\\QM\\SUB", dirs.entries[0].path);
    EXPECT_STREQ("C:\\QM", dirs.entries[1].path);
    for (RecordList *list : {&entries, &files, &dirs}) freeRecordList(list);
    resetInstallRecord();
    std::remove(path);
}

TEST(InstallRecord, ARecordIsReadOnlyWhenWrittenWhole)
{
    const char path[] = "install_record_whole.dat";
    std::remove(path);
    resetInstallRecord();
    noteWrittenFile("C:\\QM\\A.TXT", 9, 0xCBF43926u);
    ASSERT_EQ(0, saveInstallRecord(path));
    const std::string whole = readFile(path);
    EXPECT_EQ("Quillmark install record 1\r\nF 9 CBF43926 C:\\QM\\A.TXT\r\nE 1 ", whole.substr(0, 58));
    const std::string oldFormat = "Quillmark install record 1\r\nF 9 CBF43926 C:\\QM\\A.TXT\r\nD C:\\QM\r\n";
    const struct {
        std::string bytes;
        int result;
    } rows[] = {
        {whole, 0},
        {oldFormat, 0},                                            // written before parts were closed
        {whole.substr(0, whole.size() - 3), recordNotWhole},       // cut short
        {whole + "F 4 00000000 C:\\QM\\B.TXT\r\n", recordNotWhole}, // a part left open
        {"Quillmark install record 1\r\nF 8 CBF43926 C:\\QM\\A.TXT\r\n" + whole.substr(54), recordNotWhole},
        {"", recordNotWhole},
        {"MZ\x90garbage\r\n", recordNotWhole},
        {oldFormat + "X C:\\QM\r\n", recordNotWhole},
    };
    for (const auto &row : rows) {
        ASSERT_TRUE(writeFile(path, row.bytes));
        RecordList entries = {};
        EXPECT_EQ(row.result, readInstallRecord(path, &entries)) << row.bytes;
        freeRecordList(&entries);
    }
    // An upgrade of an installation whose record has no closing lines yet.
    ASSERT_TRUE(writeFile(path, oldFormat));
    resetInstallRecord();
    noteWrittenFile("C:\\QM\\B.TXT", 9, 0xCBF43926u);
    ASSERT_EQ(0, saveInstallRecord(path));
    RecordList entries = {};
    EXPECT_EQ(0, readInstallRecord(path, &entries));
    EXPECT_EQ(3, entries.count);
    freeRecordList(&entries);
    resetInstallRecord();
    std::remove(path);
}

TEST(RecordPaths, TheFolderHasOneNormalForm)
{
    const char *rows[][2] = {{"C:\\QUILLMRK\\", "C:\\QUILLMRK"}, {"C:\\\\QUILLMRK", "C:\\QUILLMRK"},
                             {"C:\\QUILLMRK\\\\\\", "C:\\QUILLMRK"}, {"C:", "C:\\"}, {"C:\\\\", "C:\\"},
                             {"\\\\server\\share\\dir\\\\", "\\\\server\\share\\dir"}, {"QMR1\\QMR2", ""}};
    for (const auto &row : rows) {
        char normal[textSize];
        EXPECT_EQ(row[1][0] ? 0 : -1, normalFolderForm(row[0], normal, sizeof normal)) << row[0];
        EXPECT_STREQ(row[1], normal) << row[0];
    }
    EXPECT_TRUE(samePath("c:\\quillmrk\\", "C:\\\\QUILLMRK"));
}

TEST(RecordPaths, OnlyWhatLiesInsideTheFolderIsTheInstallations)
{
    const struct {
        const char *path;
        int place;
    } rows[] = {
        {"C:\\QUILLMRK\\SAMPLES\\A.QMD", insideFolder}, {"c:\\quillmrk\\\\QMVIEW.EXE", insideFolder},
        {"C:\\QUILLMRK", theFolderItself}, {"C:\\", theFolderItself},  // a level on the way to it
        {"C:\\WINDOWS\\WIN.INI", outsideFolder}, {"C:\\QUILLMRK\\..\\WINDOWS\\SYSTEM.INI", outsideFolder},
        {"C:\\QUILLMRK\\.\\A.TXT", outsideFolder}, {"..\\WINDOWS\\SYSTEM.INI", outsideFolder},
        {"QMVIEW.EXE", outsideFolder}, {"D:\\QUILLMRK\\QMVIEW.EXE", outsideFolder},
        {"\\\\server\\share\\QUILLMRK\\A", outsideFolder}, {"C:\\QUILLMRKX\\A.TXT", outsideFolder},
        {"C:\\QUILLMRK\\CON", outsideFolder}, {"C:\\QUILLMRK\\lpt1.txt", outsideFolder},
        {"C:\\QUILLMRK\\A.TXT:stream", outsideFolder}, {"C:\\QUILLMRK\\A.TXT.", outsideFolder},
        {"C:\\QUILLMRK\\A/..\\..\\B", outsideFolder}, {"\\\\?\\C:\\QUILLMRK\\A.TXT", outsideFolder},
    };
    for (const auto &row : rows) {
        char normal[textSize];
        EXPECT_EQ(row.place, placeOfRecordPath("C:\\QUILLMRK", row.path, normal, sizeof normal)) << row.path;
    }
}
