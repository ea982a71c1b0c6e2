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
    ASSERT_EQ(0, saveInstallRecord(path, "C:\\QM", NULL));
    ASSERT_EQ(0, saveInstallRecord(path, "C:\\QM", NULL));  // once per run, however often the step is retried
    EXPECT_EQ(2u, recordedKilobytes());
    const std::string first = readFile(path);
    resetInstallRecord();                   // a rerun writes the same files: the record stays as it was
    forgetInstallLevels();
    noteWrittenFile("C:\\QM\\OLD.TXT", 10, 1);
    noteWrittenFile("C:\\QM\\SUB\\A.TXT", 2000, 2);
    ASSERT_EQ(0, saveInstallRecord(path, "C:\\QM", NULL));
    EXPECT_EQ(first, readFile(path));
    resetInstallRecord();                   // the upgrade: the directories exist, one file is new
    forgetInstallLevels();
    noteWrittenFile("c:\\qm\\sub\\a.txt", 3000, 3);
    ASSERT_EQ(0, saveInstallRecord(path, "C:\\QM", NULL));
    resetInstallRecord();                   // and an installation into another folder, typed with a dot
    noteWrittenFile("D:\\QM2.\\A.TXT", 9, 4);
    ASSERT_EQ(0, saveInstallRecord(path, "D:\\QM2", "D:\\QM2."));

    RecordList entries = {}, files = {}, dirs = {}, folders = {}, second = {};
    ASSERT_EQ(0, readInstallRecord(path, &entries));
    EXPECT_EQ(9, entries.count);
    const std::string bytes = readFile(path);
    EXPECT_EQ(bytes.find("install record"), bytes.rfind("install record"));  // one header
    ASSERT_EQ(0, installationsOf(&entries, &folders));
    ASSERT_EQ(2, folders.count);
    EXPECT_STREQ("D:\\QM2", folders.entries[1].path);
    ASSERT_EQ(0, entriesOfInstallation(&entries, "D:\\QM2", &second));
    ASSERT_EQ(1, second.count);
    EXPECT_STREQ("D:\\QM2\\A.TXT", second.entries[0].path);
    ASSERT_EQ(0, latestFiles(&entries, &files));
    ASSERT_EQ(3, files.count);
    EXPECT_STREQ("C:\\QM\\OLD.TXT", files.entries[0].path);
    EXPECT_EQ(3000u, files.entries[1].size);
    EXPECT_EQ(3u, files.entries[1].checksum);
    ASSERT_EQ(0, madeDirectories(&entries, &dirs));
    ASSERT_EQ(2, dirs.count);
    EXPECT_STREQ("C:\\QM\\SUB", dirs.entries[0].path);
    EXPECT_STREQ("C:\\QM", dirs.entries[1].path);
    for (RecordList *list : {&entries, &files, &dirs, &folders, &second}) freeRecordList(list);
    resetInstallRecord();
    std::remove(path);
}

TEST(InstallRecord, ARecordCutAtAnyByteIsNotWhole)
{
    const char path[] = "install_record_whole.dat";
    std::remove(path);
    resetInstallRecord();
    noteWrittenFile("C:\\QM\\A.TXT", 9, 0xCBF43926u);
    ASSERT_EQ(0, saveInstallRecord(path, "C:\\QM", NULL));
    const std::string whole = readFile(path);
    EXPECT_EQ("Quillmark install record 2\r\nI C:\\QM\r\nF 9 CBF43926 C:\\QM\\A.TXT\r\nT 1 1 ", whole.substr(0, 69));
    for (size_t cut = 0; cut < whole.size(); cut++) {
        ASSERT_TRUE(writeFile(path, whole.substr(0, cut)));
        RecordList entries = {};
        EXPECT_EQ(recordNotWhole, readInstallRecord(path, &entries)) << cut;
        freeRecordList(&entries);
    }
    const std::string firstFormat = "Quillmark install record 1\r\nF 9 CBF43926 C:\\QM\\A.TXT\r\nD C:\\QM\r\n";
    const struct {
        std::string bytes;
        int result;
    } rows[] = {
        {whole, 0},
        {firstFormat, 0},                                           // an install folder's, of the first layout
        {whole + "F 4 00000000 C:\\QM\\B.TXT\r\n", recordNotWhole}, // a line after the trailer
        {"Quillmark install record 2\r\nI C:\\QM\r\nF 8 CBF43926 C:\\QM\\A.TXT\r\n" + whole.substr(63), recordNotWhole},
        {"Quillmark install record 2\r\nF 9 CBF43926 C:\\QM\\A.TXT\r\n" + whole.substr(63), recordNotWhole},
        {"MZ\x90garbage\r\n", recordNotWhole},
        {firstFormat + "X C:\\QM\r\n", recordNotWhole},
    };
    for (const auto &row : rows) {
        ASSERT_TRUE(writeFile(path, row.bytes));
        RecordList entries = {};
        EXPECT_EQ(row.result, readInstallRecord(path, &entries)) << row.bytes;
        freeRecordList(&entries);
    }
    // A record not whole is not kept: the next installation's holds its own part alone.
    ASSERT_TRUE(writeFile(path, whole.substr(0, 40)));
    resetInstallRecord();
    noteWrittenFile("C:\\QM\\B.TXT", 9, 0xCBF43926u);
    ASSERT_EQ(0, saveInstallRecord(path, "C:\\QM", NULL));
    RecordList entries = {};
    EXPECT_EQ(0, readInstallRecord(path, &entries));
    EXPECT_EQ(2, entries.count);
    freeRecordList(&entries);
    resetInstallRecord();
    std::remove(path);
}

TEST(InstallRecord, LevelsAboveTheFolderCountOnlyFromARecordAdministratorsWrite)
{
    for (int trusted : {0, 1}) {
        RecordList entries = {}, refused = {};
        for (const char *dir : {"C:\\L1", "C:\\L1\\QM", "C:\\L1\\QM\\SUB"})
            ASSERT_EQ(0, appendEntry(&entries, recordedDirectory, 0, 0, dir));
        ASSERT_EQ(0, keepEntriesInside("C:\\L1\\QM", trusted, &entries, &refused));
        EXPECT_EQ(trusted ? 3 : 2, entries.count);
        EXPECT_EQ(trusted ? 0 : 1, refused.count);
        freeRecordList(&entries);
        freeRecordList(&refused);
    }
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
    for (const char *spelled : {"C:\\QUILLMRK.", "C:\\QUILLMRK . .", "C:\\QUILLMRK"}) {
        char path[textSize];
        copyText(path, sizeof path, spelled);
        withoutTrailingDots(path);
        EXPECT_STREQ("C:\\QUILLMRK", path) << spelled;
    }
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
