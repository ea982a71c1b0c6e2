// Damaged, empty, foreign and over-long quillmrk.dat and userdata.ini left
// by an earlier installation: the dialog prefills only what can be read,
// the installation still works, and neither file is ever made worse.
#include "tests/robustness/robust_support.h"
#include "tests/support/uninstaller_files.h"

namespace robust {
namespace {

const char validUserData[] = "[User Data]\r\nUserName=Grace Hopper\r\nDepartment=Compilers\r\n";

static std::string junk()
{
    std::string bytes;
    for (int i = 0; i < 600; i++) bytes += (char)(i * 37 % 256);
    return bytes;
}

struct EarlierFiles {
    const char *name;
    const char *ownerData;  // valid, empty, damaged, foreign, junk, overlong
    const char *userData;   // valid, empty, foreign, junk, overlong
    bool installOverIt;     // the new installation goes into the earlier folder
};

class EarlierInstallation : public Robust, public testing::WithParamInterface<EarlierFiles> {
protected:
    std::string ownerDataBytes(const std::string &kind)
    {
        if (kind == "empty") return "";
        if (kind == "junk") return junk();
        if (kind == "foreign") return "[Quillmark]\r\nUser=Someone Else\r\n";
        // One line longer than a line may be (253).
        if (kind == "overlong") return scrambledOwnerFile({"User=" + std::string(300, 'L')});
        std::string bytes = scrambledOwnerFile({"User=Grace Hopper", "Dept=Compilers", "Company=Navy"});
        // Damaged: the encoded end of the header no longer decodes to NUL.
        if (kind == "damaged") bytes.replace(17, 2, "G7");
        return bytes;
    }

