// SETUP.EXE started from deep folders, where its own file name is 256
// characters or more (up to the 259 that starting a program allows): it
// reads only from its own folder, and a folder whose files cannot all be
// named within a path is refused with a clear box before anything is touched.
#include <algorithm>

#include "tests/robustness/robust_support.h"
#include "tests/support/uninstaller_files.h"

namespace robust {
namespace {

const char folderTooLongText[] =
    "Setup cannot install from the folder it was started from: the folder's path is too long.\n\n"
    "Copy the installation files to a folder with a shorter path and start Setup from there.";

// Paths past the ANSI calls' limit are made and removed with the wide ones.
static std::wstring wide(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

static void removeWide(const std::wstring &path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeWide(path + L"\\" + name);
            else DeleteFileW((path + L"\\" + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

// Each file of before that is gone or holds other bytes now, with its sizes.
static std::string changesTo(const TreeBytes &before, const TreeBytes &now)
{
    std::string changes;
    for (const auto &file : before) {
        auto found = std::find_if(now.begin(), now.end(), [&](const TreeBytes::value_type &n) {
            return n.first == file.first;
        });
        if (found == now.end()) changes += file.first + " is gone; ";
        else if (found->second != file.second)
            changes += file.first + " went from " + std::to_string(file.second.size()) + " to " +
                       std::to_string(found->second.size()) + " bytes; ";
    }
    return changes;
}

class ProgramFolder : public Robust {
protected:
    void SetUp() override
    {
        Robust::SetUp();
        removeWide(wide(deepRoot()));
    }
    void TearDown() override
    {
        Robust::TearDown();
        removeWide(wide(deepRoot()));
    }

    static std::string deepRoot() { return mediaDir() + "\\deep"; }

    // A copy of the tiny medium in a folder of exactly length characters
    // under deepRoot(), its SETUP.EXE named program.
    testing::AssertionResult deepMedium(size_t length, const std::string &program, std::string *folder)
    {
        std::string path = deepRoot();
        if (path.size() + 2 > length) return testing::AssertionFailure() << path << " is already too long";
        if (!CreateDirectoryW(wide(path).c_str(), NULL)) return testing::AssertionFailure() << "cannot make " << path;
        for (int level = 1; path.size() < length; level++) {
            // Names of up to 60 characters; never a last one of none.
            size_t rest = length - path.size() - 1;
            size_t name = rest <= 60 ? rest : rest == 61 ? 59 : 60;
            path += "\\" + std::string(name, (char)('A' + level % 26));
            if (!CreateDirectoryW(wide(path).c_str(), NULL))
                return testing::AssertionFailure() << "cannot make a folder of " << path.size() << " characters";
        }
        for (const std::string &file : listTree(tinyMedium())) {
            std::string target = path + "\\" + (file == "SETUP.EXE" ? program : file);
            if (!CopyFileW(wide(tinyMedium() + "\\" + file).c_str(), wide(target).c_str(), FALSE))
                return testing::AssertionFailure() << "cannot copy " << file << " into the deep folder";
        }
        *folder = path;
        return testing::AssertionSuccess();
    }

    void startDeep(const std::string &exe, const std::string &currentDir)
    {
        ASSERT_TRUE(startSetup(exe, currentDir, &setup));
        main = waitForMainWindow();
        dialog = waitForDialog();
        ASSERT_TRUE(main && dialog);
    }
};

// The earlier installation a reinstallation from a deep folder must leave
// alone: every file, its owner data, and WIN.INI.
TEST_F(ProgramFolder, TooLongToUseIsRefusedAndAnEarlierInstallationStaysWhole)
{
    ASSERT_TRUE(CreateDirectoryA(earlierTarget, NULL));
    for (const ManifestFile &file : manifestFiles(false)) {
        if (file.path.find('\\') != std::string::npos) continue;
        ASSERT_TRUE(copyFileTo(productDir() + "\\" + file.product, std::string(earlierTarget) + "\\" + file.path));
    }
    ASSERT_TRUE(writeOwnerData(std::string(earlierTarget) + "\\quillmrk.dat", {"User=Grace Hopper", "Dept=Compilers",
                                                                               "Company=Navy"}));
    setWinIniValue("BinDirectory", earlierTarget);
    const TreeBytes earlier = treeBytes(earlierTarget);
    const std::string winIni = winIniBytes();
    ASSERT_GT(earlier.size(), 3u);

    // The program's own name is then 256 and 259 characters long.
    for (size_t length : {246u, 249u}) {
        SCOPED_TRACE("a folder of " + std::to_string(length) + " characters");
        std::string folder;
        ASSERT_TRUE(deepMedium(length, "SETUP.EXE", &folder));
        // The earlier installation's folder as current directory: where a
        // program that lost its own folder would read from.
        ASSERT_NO_FATAL_FAILURE(startDeep(folder + "\\SETUP.EXE", earlierTarget));
        EXPECT_EQ(earlierTarget, controlText(dialog, dirField));
        fillDialog(dialog, earlierTarget, false);

        HWND box = NULL;
        SeenBox seen;
        ASSERT_TRUE(waitForBox(&box, &seen));
        EXPECT_EQ(folderTooLongText, seen.text);
        EXPECT_EQ("Error", seen.caption);
        EXPECT_EQ((UINT)(MB_OK | MB_ICONHAND), boxStyle(box, MB_OK | MB_ICONHAND));
        EXPECT_EQ(dialog, seen.owner);
        // Whatever was asked, the run is let go on as far as it goes.
        press(box, seen.text.find("overwrite") != std::string::npos ? IDYES : IDOK);
        for (int boxes = 0; boxes < 40 && waitForBox(&box, &seen, 5000); boxes++)
            press(box, seen.caption == "Installation Complete" ? IDNO : IDOK);
        expectExitCode(0);

        EXPECT_EQ("", changesTo(earlier, treeBytes(earlierTarget))) << "the earlier installation was changed";
        EXPECT_EQ(winIni, winIniBytes()) << "WIN.INI was written";
        removeWide(wide(deepRoot()));
    }
}

// A long program name takes the path past 255 characters, in a folder whose
// files a path can still name: the files come from that folder.
TEST_F(ProgramFolder, LongProgramNameInAFolderThatFitsInstallsFromThatFolder)
{
    const std::string program = "Quillmark Professional Setup for this one workstation.exe";
    std::string folder;
    ASSERT_TRUE(deepMedium(200, program, &folder));
    ASSERT_EQ(258u, (folder + "\\" + program).size());
    ASSERT_NO_FATAL_FAILURE(startDeep(folder + "\\" + program, "C:\\"));
    fillDialog(dialog, defaultTarget, false);
    expectCompletedEnd();

    EXPECT_TRUE(installedExactly(defaultTarget, false, withUninstaller({"quillmrk.dat"})));
    EXPECT_EQ(defaultTarget, winIniValue("BinDirectory"));
}

}  // namespace
}  // namespace robust
