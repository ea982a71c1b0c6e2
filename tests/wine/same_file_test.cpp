// A transfer whose destination is its own source under a second name: the
// short name, another drive letter on the same folder (B: is the media
// fixture's floppy folder), the Z: path of a folder on C:, and a folder
// reached through a symbolic link (the fixture's floppylink). Each must leave
// the file as it was; creating the destination would empty it.
#include <windows.h>
#include <lzexpand.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "copy/transfer.h"
#include "tests/wine/backend_support.h"
#include "transaction/journal.h"

namespace {

const char longFolder[] = "C:\\Quillmark Same File";

class SameFileTest : public BackendTest {
protected:
    void SetUp() override
    {
        BackendTest::SetUp();
        CreateDirectoryA(longFolder, NULL);
        LZStart();
    }
    void TearDown() override
    {
        LZDone();
        BackendTest::TearDown();
    }
    void removeScratch() override
    {
        removeTree(longFolder);
        removeTree(root(floppyDrive, "same.txt"));
        removeTree(root(floppyDrive, "other.txt"));
        removeTree(mediaPath("twin1\\same.dat"));
        removeTree(mediaPath("twin2\\same.dat"));
    }
};

// The Z: form of a path, through the Unix name Wine gives it.
std::string zPath(const std::string &path)
{
    typedef char *(CDECL * UnixName)(const WCHAR *);
    FARPROC found = GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name");
    UnixName unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(found));
    if (!unixName) return "<no unix name>";
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char *name = unixName(wide);
    if (!name) return "<no unix name>";
    std::string result = "Z:" + std::string(name);
    HeapFree(GetProcessHeap(), 0, name);
    for (char &c : result)
        if (c == '/') c = '\\';
    return result;
}

struct SecondName {
    const char *name;
    std::string file;   // where the file is written
    std::string second; // the same file under its second name
};

std::vector<SecondName> secondNames()
{
    const std::string inLong = std::string(longFolder) + "\\same.txt";
    return {
        {"short name", inLong, shortPath(longFolder) + "\\same.txt"},
        {"Z: path to a folder on C:", inLong, zPath(inLong)},
        {"another drive letter", mediaPath("floppy\\same.txt"), root(floppyDrive, "same.txt")},
        {"folder through a link", mediaPath("floppy\\same.txt"), mediaPath("floppylink\\same.txt")},
    };
}

TEST_F(SameFileTest, FileUnderASecondNameKeepsItsContent)
{
    const std::string packed = readFile(mediaPath("files\\packed\\readme.txt"));
    ASSERT_EQ(packed.substr(0, 4), "SZDD") << "media fixture missing";
    // A plain file, and one stored compressed, which would otherwise be
    // expanded onto itself.
    const std::string contents[] = {"the only copy\r\n", packed};
    for (const SecondName &c : secondNames()) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.file, c.second);
        for (const std::string &bytes : contents) {
            writeFile(c.file, bytes);
            ASSERT_EQ(readFile(c.second), bytes) << c.second << " is not the same file";

            // Done, not "not created": the destination is the source in place.
            EXPECT_EQ(transferDone, transferFile(c.file.c_str(), c.second.c_str()));
            EXPECT_TRUE(readFile(c.file) == bytes) << c.file << " to " << c.second << ": "
                                                   << readFile(c.file).size() << " bytes left of " << bytes.size();
            EXPECT_EQ(transferDone, transferFile(c.second.c_str(), c.file.c_str()));
            EXPECT_TRUE(readFile(c.file) == bytes) << c.second << " to " << c.file << ": "
                                                   << readFile(c.file).size() << " bytes left of " << bytes.size();
        }
    }
    EXPECT_TRUE(recordedBoxes.empty());
}

// Another file of the same content, in the same folder or on the same
// volume, is still replaced.
TEST_F(SameFileTest, DistinctFileOfTheSameContentIsStillReplaced)
{
    const std::string plain = readFile(mediaPath("files\\readme.txt"));
    writeFile(mediaPath("floppy\\same.txt"), plain);
    writeFile(mediaPath("floppy\\other.txt"), "old");
    writeFile(std::string(longFolder) + "\\same.txt", "old");

    transferFile(mediaPath("floppy\\same.txt").c_str(), root(floppyDrive, "other.txt").c_str());
    transferFile(mediaPath("files\\packed\\readme.txt").c_str(), (std::string(longFolder) + "\\same.txt").c_str());
    EXPECT_EQ(0, placeStagedFiles());

    EXPECT_EQ(readFile(mediaPath("floppy\\other.txt")), plain);
    EXPECT_EQ(readFile(std::string(longFolder) + "\\same.txt"), plain);
    EXPECT_TRUE(recordedBoxes.empty());
}

// Two fresh mounts without a drive letter: the platform gives both volumes
// serial 0, and each numbers its files from the same start, so two different
// files of one length and write time share every identity the platform
// reports. Held by another reader that shuts writers out, the second cannot
// be created: it is another file, left to the caller to report, not the
// source in place. Released, it is replaced. The first under a second name
// (its folder's in capitals) is the source in place: the identity is read on
// these mounts, and only the write test tells the two apart.
TEST_F(SameFileTest, DifferentFilesOfOneIdentityOnTwoMountsAreBothKept)
{
    const std::string first = mediaPath("twin1\\same.dat"), second = mediaPath("twin2\\same.dat");
    BY_HANDLE_FILE_INFORMATION info[2];
    const std::string bytes[2] = {"first", "other"};
    const FILETIME written = {0x12345678, 0x01d00000};
    for (int n = 0; n < 2; n++) {
        HANDLE file = CreateFileA(n ? second.c_str() : first.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << "twin mounts missing";
        DWORD done = 0;
        WriteFile(file, bytes[n].data(), (DWORD)bytes[n].size(), &done, NULL);
        SetFileTime(file, NULL, NULL, &written);
        GetFileInformationByHandle(file, &info[n]);
        CloseHandle(file);
    }
    ASSERT_EQ(0u, info[0].dwVolumeSerialNumber | info[1].dwVolumeSerialNumber);
    ASSERT_EQ(info[0].nFileIndexLow, info[1].nFileIndexLow) << "the mounts number their files apart";

    HANDLE reader = CreateFileA(second.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(transferNotCreated, transferFile(first.c_str(), second.c_str()));
    CloseHandle(reader);
    EXPECT_EQ(readFile(second), "other");

    EXPECT_EQ(transferDone, transferFile(first.c_str(), second.c_str()));
    EXPECT_EQ(0, placeStagedFiles());
    EXPECT_EQ(readFile(second), "first");

    std::string firstAgain = first;
    firstAgain.replace(firstAgain.rfind("twin1"), 5, "TWIN1");
    EXPECT_EQ(transferDone, transferFile(first.c_str(), firstAgain.c_str()));
    EXPECT_EQ(readFile(first), "first");
    EXPECT_TRUE(recordedBoxes.empty());
}

} // namespace
