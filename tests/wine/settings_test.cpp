// What an installation remembers, on real files of the Wine prefix: WIN.INI,
// setup.ini on the floppy (B:), userdata.ini and the scrambled quillmrk.dat.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/install_state.h"
#include "install/paths.h"
#include "install/settings.h"
#include "ownerdata/record_file.h"
#include "tests/wine/backend_support.h"
#include "transaction/journal.h"

namespace {

class SettingsTest : public BackendTest {
protected:
    void removeScratch() override
    {
        removeTree("C:\\QUILLMRK");
        removeTree("C:\\Quillmark Data");
        removeTree("C:\\QMSOURCE");
        removeTree(root(floppyDrive, "setup.ini"));
        removeTree(root(floppyDrive, "quillmrk.dat"));
        removeTree(root(smallDrive, "quillmrk.dat"));
        removeTree(root(smallDrive, "filler.bin"));
    }
};

std::string profile(const char *key)
{
    char value[256];
    GetProfileStringA("Quillmark", key, "<absent>", value, sizeof value);
    return value;
}

std::string definedValue(const std::string &file, const char *key)
{
    char value[1024];
    GetPrivateProfileStringA("Defined Values", key, "<absent>", value, sizeof value, file.c_str());
    return value;
}

void makeEarlierInstallation(const char *userData, const std::vector<std::string> *ownerLines)
{
    CreateDirectoryA("C:\\QUILLMRK", NULL);
    CreateDirectoryA("C:\\QUILLMRK\\PREFS", NULL);
    if (userData) {
        EXPECT_TRUE(writeFile("C:\\QUILLMRK\\PREFS\\userdata.ini", userData));
    }
    if (ownerLines) {
        EXPECT_TRUE(writeFile("C:\\QUILLMRK\\quillmrk.dat", scrambledOwnerFile(*ownerLines)));
    }
}

int saveUserData()
{
    char path[textSize];
    return ::saveUserData(path, sizeof path);
}

const std::vector<std::string> ownerLines = {"User=Old Name", "Dept=Old Dept", "Company=Acme Corp"};

TEST_F(SettingsTest, FirstInstallationReadsNothing)
{
    makeEarlierInstallation("[User Data]\r\nUserName=Jane Roe\r\nDepartment=Research\r\n", &ownerLines);
    const char *const winIniStates[] = {nullptr, ""};
    for (const char *binDirectory : winIniStates) {
        SCOPED_TRACE(binDirectory ? "empty BinDirectory" : "no section");
        resetInstallState();
        if (binDirectory) WriteProfileStringA("Quillmark", "BinDirectory", binDirectory);
        WriteProfileStringA("Quillmark", "PrefDirectory", binDirectory ? "C:\\QUILLMRK\\PREFS" : NULL);

        loadUserDefaults();

        EXPECT_STREQ(installState.installDir, "C:\\QUILLMRK");
        EXPECT_STREQ(installState.userName, "");
        EXPECT_STREQ(installState.department, "");
        EXPECT_STREQ(installState.organisation, "");
    }
}

struct ReinstallCase {
    const char *name;
    const char *prefDirectory;              // null: no entry
    const char *userData;                   // userdata.ini; null: none
    std::vector<std::string> ownerLines;    // quillmrk.dat; empty: none
    std::string userName, department, organisation;
};

TEST_F(SettingsTest, ReinstallationPrefillsFromWhatWasLeft)
{
    const std::string name100(100, 'N');
    const std::string fullIni = "[User Data]\r\nUserName=Jane Roe\r\nDepartment=Research\r\n";
    const ReinstallCase cases[] = {
        {"userdata.ini wins, organisation from the owner file", "C:\\QUILLMRK\\PREFS", fullIni.c_str(), ownerLines,
         "Jane Roe", "Research", "Acme Corp"},
        {"no Department in userdata.ini", "C:\\QUILLMRK\\PREFS", "[User Data]\r\nUserName=Jane Roe\r\n", ownerLines,
         "Jane Roe", "Old Dept", "Acme Corp"},
        {"no userdata.ini", "C:\\QUILLMRK\\PREFS", nullptr, ownerLines, "Old Name", "Old Dept", "Acme Corp"},
        {"no PrefDirectory", nullptr, fullIni.c_str(), ownerLines, "Old Name", "Old Dept", "Acme Corp"},
        {"no owner file", "C:\\QUILLMRK\\PREFS", fullIni.c_str(), {}, "Jane Roe", "Research", ""},
        {"owner file without Company", "C:\\QUILLMRK\\PREFS", nullptr, {"User=Old Name", "Dept=Old Dept"},
         "Old Name", "Old Dept", ""},
        {"100-character name comes back as 80", nullptr, nullptr, {"User=" + name100, "Dept=", "Company=Acme Corp"},
         std::string(80, 'N'), "", "Acme Corp"},
    };
    for (const ReinstallCase &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        makeEarlierInstallation(c.userData, c.ownerLines.empty() ? nullptr : &c.ownerLines);
        WriteProfileStringA("Quillmark", "BinDirectory", "C:\\QUILLMRK");
        if (c.prefDirectory) WriteProfileStringA("Quillmark", "PrefDirectory", c.prefDirectory);

        loadUserDefaults();

        EXPECT_STREQ(installState.installDir, "C:\\QUILLMRK");
        EXPECT_EQ(installState.userName, c.userName);
        EXPECT_EQ(installState.department, c.department);
        EXPECT_EQ(installState.organisation, c.organisation);
        TearDown();
    }
}

TEST_F(SettingsTest, DamagedOwnerFileLeavesTheFieldsAsTheyWere)
{
    makeEarlierInstallation("[User Data]\r\nUserName=Jane Roe\r\n", nullptr);
    EXPECT_TRUE(writeFile("C:\\QUILLMRK\\quillmrk.dat", "Type=Tessera Data\nUser=Plain Text\n"));
    WriteProfileStringA("Quillmark", "BinDirectory", "C:\\QUILLMRK");
    WriteProfileStringA("Quillmark", "PrefDirectory", "C:\\QUILLMRK\\PREFS");

    loadUserDefaults();

    EXPECT_STREQ(installState.userName, "Jane Roe");
    EXPECT_STREQ(installState.department, "");
    EXPECT_STREQ(installState.organisation, "");
}

TEST_F(SettingsTest, DefinedValuesGoToSetupIniWithTheLock)
{
    const std::string setupIni = root(floppyDrive, "setup.ini");
    setProgramFileName(root(floppyDrive, "SETUP.EXE").c_str());
    installState.directorySource = 0;
    preparePaths();
    ASSERT_EQ(installState.setupIniPath, setupIni);
    copyText(installState.userName, textSize, "John Doe");
    copyText(installState.department, textSize, "Sales");
    copyText(installState.organisation, textSize, "Example Ltd");

    writeDefinedValues();

    EXPECT_EQ(definedValue(setupIni, "UserName"), "John Doe, Lock=Yes");
    EXPECT_EQ(definedValue(setupIni, "UserDept"), "Sales, Lock=Yes");
    EXPECT_EQ(definedValue(setupIni, "PrefDir"), "B:\\prefs, Lock=Yes");
    EXPECT_EQ(readFile(setupIni).find("Example Ltd"), std::string::npos);

    // An empty department and a name of 255 characters, written whole.
    const std::string longName(255, 'J');
    copyText(installState.userName, textSize, longName.c_str());
    copyText(installState.department, textSize, "");
    writeDefinedValues();
    EXPECT_EQ(definedValue(setupIni, "UserName"), longName + ", Lock=Yes");
    EXPECT_EQ(definedValue(setupIni, "UserDept"), ", Lock=Yes");
}

TEST_F(SettingsTest, UserDataReplacesTheThreeValuesOfTheOwnerFile)
{
    CreateDirectoryA("C:\\QUILLMRK", NULL);
    EXPECT_TRUE(writeFile("C:\\QUILLMRK\\quillmrk.dat", scrambledOwnerFile({"User=", "Serial=QM-1234", "Dept=", "Company="})));
    copyText(installState.notedInstallDir, textSize, "C:\\QUILLMRK");
    copyText(installState.installDir, textSize, "C:\\ELSEWHERE");
    copyText(installState.userName, textSize, "John Doe");
    copyText(installState.department, textSize, "Sales");
    copyText(installState.organisation, textSize, "Example Ltd");

    saveUserData();

    const std::vector<std::string> expected = {"User=John Doe", "Serial=QM-1234", "Dept=Sales", "Company=Example Ltd"};
    EXPECT_EQ(ownerFileLines(readFile("C:\\QUILLMRK\\quillmrk.dat")), expected);
    EXPECT_EQ(readFile("C:\\QUILLMRK\\quillmrk.dat"), scrambledOwnerFile(expected));
    EXPECT_FALSE(exists("C:\\ELSEWHERE"));
}

TEST_F(SettingsTest, OwnerFileWithoutDeptStaysExactlyAsItWas)
{
    CreateDirectoryA("C:\\QUILLMRK", NULL);
    const std::string before = scrambledOwnerFile({"User=Old Name", "Company=Acme Corp"});
    EXPECT_TRUE(writeFile("C:\\QUILLMRK\\quillmrk.dat", before));
    copyText(installState.notedInstallDir, textSize, "C:\\QUILLMRK");
    copyText(installState.userName, textSize, "John Doe");
    copyText(installState.organisation, textSize, "Example Ltd");

    saveUserData();

    EXPECT_EQ(readFile("C:\\QUILLMRK\\quillmrk.dat"), before);

    // No owner file: none is made.
    removeTree("C:\\QUILLMRK\\quillmrk.dat");
    saveUserData();
    EXPECT_FALSE(exists("C:\\QUILLMRK\\quillmrk.dat"));
}

// No room for the new file: the save fails, names the file and leaves it as
// it was; with room again it goes through.
TEST_F(SettingsTest, SaveThatCannotWriteItsNewFileFailsAndKeepsTheOldOne)
{
    const std::string file = root(smallDrive, "quillmrk.dat");
    const std::string before = scrambledOwnerFile({"User=", "Dept=", "Company="});
    ASSERT_TRUE(writeFile(file, before));
    writeFile(root(smallDrive, "filler.bin"), std::string(64 * 1024, 'x'));  // as much as fits
    copyText(installState.notedInstallDir, textSize, root(smallDrive).substr(0, 2).c_str());
    copyText(installState.userName, textSize, "John Doe");
    char path[textSize] = "";

    EXPECT_EQ(-1, ::saveUserData(path, sizeof path));
    EXPECT_EQ(file, path);
    EXPECT_EQ(before, readFile(file));
    EXPECT_EQ((std::vector<std::string>{"filler.bin", "quillmrk.dat"}), listTree(root(smallDrive)));

    removeTree(root(smallDrive, "filler.bin"));
    EXPECT_EQ(0, ::saveUserData(path, sizeof path));
    EXPECT_EQ((std::vector<std::string>{"User=John Doe", "Dept=", "Company="}), ownerFileLines(readFile(file)));
}

// A folder where the early copy puts the owner data file, then no file where
// the medium's belongs: both fail; Retry puts the medium's file back and saves.
TEST_F(SettingsTest, OwnerFileUnusableOrGoneFailsUntilRetryPutsItBack)
{
    const char file[] = "C:\\QUILLMRK\\quillmrk.dat";
    CreateDirectoryA("C:\\QUILLMRK", NULL);
    CreateDirectoryA(file, NULL);
    CreateDirectoryA("C:\\QMSOURCE", NULL);
    EXPECT_TRUE(writeFile("C:\\QMSOURCE\\quillmrk.dat", scrambledOwnerFile({"User=", "Dept=", "Company="})));
    setProgramFileName("C:\\QMSOURCE\\SETUP.EXE");
    preparePaths();  // its early copy, which the folder refuses
    copyText(installState.userName, textSize, "John Doe");
    char path[textSize] = "";

    EXPECT_EQ(-1, ::saveUserData(path, sizeof path));
    EXPECT_STREQ(file, path);
    RemoveDirectoryA(file);
    EXPECT_EQ(-1, ::saveUserData(path, sizeof path));
    restoreOwnerData();
    EXPECT_EQ(0, ::saveUserData(path, sizeof path));
    EXPECT_EQ((std::vector<std::string>{"User=John Doe", "Dept=", "Company="}), ownerFileLines(readFile(file)));
}

// Memory that runs out anywhere in the save fails it and leaves the file as
// it was; the first save that gets through stores the values.
TEST_F(SettingsTest, SaveThatRunsOutOfMemoryFailsAndKeepsTheFile)
{
    const char file[] = "C:\\QUILLMRK\\quillmrk.dat";
    const std::string before = scrambledOwnerFile({"User=", "Dept=", "Company="});
    CreateDirectoryA("C:\\QUILLMRK", NULL);
    EXPECT_TRUE(writeFile(file, before));
    copyText(installState.notedInstallDir, textSize, "C:\\QUILLMRK");
    copyText(installState.userName, textSize, "John Doe");
    int result = -1;
    for (int failAt = 1; result != 0 && failAt < 100; failAt++) {
        failRecordAllocation(failAt);
        result = saveUserData();
        failRecordAllocation(0);
        EXPECT_TRUE(result == 0 || readFile(file) == before) << failAt;
    }
    EXPECT_EQ((std::vector<std::string>{"User=John Doe", "Dept=", "Company="}), ownerFileLines(readFile(file)));
}

// What the save may expect comes from the medium. Its file held by another
// program is not "no file": the save fails until Retry can copy it, over an
// earlier installation's file too. A medium without the file lets Retry
// succeed once the folder in its place is gone. From a disk set Retry reads
// no disk: the one in the drive is not the one the file came on.
TEST_F(SettingsTest, RetryOfTheSaveFollowsWhatTheMediumHas)
{
    struct Case {
        const char *name;
        bool diskSet, mediumFile, held, earlierFile, folderInPlace;
    };
    const Case cases[] = {
        {"medium's file held", false, true, true, false, false},
        {"medium's file held, an earlier file in place", false, true, true, true, false},
        {"no file on the medium, a folder in its place", false, false, false, false, true},
        {"disk set, a folder in its place", true, true, false, false, true},
    };
    const char file[] = "C:\\QUILLMRK\\quillmrk.dat";
    const std::vector<std::string> mediumLines = {"User=", "Serial=QM-1", "Dept=", "Company="};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        const std::string medium = c.diskSet ? root(floppyDrive) : "C:\\QMSOURCE\\";
        for (const char *dir : {"C:\\QUILLMRK", "C:\\QMSOURCE"}) CreateDirectoryA(dir, NULL);
        EXPECT_TRUE(!c.mediumFile || writeFile(medium + "quillmrk.dat", scrambledOwnerFile(mediumLines)));
        EXPECT_TRUE(!c.earlierFile || writeFile(file, scrambledOwnerFile(ownerLines)));
        if (c.folderInPlace) CreateDirectoryA(file, NULL);
        HANDLE holder =
            c.held ? CreateFileA((medium + "quillmrk.dat").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL) : NULL;
        installState.directorySource = !c.diskSet;
        setProgramFileName((medium + "SETUP.EXE").c_str());
        preparePaths();
        copyText(installState.userName, textSize, "John Doe");
        // The save and its Retry come after the final step.
        EXPECT_EQ(0, placeStagedFiles());

        EXPECT_EQ(-1, saveUserData());
        if (holder) CloseHandle(holder);
        RemoveDirectoryA(file);
        restoreOwnerData();
        EXPECT_EQ(0, saveUserData());
        const std::vector<std::string> stored = {"User=John Doe", "Serial=QM-1", "Dept=", "Company="};
        EXPECT_EQ(c.mediumFile && !c.diskSet ? stored : std::vector<std::string>{"<cannot open>"}, ownerDataLines(file));
        TearDown();
    }
}

