// Single-file transfer through the platform's LZ32 on real files: plain and
// SZDD-compressed sources made by the media fixture, a read-only mount (L:)
// and a 64 KiB mount (M:) that fills up.
#include <windows.h>
#include <lzexpand.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "copy/transfer.h"
#include "transaction/journal.h"
#include "tests/wine/backend_support.h"

namespace {

class TransferTest : public BackendTest {
protected:
    void SetUp() override
    {
        BackendTest::SetUp();
        CreateDirectoryA("C:\\QMCOPY", NULL);
        LZStart();
    }
    void TearDown() override
    {
        LZDone();
        BackendTest::TearDown();
    }
    void removeScratch() override
    {
        removeTree("C:\\QMCOPY");
        removeTree(root(smallDrive, "zeros.bin"));
    }
};

const std::string readmeLine1 = "Quillmark readme, line 1: the quick brown fox jumps over the lazy dog.\r\n";

// A file opens for exclusive use only once no other handle is left on it.
void expectClosed(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path << " still open (error " << GetLastError() << ")";
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

TEST_F(TransferTest, PlainAndCompressedSourcesArriveAsThePlainFile)
{
    const std::string plain = readFile(mediaPath("files\\readme.txt"));
    ASSERT_EQ(plain.substr(0, readmeLine1.size()), readmeLine1) << "media fixture missing";
    const std::string packed = readFile(mediaPath("files\\packed\\readme.txt"));
    ASSERT_EQ(packed.substr(0, 4), "SZDD");
    ASSERT_LT(packed.size(), plain.size());

    const char *const sources[] = {"files\\readme.txt", "files\\packed\\readme.txt"};
    for (const char *source : sources) {
        SCOPED_TRACE(source);
        // An existing destination is replaced, not appended to, in the final step.
        EXPECT_TRUE(writeFile("C:\\QMCOPY\\readme.txt", std::string(50000, 'x')));

        transferFile(mediaPath(source).c_str(), "C:\\QMCOPY\\readme.txt");
        EXPECT_EQ(readFile("C:\\QMCOPY\\readme.txt"), std::string(50000, 'x'));
        EXPECT_EQ(0, placeStagedFiles());
        commitInstallation();

        EXPECT_EQ(readFile("C:\\QMCOPY\\readme.txt"), plain);
        expectClosed(mediaPath(source));
        expectClosed("C:\\QMCOPY\\readme.txt");
    }
    EXPECT_TRUE(recordedBoxes.empty());
}

TEST_F(TransferTest, EqualNamesCopyNothing)
{
    EXPECT_TRUE(writeFile("C:\\QMCOPY\\same.txt", "unchanged"));
    transferFile("C:\\QMCOPY\\same.txt", "C:\\QMCOPY\\same.txt");
    EXPECT_EQ(readFile("C:\\QMCOPY\\same.txt"), "unchanged");
    EXPECT_TRUE(recordedBoxes.empty());
}

TEST_F(TransferTest, MissingSourceLeavesTheDestinationAsItWas)
{
    EXPECT_TRUE(writeFile("C:\\QMCOPY\\kept.txt", "an earlier installation's file\r\n"));
    transferFile(mediaPath("files\\no-such-file.txt").c_str(), "C:\\QMCOPY\\kept.txt");
    transferFile(root(readOnlyDrive, "absent.txt").c_str(), "C:\\QMCOPY\\kept.txt");
    EXPECT_EQ(readFile("C:\\QMCOPY\\kept.txt"), "an earlier installation's file\r\n");
    EXPECT_TRUE(recordedBoxes.empty());
}

TEST_F(TransferTest, DestinationThatCannotBeCreatedIsNotReported)
{
    const std::string destinations[] = {root(readOnlyDrive, "readme.txt"), "C:\\QMCOPY\\NO-DIR\\readme.txt",
                                        root(unusedDrive(), "readme.txt")};
    for (const std::string &destination : destinations) {
        SCOPED_TRACE(destination);
        transferFile(mediaPath("files\\packed\\readme.txt").c_str(), destination.c_str());
        EXPECT_FALSE(exists(destination));
        expectClosed(mediaPath("files\\packed\\readme.txt"));
    }
    EXPECT_TRUE(recordedBoxes.empty());
}

// 1,000,000 expanded bytes on a 64 KiB drive: the copy fails part way,
// says which file to which destination, through the main window, and
// leaves nothing.
TEST_F(TransferTest, ExpansionOntoAFullDriveIsReported)
{
    const std::string source = mediaPath("files\\packed\\zeros.bin");
    const std::string destination = root(smallDrive, "zeros.bin");
    ASSERT_EQ(readFile(source).substr(0, 4), "SZDD");

    transferFile(source.c_str(), destination.c_str());

    EXPECT_EQ(recordedBoxes, (std::vector<BoxCall>{{fakeMainWindow, source, destination, MB_OK}}));
    // Nothing of a copy cut short stays under the file's name.
    EXPECT_FALSE(exists(destination));
    expectClosed(source);

    // A plain source that does not fit either.
    recordBoxes({});
    removeTree(destination);
    transferFile(mediaPath("files\\zeros.bin").c_str(), destination.c_str());
    EXPECT_EQ(recordedBoxes, (std::vector<BoxCall>{{fakeMainWindow, mediaPath("files\\zeros.bin"), destination, 0}}));
}

TEST_F(TransferTest, NamesTooLongToHoldOpenNothing)
{
    EXPECT_TRUE(writeFile("C:\\QMCOPY\\kept.txt", "kept"));
    const std::string longName = "C:\\QMCOPY\\" + std::string(250, 'n');
    transferFile(longName.c_str(), "C:\\QMCOPY\\kept.txt");
    transferFile(mediaPath("files\\readme.txt").c_str(), longName.c_str());
    EXPECT_EQ(readFile("C:\\QMCOPY\\kept.txt"), "kept");
    // Nothing was written under a cut name either.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("C:\\QMCOPY\\n*", &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    EXPECT_TRUE(recordedBoxes.empty());
}

// Files of a directory are announced to the journal before the first is
// made. One that another program makes meanwhile is that program's: the
// copy is staged beside it, and taking the run back leaves it alone while
// removing what the run did make.
TEST_F(TransferTest, AnnouncedFileMadeMeanwhileByAnotherIsKept)
{
    announceFile("C:\\QMCOPY\\readme.txt");
    announceFile("C:\\QMCOPY\\made.txt");
    announceFile("C:\\QMCOPY\\never.txt");
    flushAnnouncedFiles();
    EXPECT_TRUE(writeFile("C:\\QMCOPY\\readme.txt", "another program's"));
    transferFile(mediaPath("files\\readme.txt").c_str(), "C:\\QMCOPY\\readme.txt");
    transferFile(mediaPath("files\\readme.txt").c_str(), "C:\\QMCOPY\\made.txt");
    EXPECT_EQ(readFile("C:\\QMCOPY\\readme.txt"), "another program's");
    ASSERT_TRUE(exists("C:\\QMCOPY\\made.txt"));
    // Made after the run passed it by: not the run's either.
    EXPECT_TRUE(writeFile("C:\\QMCOPY\\never.txt", "made later"));

    undoInstallation();
    EXPECT_EQ(readFile("C:\\QMCOPY\\readme.txt"), "another program's");
    EXPECT_EQ(readFile("C:\\QMCOPY\\never.txt"), "made later");
    EXPECT_FALSE(exists("C:\\QMCOPY\\made.txt"));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("C:\\QMCOPY\\qm*.tmp", &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

} // namespace