    static std::string userDataBytes(const std::string &kind)
    {
        if (kind == "empty") return "";
        if (kind == "junk") return junk();
        if (kind == "foreign") return "[Other Data]\r\nUserName=Someone Else\r\n";
        if (kind == "overlong")
            return "[User Data]\r\nUserName=" + std::string(1000, 'N') + "\r\nDepartment=" + std::string(1000, 'D') + "\r\n";
        return validUserData;
    }
};

TEST_P(EarlierInstallation, PrefillsWhatCanBeReadAndInstalls)
{
    const EarlierFiles &files = GetParam();
    const std::string earlier = earlierTarget;
    ASSERT_TRUE(CreateDirectoryA(earlier.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((earlier + "\\PREFS").c_str(), NULL));
    ASSERT_TRUE(writeTextFile(earlier + "\\quillmrk.dat", ownerDataBytes(files.ownerData)));
    ASSERT_TRUE(writeTextFile(earlier + "\\PREFS\\userdata.ini", userDataBytes(files.userData)));
    setWinIniValue("BinDirectory", earlierTarget);
    setWinIniValue("PrefDirectory", (earlier + "\\PREFS").c_str());
    const TreeBytes before = treeBytes(earlier);

    startIn(tinyMedium());
    // userdata.ini gives name and department when it can be read; the owner
    // data file fills what is still empty, and alone gives the organisation.
    const std::string owner = files.ownerData, user = files.userData;
    std::string name, department, organisation;
    if (user == "valid") name = "Grace Hopper", department = "Compilers";
    if (user == "overlong") name = std::string(255, 'N'), department = std::string(255, 'D');
    if (owner == "valid") {
        if (name.empty()) name = "Grace Hopper";
        if (department.empty()) department = "Compilers";
        organisation = "Navy";
    }
    EXPECT_EQ(name, controlText(dialog, nameField));
    EXPECT_EQ(department, controlText(dialog, departmentField));
    EXPECT_EQ(organisation, controlText(dialog, organisationField));
    EXPECT_EQ(earlier, controlText(dialog, dirField));

    fillDialog(dialog, files.installOverIt ? earlierTarget : defaultTarget, true);
    if (files.installOverIt) {
        ASSERT_TRUE(answerMessageBox(setup,
                                     {"Directory already exists. Do you want to overwrite?\n\nNote: All Quillmark files "
                                      "in this directory will be overwritten.",
                                      "Warning", MB_YESNO | MB_ICONQUESTION, dialog},
                                     IDYES));
    }
    expectCompletedEnd();

    const std::string target = files.installOverIt ? earlier : defaultTarget;
    EXPECT_TRUE(installedExactly(target, true,
                                 withUninstaller(files.installOverIt
                                                     ? std::vector<std::string>{"quillmrk.dat", "PREFS\\", "PREFS\\userdata.ini"}
                                                     : std::vector<std::string>{"quillmrk.dat"})));
    // The new owner data file holds the new values.
    std::string value;
    EXPECT_TRUE(readOwnerData(target + "\\quillmrk.dat", "Company", &value));
    EXPECT_EQ("Babbage & Co", value);
    EXPECT_EQ(target, winIniValue("BinDirectory"));
    if (files.installOverIt) {
        // userdata.ini belongs to the product: the installer leaves it alone.
        EXPECT_EQ(userDataBytes(user), fileBytes(earlier + "\\PREFS\\userdata.ini"));
    } else {
        EXPECT_EQ(before, treeBytes(earlier));
    }
}

const EarlierFiles earlierFiles[] = {
    {"EmptyOwnerData", "empty", "valid", true},
    {"DamagedOwnerDataEmptyUserData", "damaged", "empty", false},
    {"ForeignOwnerDataJunkUserData", "foreign", "junk", true},
    {"JunkOwnerDataForeignUserData", "junk", "foreign", false},
    {"OverlongOwnerDataAndUserData", "overlong", "overlong", true},
    {"ValidOwnerDataJunkUserData", "valid", "junk", false},
};

INSTANTIATE_TEST_SUITE_P(Files, EarlierInstallation, testing::ValuesIn(earlierFiles),
                         [](const testing::TestParamInfo<EarlierFiles> &info) { return info.param.name; });

// What an installation is to its user and to a detection.
struct Installed {
    TreeBytes tree;
    std::string winIni, key;
    bool operator==(const Installed &other) const
    {
        return tree == other.tree && winIni == other.winIni && key == other.key;
    }
};

const char recoveryLog[] = "C:\\QMRECOVER.LOG";

class StoppedRun : public Robust {
protected:
    Installed installed() { return {treeBytes(defaultTarget), winIniBytes(), productKeyValues()}; }

    // Starts SETUP.EXE /S and kills it once count files whose name holds mark
    // are in the install directory.
    void killAfter(int count, const char *mark)
    {
        SetupProcess run{};
        ASSERT_TRUE(startSetup(tinyMedium() + "\\SETUP.EXE", tinyMedium(), &run, "/S /NAME=Ada"));
        int seen = 0;
        for (int waited = 0; seen < count && waited < windowTimeoutMs; waited++) {
            seen = 0;
            for (const std::string &entry : listTree(defaultTarget))
                seen += entry.back() != '\\' && entry.find(mark) != std::string::npos;
            if (seen < count) Sleep(1);
        }
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(run.process, 0)) << "the run ended before it was killed";
        stopSetup(&run);
    }

    // The next run, which stops before installing: it first finishes what
    // the killed one left, and says so.
    void recoverOnly()
    {
        DeleteFileA(recoveryLog);
        EXPECT_EQ(3u, runToEnd(tinyMedium() + "\\SETUP.EXE", std::string("/S /NAME=Ada /DIR=QMREL /LOG=") + recoveryLog));
        EXPECT_NE(std::string::npos, readFile(recoveryLog).find("An installation was stopped before it completed"));
        DeleteFileA(recoveryLog);
    }
};

// A medium file missing or damaged, a cancel, a kill at two points of an
// upgrade: the earlier installation stays byte for byte (files, owner data,
// WIN.INI, key).
TEST_F(StoppedRun, EveryStopOverAnEarlierInstallationKeepsItByteForByte)
{
    ASSERT_EQ(0u, runToEnd(tinyMedium() + "\\SETUP.EXE", "/S /NAME=Grace"));
    ASSERT_TRUE(writeFile(std::string(defaultTarget) + "\\QUILLMRK.EXE", "an earlier release's program"));
    const Installed earlier = installed();
    std::string missing, damaged;
    ASSERT_TRUE(copyTinyMedium("stop-missing", &missing));
    ASSERT_TRUE(DeleteFileA((missing + "\\README.TXT").c_str()));
    ASSERT_TRUE(copyTinyMedium("stop-damaged", &damaged));
    ASSERT_TRUE(flipBit(damaged + "\\newscr1.bmp", 1000));
    EXPECT_EQ(6u, runToEnd(missing + "\\SETUP.EXE", "/S /NAME=Ada"));
    EXPECT_TRUE(earlier == installed()) << "a file missing from the medium";
    EXPECT_EQ(11u, runToEnd(damaged + "\\SETUP.EXE", "/S /NAME=Ada"));
    EXPECT_TRUE(earlier == installed()) << "a damaged file of the medium";

    startIn(tinyMedium());
    fillDialog(dialog, defaultTarget, true);
    HWND box = NULL;
    SeenBox seen;
    ASSERT_TRUE(waitForBox(&box, &seen));
    ASSERT_EQ("Warning", seen.caption);
    press(box, IDYES);
    HWND progress = waitForProgressWindow(main);
    ASSERT_TRUE(progress);
    PostMessageA(progress, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), (LPARAM)GetDlgItem(progress, 2));
    ASSERT_TRUE(waitForBox(&box, &seen));
    ASSERT_EQ("Terminate Setup?", seen.caption);
    press(box, IDYES);
    expectCancelledEnd();
    EXPECT_TRUE(earlier == installed()) << "cancelled";