struct RegisterCase {
    const char *installDir;
    bool make;
    std::string binDirectory;   // "" = the short form the platform reports
};

TEST_F(SettingsTest, InstallDirectoryIsRegisteredInShortForm)
{
    const RegisterCase cases[] = {
        {"C:\\QUILLMRK", true, "C:\\QUILLMRK"},
        {"C:\\Quillmark Data", true, ""},
        // No short form to be had: the long form as it stands.
        {"C:\\Not Made Yet", false, "C:\\Not Made Yet"},
    };
    for (const RegisterCase &c : cases) {
        SCOPED_TRACE(c.installDir);
        SetUp();
        if (c.make) CreateDirectoryA(c.installDir, NULL);
        std::string expected = c.binDirectory.empty() ? shortPath(c.installDir) : c.binDirectory;
        if (c.binDirectory.empty()) {
            EXPECT_EQ(expected.find(' '), std::string::npos) << expected;
        }
        copyText(installState.notedInstallDir, textSize, c.installDir);
        copyText(installState.installDir, textSize, "C:\\ELSEWHERE");

        char path[textSize];
        EXPECT_EQ(0, ::registerInstallDirs(path, sizeof path));

        EXPECT_EQ(profile("BinDirectory"), expected);
        EXPECT_EQ(profile("PrefDirectory"), expected + "\\PREFS");
        EXPECT_EQ(installState.configProgramPath, expected + "\\qmsetup.exe");
        char winIni[MAX_PATH];
        GetWindowsDirectoryA(winIni, sizeof winIni);
        std::string text = readFile(std::string(winIni) + "\\win.ini");
        EXPECT_NE(text.find("[Quillmark]"), std::string::npos) << text;
        EXPECT_NE(text.find("BinDirectory=" + expected), std::string::npos) << text;
        TearDown();
    }
}

