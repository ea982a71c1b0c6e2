// Too little room on the install drive: S:, a small tmpfs, with ballast
// written first so that exactly as much room is left as each scenario needs.
#include <algorithm>

#include "tests/e2e/install_support.h"

namespace e2e {
namespace {

const char spaceText[] =
    "You may not have enough disk space to install.\nThe approximate disk space required is:33550 KB.\n\n"
    "Do you want to continue installation?\n\nNote: If you are overwriting previous version of\n"
    "the program, you may not need any more disk space.";
const char ballast[] = "S:\\ballast.bin";

class SmallDrive : public Installation {
protected:
    void TearDown() override
    {
        Installation::TearDown();
        DeleteFileA(ballast);
    }

    // Fills S: until room bytes are left.
    void leaveRoom(unsigned long long room)
    {
        DeleteFileA(ballast);
        ULARGE_INTEGER available, total, free;
        ASSERT_TRUE(GetDiskFreeSpaceExA("S:\\", &available, &total, &free));
        ASSERT_GT(available.QuadPart, room) << "S: is smaller than the fixture makes it";
        unsigned long long fill = available.QuadPart - room;
        HANDLE file = CreateFileA(ballast, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        std::vector<char> chunk(1 << 20, 'b');
        while (fill > 0) {
            DWORD part = (DWORD)std::min<unsigned long long>(fill, chunk.size()), written = 0;
            if (!WriteFile(file, chunk.data(), part, &written, NULL) || written == 0) break;
            fill -= written;
        }
        CloseHandle(file);
        ASSERT_TRUE(GetDiskFreeSpaceExA("S:\\", &available, &total, &free));
        ASSERT_LE(available.QuadPart, room + 4096);
    }

    void startAndContinue(HWND *main, bool samples)
    {
        startFromMedium();
        *main = waitForMainWindow();
        HWND dialog = waitForDialog();
        ASSERT_TRUE(*main && dialog);
        fillDialog(dialog, smallTarget, samples);
    }
};

// Room a file takes on the drive: whole 4 KB blocks.
static unsigned long long blocks(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    unsigned long long size = ((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    return (size + 4095) / 4096 * 4096;
}

TEST_F(SmallDrive, NoEndsBeforeAnyWindowOrFileIsMade)
{
    leaveRoom(30000000);
    HWND main = NULL;
    startAndContinue(&main, true);
    ASSERT_TRUE(answerMessageBox(setup, {spaceText, "Not enough disk space", MB_YESNO | MB_ICONQUESTION, main}, IDNO));
    EXPECT_TRUE(answerMessageBox(setup, {cancelledText, "Installation Cancelled", MB_OK | MB_ICONASTERISK, main}, IDOK));
    EXPECT_EQ(NULL, FindWindowExA(main, NULL, "CopyProgress", NULL));
    expectExitCode(0);
    // Not even the owner data file that the path preparation put there first.
    EXPECT_EQ(std::vector<std::string>{}, listTree(smallTarget));
    EXPECT_EQ("", winIniValue("BinDirectory"));
}

TEST_F(SmallDrive, YesGoesOnAndEveryFileThatNoLongerFitsIsReported)
{
    // Room for all main files but the last one and a half: the drive fills
    // up at the end of the copy. (Whole blocks of 4 KB; the first one holds
    // the owner data file.)
    std::vector<ManifestFile> files = manifestFiles(false);
    ASSERT_GE(files.size(), 3u);
    unsigned long long room = 4096;
    for (const ManifestFile &file : files) room += blocks(productDir() + "\\" + file.product);
    room -= blocks(productDir() + "\\" + files.back().product);
    room -= blocks(productDir() + "\\" + files[files.size() - 2].product) / 2;
    ASSERT_LT(room, 33550000u);
    leaveRoom(room);

    HWND main = NULL;
    startAndContinue(&main, false);
    ASSERT_TRUE(answerMessageBox(setup, {spaceText, "Not enough disk space", MB_YESNO | MB_ICONQUESTION, main}, IDYES));
    // The transfer's own box for each file that does not fit: the source as
    // text, the destination as caption, OK and no icon. Then the owner data
    // file, which finds no room either, and the completion (the uninstaller lies on C:).
    std::vector<std::pair<std::string, std::string>> failed;  // text and caption
    const char *const unwritten[] = {"quillmrk.dat"};
    int errors = 0;
    for (int boxes = 0; boxes < 20; boxes++) {
        HWND box = waitForMessageBox(setup);
        ASSERT_TRUE(box) << "no completion question";
        if (windowText(box) == "Installation Complete") break;
        if (windowText(box) == "Error") {
            ASSERT_LT(errors, 1) << controlText(box, 0xFFFF);
            EXPECT_EQ("Error in creating : " + std::string(smallTarget) + "\\" + unwritten[errors++],
                      controlText(box, 0xFFFF));
            EXPECT_EQ((UINT)MB_ABORTRETRYIGNORE, messageBoxStyle(box));
            failed.push_back({"not written", "Error"});
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDIGNORE, BN_CLICKED), (LPARAM)GetDlgItem(box, IDIGNORE));
            ASSERT_TRUE(waitForWindowGone(box));
            continue;
        }
        failed.push_back({controlText(box, 0xFFFF), windowText(box)});
        EXPECT_EQ((UINT)MB_OK, messageBoxStyle(box));
        EXPECT_EQ(main, GetWindow(box, GW_OWNER));
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(box, IDOK));
        ASSERT_TRUE(waitForWindowGone(box));
    }
    ASSERT_EQ(1, errors) << "the owner data file's save was not reported";
    failed.pop_back();
    answerCompletion(main, IDNO);
    expectExitCode(0);

    // Only the last files were reported, each under its destination; every
    // other file is whole.
    ASSERT_GE(failed.size(), 1u);
    ASSERT_LE(failed.size(), 3u);
    for (size_t i = 0; i < failed.size(); i++) {
        const ManifestFile &file = files[files.size() - failed.size() + i];
        EXPECT_EQ(mediumFile(file.product.c_str()), failed[i].first);
        EXPECT_EQ(std::string(smallTarget) + "\\" + file.path, failed[i].second);
    }
    for (size_t i = 0; i + failed.size() < files.size(); i++)
        EXPECT_EQ(fileBytes(productDir() + "\\" + files[i].product), fileBytes(std::string(smallTarget) + "\\" + files[i].path))
            << files[i].path;
}

}  // namespace
}  // namespace e2e
