// In process: the single-file transfer and the owner data store's save
// against the faults the scenarios meet, checked byte for byte. The medium's
// files come from the tiny medium of robust_media.sh.
#include <windows.h>
#include <lzexpand.h>

#include "copy/transfer.h"
#include "ownerdata/records.h"
#include "shell/shell.h"
#include "tests/robustness/robust_support.h"
#include "tests/support/box_recorder.h"
#include "tests/support/uninstaller_files.h"
#include "transaction/journal.h"

namespace robust {
namespace {

const char scratch[] = "C:\\QMFAULT";
const char ballast[] = "Q:\\ballast.bin";

class Faults : public testing::Test {
protected:
    void SetUp() override
    {
        removeTree(scratch);
        ASSERT_TRUE(CreateDirectoryA(scratch, NULL));
        recordBoxes();
        LZStart();
    }

    void TearDown() override
    {
        // What a test's steps changed goes back, and their journal with it.
        undoInstallation();
        LZDone();
        stopRecording();
        removeTree(scratch);
        DeleteFileA(ballast);
    }

    static std::string in(const std::string &name) { return std::string(scratch) + "\\" + name; }
};

// The header of an LZ (SZDD) file: 8 bytes of magic, the method 'A', the
// last character, and the expanded length (4 bytes, least first).
enum { lzMethodOffset = 8, lzLengthOffset = 10, lzHeaderSize = 14 };

TEST_F(Faults, DamagedSourcesAreReportedAndLeaveTheDestinationAlone)
{
    const std::string product = fileBytes(productDir() + "\\README.TXT");
    const std::string packed = fileBytes(tinyMedium() + "\\README.TXT");
    ASSERT_EQ("SZDD", packed.substr(0, 4));
    const std::string earlier = "an earlier installation's README.TXT";
    struct Case {
        const char *what;
        std::string source;  // the bytes on the medium
        bool reported;
        std::string after;   // the destination afterwards
    };
    std::string wrongLength = packed;
    wrongLength.replace(lzLengthOffset, 4, std::string("\x00\x00\x01\x00", 4));
    std::string unknownMethod = packed;
    unknownMethod[lzMethodOffset] = 'X';
    const Case cases[] = {
        {"whole", packed, false, product},
        {"plain", product, false, product},
        {"plain and shorter than a header", "abc", false, "abc"},
        {"cut header", packed.substr(0, lzHeaderSize - 4), true, earlier},
        {"unknown method", unknownMethod, true, earlier},
        // A copy that fails leaves the earlier file as it was.
        {"wrong expanded length", wrongLength, true, earlier},
        {"truncated body", packed.substr(0, packed.size() / 2), true, earlier},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        recordBoxes();
        ASSERT_TRUE(writeTextFile(in("source"), c.source));
        ASSERT_TRUE(writeTextFile(in("README.TXT"), earlier));

        transferFile(in("source").c_str(), in("README.TXT").c_str());
        EXPECT_EQ(0, placeStagedFiles());
        commitInstallation();

        const std::vector<BoxCall> report = {{mainWindow, in("source"), in("README.TXT"), MB_OK}};
        EXPECT_EQ(c.reported ? report : std::vector<BoxCall>(), recordedBoxes);
        EXPECT_EQ(c.after, fileBytes(in("README.TXT")));
        // Both files are closed: they can be removed.
        EXPECT_TRUE(DeleteFileA(in("source").c_str()));
        EXPECT_TRUE(DeleteFileA(in("README.TXT").c_str()));
    }
}

TEST_F(Faults, PathsOfUpTo255CharactersAreCopied)
{
    // The platform's LZOpenFile takes no more than 127 characters.
    std::string dir = scratch;
    while (dir.size() + 9 + 1 + 12 <= 255) {
        dir += "\\ABCDEFGH";
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), NULL)) << dir;
    }
    const std::string source = dir + "\\" + std::string(253 - dir.size(), 'S');
    const std::string destination = dir + "\\" + std::string(254 - dir.size(), 'D');
    ASSERT_EQ(254u, source.size());
    ASSERT_EQ(255u, destination.size());
    ASSERT_TRUE(copyFileTo(tinyMedium() + "\\README.TXT", source));

    transferFile(source.c_str(), destination.c_str());

    EXPECT_EQ(fileBytes(productDir() + "\\README.TXT"), fileBytes(destination));
    EXPECT_TRUE(recordedBoxes.empty()) << testing::PrintToString(recordedBoxes);
}

TEST_F(Faults, SaveOntoAFullDriveKeepsTheOwnerDataFile)
{
    const std::string file = "Q:\\quillmrk.dat";
    ASSERT_TRUE(writeOwnerData(file, {"User=Grace Hopper", "Dept=Compilers", "Company=Navy"}));
    const std::string before = fileBytes(file);
    // Ballast up to the last byte.
    HANDLE fill = CreateFileA(ballast, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, fill);
    std::vector<char> chunk(4096, 'b');
    DWORD written = 0;
    while (WriteFile(fill, chunk.data(), (DWORD)chunk.size(), &written, NULL) && written == chunk.size()) {
    }
    while (WriteFile(fill, chunk.data(), 1, &written, NULL) && written == 1) {
    }
    CloseHandle(fill);

    int handle = 0;
    ASSERT_EQ(recordOk, openRecordFile(file.c_str(), 1, &handle));
    ASSERT_EQ(recordOk, setRecordValue(handle, "User", 1, "Ada Lovelace"));
    EXPECT_EQ(recordWriteFailed, saveRecordFile(handle, file.c_str(), 1));
    closeRecordFile(handle);

    EXPECT_EQ(before, fileBytes(file));
    EXPECT_EQ((std::vector<std::string>{"ballast.bin", "quillmrk.dat"}), listTree("Q:"));
    DeleteFileA(file.c_str());
}

// An earlier key's values, of every type, are put back byte for byte when
// the run that rewrote them is taken back; a key the run made goes.
TEST_F(Faults, TakenBackAnEarlierKeyHoldsEveryValueByteForByte)
{
    const char path[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmark";
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
    RegDeleteKeyA(HKEY_CURRENT_USER, path);
    const std::vector<std::string> folderBefore = listTree(dataFolder);
    HKEY key, user;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL));
    const BYTE binary[] = {0, 255, '|', '\r', '\n', 7};
    const unsigned long long big = 0x0102030405060708ull;
    RegSetValueExA(key, "DisplayVersion", 0, REG_SZ, (const BYTE *)"0.9", 4);
    RegSetValueExA(key, "Blob", 0, REG_BINARY, binary, sizeof binary);
    RegSetValueExA(key, "Paths", 0, REG_MULTI_SZ, (const BYTE *)"a\0b|c\0", 7);
    RegSetValueExA(key, "Home", 0, REG_EXPAND_SZ, (const BYTE *)"%SystemRoot%", 13);
    RegSetValueExA(key, "Big", 0, REG_QWORD, (const BYTE *)&big, sizeof big);
    RegSetValueExA(key, "", 0, REG_NONE, NULL, 0);
    const std::string before = productKeyValues();
    keepProductKey();
    RegSetValueExA(key, "DisplayVersion", 0, REG_SZ, (const BYTE *)"2.0", 4);
    RegSetValueExA(key, "Publisher", 0, REG_SZ, (const BYTE *)"Other", 6);
    RegDeleteValueA(key, "Blob");
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_SET_VALUE, NULL, &user, NULL));
    RegCloseKey(user);
    undoInstallation();
    EXPECT_EQ(before, productKeyValues());
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &user));
    EXPECT_EQ(folderBefore, listTree(dataFolder));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
}

}  // namespace
}  // namespace robust
