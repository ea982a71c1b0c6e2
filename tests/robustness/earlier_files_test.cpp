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

}  // namespace
}  // namespace robust
