// The user information dialog, driven from outside: prefilled fields, the
// checks of Continue, Cancel, and an existing directory answered No.
#include <fstream>
#include <sstream>

#include "tests/e2e/scenario.h"

namespace e2e {
namespace {

enum { nameField = 203, organisationField = 204, departmentField = 1020, dirField = 1022, samplesBox = 1023 };

const char missingCaption[] = "Information Missing";
const char overwriteText[] =
    "Directory already exists. Do you want to overwrite?\n\nNote: All Quillmark files in this directory will be "
    "overwritten.";

class UserDialog : public Scenario {};

static std::string fileBytes(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

static int countDialogs(const SetupProcess &setup)
{
    struct Counter {
        DWORD processId;
        int count;
        static BOOL CALLBACK add(HWND window, LPARAM data)
        {
            Counter *counter = (Counter *)data;
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == counter->processId && windowText(window) == "Provide Us with Some Information")
                counter->count++;
            return TRUE;
        }
    } counter = {setup.processId, 0};
    EnumWindows(Counter::add, (LPARAM)&counter);
    return counter.count;
}

// No further box turns up within a short while.
static testing::AssertionResult noMessageBox(const SetupProcess &setup)
{
    for (int waited = 0; waited < 1500; waited += 50) {
        HWND box = findMessageBox(setup);
        if (box)
            return testing::AssertionFailure() << "unexpected box \"" << windowText(box) << "\": \""
                                               << controlText(box, 0xFFFF) << "\"";
        Sleep(50);
    }
    return testing::AssertionSuccess();
}

TEST_F(UserDialog, OpensOnceWithTheEarlierInstallationsValuesAndTheBoxTicked)
{
    std::string prefs = std::string(earlierTarget) + "\\PREFS";
    ASSERT_TRUE(CreateDirectoryA(earlierTarget, NULL));
    ASSERT_TRUE(CreateDirectoryA(prefs.c_str(), NULL));
    ASSERT_TRUE(writeTextFile(prefs + "\\userdata.ini",
                              "[User Data]\r\nUserName=Ada Lovelace\r\nDepartment=Analytical Engines\r\n"));
    // Name and department come from userdata.ini; the organisation only
    // from the owner data file.
    ASSERT_TRUE(writeOwnerData(std::string(earlierTarget) + "\\quillmrk.dat",
                               {"User=Someone Else", "Dept=Elsewhere", "Company=Babbage & Co"}));
    // Typed in small letters: the dialog shows the name as stored, the drive as given.
    setWinIniValue("BinDirectory", "c:\\qmearly");
    setWinIniValue("PrefDirectory", "c:\\qmearly\\PREFS");

    startFromMedium();
    HWND main = waitForMainWindow();
    HWND dialog = waitForDialog();
    ASSERT_TRUE(main && dialog);
    EXPECT_EQ("Ada Lovelace", controlText(dialog, nameField));
    EXPECT_EQ("Analytical Engines", controlText(dialog, departmentField));
    EXPECT_EQ("Babbage & Co", controlText(dialog, organisationField));
    EXPECT_EQ("c:\\QMEARLY", controlText(dialog, dirField));
    EXPECT_EQ(BST_CHECKED, checkState(dialog, samplesBox));
    EXPECT_TRUE(waitForFocus(setup, dialog, nameField));

    // Repaints of the main window, plain and from uncovering it, never open
    // the dialog again.
    DWORD_PTR ignored;
    for (int i = 0; i < 3; i++) {
        InvalidateRect(main, NULL, TRUE);
        SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    }
    RECT place = windowRect(dialog);
    SetWindowPos(dialog, NULL, 620, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    SetWindowPos(dialog, NULL, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    EXPECT_EQ(1, countDialogs(setup));
    EXPECT_TRUE(noMessageBox(setup));
}

TEST_F(UserDialog, ContinueAsksForTheNameFirstThenTheDirectoryAndAcceptsBlanksAsName)
{
    ASSERT_TRUE(CreateDirectoryA(existingTarget, NULL));
    startFromMedium();
    HWND main = waitForMainWindow();
    HWND dialog = waitForDialog();
    ASSERT_TRUE(main && dialog);

    static const struct {
        const char *name;
        const char *dir;
        const char *text;
        int focus;
    } refusals[] = {
        {"", "", "You must supply your name.", nameField},
        {"", defaultTarget, "You must supply your name.", nameField},
        {"   ", "", "You must supply program directory.", dirField},
    };
    for (const auto &refusal : refusals) {
        SCOPED_TRACE(std::string("name \"") + refusal.name + "\", directory \"" + refusal.dir + "\"");
        setControlText(dialog, nameField, refusal.name);
        setControlText(dialog, dirField, refusal.dir);
        pressButton(dialog, IDOK);
        EXPECT_TRUE(answerMessageBox(setup, {refusal.text, missingCaption, MB_OK | MB_ICONEXCLAMATION, dialog}, IDOK));
        EXPECT_TRUE(waitForFocus(setup, dialog, refusal.focus));
        EXPECT_TRUE(noMessageBox(setup));
        EXPECT_TRUE(IsWindowVisible(dialog));
    }
    EXPECT_FALSE(directoryExists(defaultTarget)) << "a refused Continue made the directory";

    // Blanks pass as a name: the next step, the directory question, comes.
    setControlText(dialog, nameField, "   ");
    setControlText(dialog, dirField, existingTarget);
    pressButton(dialog, IDOK);
    EXPECT_TRUE(answerMessageBox(setup, {overwriteText, "Warning", MB_YESNO | MB_ICONQUESTION, dialog}, IDNO));
    EXPECT_TRUE(waitForFocus(setup, dialog, dirField));
}

TEST_F(UserDialog, CancelEndsTheProgramWithZeroAndWritesNothing)
{
    std::string mediumData = fileBytes(mediumFile("quillmrk.dat"));
    bool setupIniBefore = fileExists(mediumFile("setup.ini"));
    startFromMedium();
    HWND dialog = waitForDialog();
    ASSERT_TRUE(dialog);
    setControlText(dialog, nameField, "Grace Hopper");
    pressButton(dialog, IDCANCEL);

    DWORD exitCode = 1234;
    ASSERT_TRUE(waitForExit(&setup, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ("", winIniValue("BinDirectory"));
    EXPECT_EQ("", winIniValue("PrefDirectory"));
    EXPECT_FALSE(directoryExists(defaultTarget));
    EXPECT_EQ(setupIniBefore, fileExists(mediumFile("setup.ini")));
    EXPECT_EQ(mediumData, fileBytes(mediumFile("quillmrk.dat")));
}

TEST_F(UserDialog, AnExistingDirectoryAnsweredNoKeepsTheDialogWithTheFocusOnTheDirectory)
{
    ASSERT_TRUE(CreateDirectoryA(existingTarget, NULL));
    startFromMedium();
    HWND main = waitForMainWindow();
    HWND dialog = waitForDialog();
    ASSERT_TRUE(main && dialog);
    setControlText(dialog, nameField, "Grace Hopper");
    setControlText(dialog, departmentField, "Compilers");
    setControlText(dialog, organisationField, "Navy");
    setControlText(dialog, dirField, existingTarget);
    pressButton(dialog, IDOK);
    ASSERT_TRUE(answerMessageBox(setup, {overwriteText, "Warning", MB_YESNO | MB_ICONQUESTION, dialog}, IDNO));
    EXPECT_TRUE(waitForFocus(setup, dialog, dirField));
    EXPECT_TRUE(noMessageBox(setup));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(1, countDialogs(setup));
    EXPECT_EQ(NULL, findChildWindow(main, "CopyProgress")) << "copying started";
    // Nothing was copied into it and nothing registered.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(existingTarget) + "\\*.*").c_str(), &found);
    int entries = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, "..")) entries++;
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(0, entries);
    EXPECT_EQ("", winIniValue("BinDirectory"));
}

}  // namespace
}  // namespace e2e
