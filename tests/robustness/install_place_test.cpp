// Where the installation lands: an install directory typed without a drive
// letter, and a SETUP.EXE started from the install directory itself under a
// second name (short name, another drive letter, a path through a link).
// robust_media.sh maps V: and the link selflink onto the folder "Self Medium",
// and the share \\qmnet\qmshare onto the folder "share".
#include <algorithm>

#include "tests/robustness/robust_support.h"
#include "tests/support/uninstaller_files.h"

namespace robust {
namespace {

const char startFolder[] = "C:\\QMCWD";     // the current directory of the relative cases
const char rootedTarget[] = "C:\\QMROOTED"; // where \QMROOTED points from there
const char selfName[] = "Self Medium";
const char sameFolderDrive[] = "V:";
const char networkTarget[] = "\\\\qmnet\\qmshare\\QM";

const char creationError[] =
    "There is a problem in creating this directory,\nCheck your read/write priviliges or other settings.";
const char overwriteQuestion[] =
    "Directory already exists. Do you want to overwrite?\n\nNote: All Quillmark files in this directory will be "
    "overwritten.";

std::string shortForm(const std::string &path)
{
    char result[MAX_PATH] = "";
    DWORD length = GetShortPathNameA(path.c_str(), result, sizeof result);
    return length > 0 && length < sizeof result ? result : "<no short form of " + path + ">";
}

class InstallPlace : public Robust {
protected:
    void SetUp() override
    {
        Robust::SetUp();
        removeOwn();
    }
    void TearDown() override
    {
        Robust::TearDown();
        removeOwn();
    }
    void removeOwn()
    {
        for (const std::string &dir : {std::string(startFolder), std::string(rootedTarget), mediaDir() + "\\" + selfName,
                                       std::string(networkTarget)})
            removeTree(dir);
    }

    // SETUP.EXE of the tiny medium, started with currentDir as its current
    // directory.
    void startFrom(const std::string &exe, const std::string &currentDir)
    {
        ASSERT_TRUE(startSetup(exe, currentDir, &setup));
        main = waitForMainWindow();
        dialog = waitForDialog();
        ASSERT_TRUE(main && dialog);
    }

    void answerNoDriveWarning()
    {
        ASSERT_TRUE(answerMessageBox(setup, {"Drive Letter not specified.", "", MB_OK | MB_ICONEXCLAMATION, main}, IDOK));
    }