    // Both points well before the medium's last file: a kill
    // timed after it could come once the run has ended.
    for (int count : {2, 7}) {
        killAfter(count, "qmn");
        recoverOnly();
        EXPECT_TRUE(earlier == installed()) << "killed after " << count << " new copies";
    }
}

// A first installation killed leaves nothing once the next run has looked;
// installed again, its removal leaves nothing either.
TEST_F(StoppedRun, AFirstInstallationKilledLeavesNothingAndIsRemovedWhole)
{
    killAfter(5, "");
    recoverOnly();
    EXPECT_FALSE(exists(defaultTarget));
    EXPECT_EQ("", winIniValue("BinDirectory"));
    EXPECT_EQ(0u, runToEnd(tinyMedium() + "\\SETUP.EXE", "/S /NAME=Ada"));
    EXPECT_TRUE(installedExactly(defaultTarget, true, withUninstaller({"quillmrk.dat"})));
    EXPECT_EQ(0u, runToEnd(std::string(dataFolder) + "\\" + uninstallerName, "/UNINSTALL /S"));
    EXPECT_FALSE(exists(defaultTarget));
    EXPECT_EQ("<none>", productKeyValues());
}

// A first installation stopped after its uninstaller is written (a folder
// in the record's place), by Abort at that box or by a kill: the
// uninstaller goes, and the data folder is as it was.
TEST_F(StoppedRun, AFirstInstallationStoppedAfterItsUninstallerLeavesNone)
{
    const std::string record = std::string(dataFolder) + "\\" + recordName;
    ASSERT_TRUE(CreateDirectoryA(dataFolder, NULL) && CreateDirectoryA(record.c_str(), NULL));
    for (bool kill : {false, true}) {
        startIn(tinyMedium());
        fillDialog(dialog, defaultTarget, true);
        HWND box = NULL;
        SeenBox seen;
        ASSERT_TRUE(waitForBox(&box, &seen));
        ASSERT_EQ("Error in creating : " + record, seen.text);
        EXPECT_TRUE(fileExists(std::string(dataFolder) + "\\" + uninstallerName));
        if (kill) {
            stopSetup(&setup);
            recoverOnly();
        } else {
            press(box, IDABORT);
            expectCancelledEnd();
        }
        EXPECT_FALSE(exists(defaultTarget)) << "killed " << kill;
        EXPECT_EQ(std::vector<std::string>{std::string(recordName) + "\\"}, listTree(dataFolder)) << "killed " << kill;
    }
}

}  // namespace
}  // namespace robust