// What one installation registers, the next one reads back, and the dialog
// shows in the long form.
TEST_F(SettingsTest, NextInstallationFindsWhatThisOneLeft)
{
    CreateDirectoryA("C:\\Quillmark Data", NULL);
    CreateDirectoryA("C:\\Quillmark Data\\PREFS", NULL);
    EXPECT_TRUE(writeFile("C:\\Quillmark Data\\PREFS\\userdata.ini", "[User Data]\r\nUserName=Jane Roe\r\n"));
    EXPECT_TRUE(writeFile("C:\\Quillmark Data\\quillmrk.dat", scrambledOwnerFile({"User=", "Dept=", "Company="})));
    copyText(installState.notedInstallDir, textSize, "C:\\Quillmark Data");
    copyText(installState.userName, textSize, "John Doe");
    copyText(installState.department, textSize, "Sales");
    copyText(installState.organisation, textSize, "Example Ltd");
    saveUserData();
    char path[textSize];
    registerInstallDirs(path, sizeof path);

    resetInstallState();
    loadUserDefaults();
    char shown[textSize];
    canonicalizeDir(installState.installDir, shown, sizeof shown);

    EXPECT_EQ(installState.installDir, shortPath("C:\\Quillmark Data"));
    EXPECT_STREQ(shown, "C:\\Quillmark Data");
    EXPECT_STREQ(installState.userName, "Jane Roe");
    EXPECT_STREQ(installState.department, "Sales");
    EXPECT_STREQ(installState.organisation, "Example Ltd");
}

} // namespace
