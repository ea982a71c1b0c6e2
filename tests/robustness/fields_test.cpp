// Text fields at their 255-character limit, and install directories whose
// deepest files reach the 255-character path limit, or would pass it.
#include <cstdio>

#include "tests/robustness/robust_support.h"
#include "tests/support/uninstaller_files.h"

namespace robust {
namespace {

enum { fieldLimit = 255, pathLimit = 255 };

// The release's deepest file, relative to the install directory.
const char deepestFile[] = "\\PS\\FONTS\\TIMESR.PFB";

// A text of length characters that shows where it was cut: a tag, then
// "0123456789" over and over.
static std::string marked(const char *tag, size_t length)
{
    std::string text = tag;
    while (text.size() < length) text += (char)('0' + text.size() % 10);
    return text.substr(0, length);
}

// A directory under deepTarget of exactly length characters, made of 8.3
// names so that its short form is itself.
static std::string deepDir(size_t length)
{
    std::string dir = deepTarget;
    for (int level = 1; length - dir.size() > 13; level++) {
        char name[16];
        snprintf(name, sizeof name, "\\LEVEL%03d", level);
        dir += name;
    }
    // The rest as one name of up to 8 characters, a dot and 3 more.
    size_t rest = length - dir.size() - 1;
    dir += "\\" + (rest > 8 ? std::string(rest - 4, 'D') + ".EXT" : std::string(rest, 'D'));
    return dir;
}

class Fields : public Robust {};

const char creationError[] =
    "There is a problem in creating this directory,\nCheck your read/write priviliges or other settings.";

TEST_F(Fields, TextsAtTheirLimitAndTheDeepestFileAtThePathLimit)
{
    const std::string name = marked("Name", 300), department = marked("Dept", 300),
                      organisation = marked("Org", 300);
    const std::string dir = deepDir(pathLimit - (sizeof deepestFile - 1));
    ASSERT_EQ(235u, dir.size());
    startIn(tinyMedium());
    // Typed past the limit: each field takes its first 255 characters.
    typeInto(dialog, nameField, name);
    typeInto(dialog, departmentField, department);
    typeInto(dialog, organisationField, organisation);
    typeInto(dialog, dirField, marked("C:\\QMDEEP\\", 300));
    EXPECT_EQ(name.substr(0, fieldLimit), controlText(dialog, nameField));
    EXPECT_EQ(department.substr(0, fieldLimit), controlText(dialog, departmentField));
    EXPECT_EQ(organisation.substr(0, fieldLimit), controlText(dialog, organisationField));
    EXPECT_EQ(marked("C:\\QMDEEP\\", fieldLimit), controlText(dialog, dirField));
    // A directory that leaves the deepest file no room is refused before
    // anything is made: at the field's limit, and one character past 235.
    for (const std::string &tooLong : {marked("C:\\QMDEEP\\", fieldLimit), deepDir(dir.size() + 1)}) {
        typeInto(dialog, dirField, tooLong);
        pressButton(dialog, IDOK);
        ASSERT_TRUE(answerMessageBox(setup, {creationError, "Error", MB_OK | MB_ICONHAND, dialog}, IDOK)) << tooLong;
        EXPECT_TRUE(waitForFocus(setup, dialog, dirField));
        EXPECT_FALSE(directoryExists(deepTarget)) << tooLong;
    }
    typeInto(dialog, dirField, dir);
    pressButton(dialog, IDOK);
    expectCompletedEnd();

    // Every file arrived, the deepest one at exactly 255 characters.
    EXPECT_TRUE(installedExactly(dir, true, withUninstaller({"quillmrk.dat"})));
    EXPECT_EQ(pathLimit, (int)(dir + deepestFile).size());
    EXPECT_TRUE(fileExists(dir + deepestFile));
    EXPECT_EQ(dir, winIniValue("BinDirectory"));
    EXPECT_EQ(dir + "\\PREFS", winIniValue("PrefDirectory"));
    // A line of a scrambled file holds at most 253 characters: the values
    // are stored as far as that allows, and the file can be read again.
    EXPECT_EQ((std::vector<std::string>{"User=" + name.substr(0, 248), "Dept=" + department.substr(0, 248),
                                        "Company=" + organisation.substr(0, 245)}),
              ownerDataLines(dir + "\\quillmrk.dat"));

    // The next run prefills the first 80 characters of each.
    stopSetup(&setup);
    startIn(tinyMedium());
    EXPECT_EQ(name.substr(0, 80), controlText(dialog, nameField));
    EXPECT_EQ(department.substr(0, 80), controlText(dialog, departmentField));
    EXPECT_EQ(organisation.substr(0, 80), controlText(dialog, organisationField));
    EXPECT_EQ(dir, controlText(dialog, dirField));
    pressButton(dialog, IDCANCEL);
    expectExitCode(0);
}

}  // namespace
}  // namespace robust