    // A complete installation in dir, in its full path everywhere: the
    // files, the user's values in the owner data file, WIN.INI (dir's short
    // form unless registered says otherwise: a share has none).
    void expectInstalledIn(const std::string &dir, std::string registered = "")
    {
        if (registered.empty()) registered = shortForm(dir);
        EXPECT_TRUE(installedExactly(dir, true, withUninstaller({"quillmrk.dat"})));
        std::string user = "<unreadable>";
        EXPECT_TRUE(readOwnerData(dir + "\\quillmrk.dat", "User", &user));
        EXPECT_EQ("Ada Lovelace", user);
        EXPECT_EQ(registered, winIniValue("BinDirectory"));
        EXPECT_EQ(registered + "\\PREFS", winIniValue("PrefDirectory"));
    }
};

TEST_F(InstallPlace, PathWithoutDriveLetterInstallsWhereItPointsWhenTyped)
{
    struct Case {
        const char *typed;
        std::string installedIn;
    };
    const Case cases[] = {
        {"QMREL", std::string(startFolder) + "\\QMREL"},
        {"QMREL\\SUB", std::string(startFolder) + "\\QMREL\\SUB"},
        {"\\QMROOTED", rootedTarget},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        SetUp();
        ASSERT_TRUE(CreateDirectoryA(startFolder, NULL));
        const TreeBytes medium = treeBytes(tinyMedium());
        startFrom(tinyMedium() + "\\SETUP.EXE", startFolder);
        fillDialog(dialog, c.typed, true);
        answerNoDriveWarning();
        expectCompletedEnd();

        expectInstalledIn(c.installedIn);
        // Nothing went anywhere else.
        if (c.installedIn.rfind(startFolder, 0) != 0) {
            EXPECT_EQ(std::vector<std::string>{}, listTree(startFolder));
        }
        EXPECT_TRUE(medium == treeBytes(tinyMedium()));
        TearDown();
    }
}

// A share that does not answer cannot be made or entered: the creation
// error, and the dialog stays. Nothing is made in the current directory, and
// a path typed after that still means the same folder as before.
TEST_F(InstallPlace, ShareThatCannotBeReachedKeepsTheDialogOpen)
{
    ASSERT_TRUE(CreateDirectoryA(startFolder, NULL));
    startFrom(tinyMedium() + "\\SETUP.EXE", startFolder);
    const std::string winIni = winIniBytes();
    fillDialog(dialog, "\\\\qmserver\\share\\QUILLMRK", true);
    answerNoDriveWarning();
    ASSERT_TRUE(answerMessageBox(setup, {creationError, "Error", MB_OK | MB_ICONHAND, dialog}, IDOK));
    EXPECT_TRUE(waitForFocus(setup, dialog, dirField));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(std::vector<std::string>{}, listTree(startFolder));
    EXPECT_EQ(winIni, winIniBytes());

    fillDialog(dialog, "QMREL", true);
    answerNoDriveWarning();
    expectCompletedEnd();
    expectInstalledIn(std::string(startFolder) + "\\QMREL");
}

// The medium's own files are the install directory's: each is passed over
// and keeps its bytes; the files of subdirectories arrive, and the owner
// data file takes the user's values.
TEST_F(InstallPlace, SetupStartedFromTheInstallDirectoryUnderASecondName)
{
    std::string folder;
    struct Case {
        const char *name;
        std::string startedIn;  // the folder under the name SETUP.EXE is started by
        std::string typed;      // the install directory as typed
    };
    const std::string self = mediaDir() + "\\" + selfName;
    ASSERT_TRUE(copyTinyMedium(selfName, &folder));
    const std::string selfShort = shortForm(self);
    ASSERT_NE(self, selfShort);
    const Case cases[] = {
        {"same name", self, self},
        {"short name typed", self, selfShort},
        {"started by its short name", selfShort, self},
        {"another drive letter", std::string(sameFolderDrive) + "\\", self},
        {"another path, through a link", mediaDir() + "\\selflink", self},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        ASSERT_TRUE(copyTinyMedium(selfName, &folder));
        const TreeBytes before = treeBytes(self);
        ASSERT_FALSE(before.empty());
        std::string exe = c.startedIn + (c.startedIn.back() == '\\' ? "" : "\\") + "SETUP.EXE";
        ASSERT_TRUE(fileExists(exe)) << exe;
        startFrom(exe, c.startedIn);
        fillDialog(dialog, c.typed.c_str(), true);
        ASSERT_TRUE(answerMessageBox(setup, {overwriteQuestion, "Warning", MB_YESNO | MB_ICONQUESTION, dialog}, IDYES));
        expectCompletedEnd();

        for (const auto &file : before) {
            if (file.first.back() == '\\' || _stricmp(file.first.c_str(), "quillmrk.dat") == 0) continue;
            EXPECT_TRUE(fileBytes(self + "\\" + file.first) == file.second)
                << file.first << ": " << fileBytes(self + "\\" + file.first).size() << " bytes, were "
                << file.second.size();
        }
        for (const ManifestFile &file : manifestFiles(true)) {
            if (file.path.find('\\') == std::string::npos) continue;
            EXPECT_EQ(fileBytes(productDir() + "\\" + file.product), fileBytes(self + "\\" + file.path)) << file.path;
        }
        std::string user = "<unreadable>";
        EXPECT_TRUE(readOwnerData(self + "\\quillmrk.dat", "User", &user));
        EXPECT_EQ("Ada Lovelace", user);
        EXPECT_EQ(shortForm(c.typed), winIniValue("BinDirectory"));
        TearDown();
    }
}

// A drive typed alone is its root, not the folder the program stands in on
// that drive (here the medium's own).
TEST_F(InstallPlace, DriveTypedAloneIsItsRoot)
{
    const std::string driveRoot = std::string(sameFolderDrive) + "\\";
    std::string folder;
    ASSERT_TRUE(CreateDirectoryA((mediaDir() + "\\" + selfName).c_str(), NULL));
    ASSERT_TRUE(copyTinyMedium(std::string(selfName) + "\\QMMED", &folder));
    std::vector<std::string> medium = {"QMMED\\"};
    for (const std::string &file : listTree(folder)) medium.push_back("QMMED\\" + file);
    const TreeBytes before = treeBytes(folder);
    startFrom(driveRoot + "QMMED\\SETUP.EXE", driveRoot + "QMMED");
    fillDialog(dialog, sameFolderDrive, true);
    ASSERT_TRUE(answerMessageBox(setup, {overwriteQuestion, "Warning", MB_YESNO | MB_ICONQUESTION, dialog}, IDYES));
    expectCompletedEnd();

    medium.push_back("quillmrk.dat");
    EXPECT_TRUE(installedExactly(driveRoot, true, withUninstaller(medium)));
    EXPECT_TRUE(before == treeBytes(folder));
    EXPECT_EQ(driveRoot, winIniValue("BinDirectory"));
}

// An installation on a share, then the next run, which finds it again: the
// dialog shows the share's path and the product lands there once more.
TEST_F(InstallPlace, NetworkInstallationIsFoundAgainByTheNextRun)
{
    const TreeBytes medium = treeBytes(tinyMedium());
    for (int run = 1; run <= 2; run++) {
        SCOPED_TRACE(run);
        startFrom(tinyMedium() + "\\SETUP.EXE", tinyMedium());
        if (run == 1) {
            fillDialog(dialog, networkTarget, true);
        } else {
            EXPECT_EQ(networkTarget, controlText(dialog, dirField));
            pressButton(dialog, IDOK);
        }
        answerNoDriveWarning();
        if (run == 2) {
            ASSERT_TRUE(answerMessageBox(setup, {overwriteQuestion, "Warning", MB_YESNO | MB_ICONQUESTION, dialog}, IDYES));
        }
        expectCompletedEnd();
        stopSetup(&setup);
        expectInstalledIn(networkTarget, networkTarget);
    }
    EXPECT_TRUE(medium == treeBytes(tinyMedium()));
}

// Run in code page 932, where the second byte of many characters is the
// backslash's: "C:\QMソフト表" ends in one. The folder is made and filled as
// typed, with nothing at the root, and the next run, prefilled from WIN.INI,
// finds it again. The owner data file holds the typed bytes.
TEST_F(InstallPlace, InCodePage932AFolderEndingInABackslashByteIsWhereItPoints)
{
    ASSERT_EQ(932u, GetACP());
    const std::string target = "C:\\QM\x83\x5C\x83\x74\x83\x67\x95\x5C";  // C:\QMソフト表
    const std::string name = "\x8E\x52\x93\x63 \x8F\x5C\x97\x5C";             // 山田 十予
    const std::string department = "\x8A\x4A\x94\xAD\x94\x5C";                  // 開発能
    const std::string company = "\x90\x5C\x8D\x5C\x93\x5C\x8A\x94\x8E\xAE";    // 申構貼株式
    removeTree(target);
    // What C:\ holds, by name; the installation adds the target alone.
    auto rootNames = [] {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA("C:\\*", &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
            names.push_back(found.cFileName);
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    };
    std::vector<std::string> rootExpected = rootNames();
    rootExpected.push_back(target.substr(3));
    std::sort(rootExpected.begin(), rootExpected.end());
    for (int run = 1; run <= 2; run++) {
        SCOPED_TRACE(run);
        startFrom(tinyMedium() + "\\SETUP.EXE", tinyMedium());
        if (run == 1) {
            fillUserDialog(dialog, name.c_str(), department.c_str(), company.c_str(), target.c_str(), true);
        } else {
            EXPECT_EQ(target, controlText(dialog, dirField));
            EXPECT_EQ(name, controlText(dialog, nameField));
            EXPECT_EQ(company, controlText(dialog, organisationField));
            pressButton(dialog, IDOK);
            ASSERT_TRUE(answerMessageBox(setup, {overwriteQuestion, "Warning", MB_YESNO | MB_ICONQUESTION, dialog}, IDYES));
        }
        expectCompletedEnd();
        stopSetup(&setup);

        EXPECT_TRUE(installedExactly(target, true, withUninstaller({"quillmrk.dat"})));
        EXPECT_EQ(rootExpected, rootNames());
        for (const char *key : {"User", "Dept", "Company"}) {
            std::string value = "<unreadable>";
            EXPECT_TRUE(readOwnerData(target + "\\quillmrk.dat", key, &value));
            EXPECT_EQ(key[0] == 'U' ? name : key[0] == 'D' ? department : company, value) << key;
        }
        EXPECT_EQ(shortForm(target), winIniValue("BinDirectory"));
    }
    removeTree(target);
}

}  // namespace
}  // namespace robust
