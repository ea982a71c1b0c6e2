// The user information dialog, driven from outside: prefilled fields, the
// checks of Continue, Cancel, and an existing directory answered No.
#include "tests/e2e/scenario.h"

namespace e2e {
namespace {


const char missingCaption[] = "Information Missing";
const char overwriteText[] =
    "Directory already exists. Do you want to overwrite?\n\nNote: All Quillmark files in this directory will be "
    "overwritten.";

class UserDialog : public Scenario {};

static int countDialogs(const SetupProcess &setup)
{
    return countWindows(setup, "Provide Us with Some Information");
}

// The template as the user meets it: controls in tab order with their
// kinds, texts and places (dialog units), the caption and the frame.
TEST_F(UserDialog, ShowsTheTemplateControlsInTabOrderAtTheirPlaces)
{
    startFromMedium();
    HWND main = waitForMainWindow();
    HWND dialog = waitForDialog();
    ASSERT_TRUE(main && dialog);

    enum { text, button, check, group, edit };
    static const struct {
        int id;  // -1: none
        int kind;
        const char *text;
        int x, y, width, height;
    } controls[] = {
        {-1, text, "Name :", 11, 29, 25, 9},
        {-1, text, "Department :", 11, 48, 42, 8},
        {-1, text, "Organization:", 11, 67, 46, 8},
        {-1, text, "Enter the following information:", 10, 13, 106, 8},
        {IDCANCEL, button, "Cancel", 122, 176, 36, 18},
        {IDOK, button, "Continue", 52, 176, 36, 18},
        {-1, text, "Specify the directory where the software will be installed.", 10, 114, 190, 8},
        {-1, text, "Directory :", 11, 133, 35, 8},
        {samplesBox, check, "   Install Sample Files", 11, 147, 93, 10},
        {-1, group, "", 6, 5, 198, 97},
        {-1, group, "", 5, 106, 199, 58},
        {nameField, edit, nullptr, 63, 28, 132, 13},
        {departmentField, edit, nullptr, 63, 46, 132, 13},
        {organisationField, edit, nullptr, 63, 65, 132, 13},
        {dirField, edit, nullptr, 53, 131, 142, 13},
    };
    EXPECT_EQ("Provide Us with Some Information", windowText(dialog));
    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_EQ((LONG)(WS_POPUP | WS_CAPTION), style & (WS_POPUP | WS_CAPTION | WS_CHILD)) << std::hex << style;
    EXPECT_EQ(0, style & WS_SYSMENU) << "the dialog has a system menu";

    // Dialog units in pixels, from the client size of 211 x 210 units.
    RECT client;
    GetClientRect(dialog, &client);
    double unitX = client.right / 211.0, unitY = client.bottom / 210.0;
    // Placed, as dialogs are, by its client area from the owner's.
    RECT inside = clientRectOnScreen(dialog), ownerClient = clientRectOnScreen(main);
    EXPECT_NEAR(53 * unitX, inside.left - ownerClient.left, 2.0) << "dialog x";
    EXPECT_NEAR(15 * unitY, inside.top - ownerClient.top, 2.0) << "dialog y";

    HWND child = GetWindow(dialog, GW_CHILD);
    for (const auto &expected : controls) {
        ASSERT_TRUE(child) << "fewer controls than the template has";
        SCOPED_TRACE(std::string("control \"") + (expected.text ? expected.text : "edit") + "\"");
        EXPECT_EQ(expected.id, (int)(short)GetDlgCtrlID(child));
        LONG controlStyle = GetWindowLongA(child, GWL_STYLE);
        int type = controlStyle & 0x0F;
        switch (expected.kind) {
        case text:
            EXPECT_EQ("Static", windowClass(child));
            break;
        case button:  // plain push buttons: neither is the default one
            EXPECT_EQ("Button", windowClass(child));
            EXPECT_EQ(BS_PUSHBUTTON, type);
            EXPECT_TRUE(controlStyle & WS_TABSTOP);
            break;
        case check:
            EXPECT_EQ(BS_AUTOCHECKBOX, type);
            EXPECT_TRUE(controlStyle & WS_TABSTOP);
            break;
        case group:
            EXPECT_EQ(BS_GROUPBOX, type);
            break;
        case edit:
            EXPECT_EQ("Edit", windowClass(child));
            EXPECT_TRUE((controlStyle & WS_TABSTOP) && (controlStyle & ES_AUTOHSCROLL)) << std::hex << controlStyle;
            // The edit control turns its border into a sunken client edge.
            EXPECT_TRUE((controlStyle & WS_BORDER) || (GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
            break;
        }
        if (expected.text) {
            EXPECT_EQ(expected.text, windowText(child));
        }
        RECT place = windowRect(child);
        MapWindowPoints(NULL, dialog, (POINT *)&place, 2);
        EXPECT_NEAR(expected.x * unitX, place.left, 2.0);
        EXPECT_NEAR(expected.y * unitY, place.top, 2.0);
        EXPECT_NEAR(expected.width * unitX, place.right - place.left, 2.0);
        EXPECT_NEAR(expected.height * unitY, place.bottom - place.top, 2.0);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(NULL, child) << "more controls than the template has";
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
    for (int i = 0; i < 3; i++) EXPECT_TRUE(waitForRepaint(main));
    RECT place = windowRect(dialog);
    SetWindowPos(dialog, NULL, 620, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(waitForRepaint(main));
    SetWindowPos(dialog, NULL, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(waitForRepaint(main));
    // After the round trip, whatever the last paint opened is there.
    EXPECT_TRUE(noMessageBoxAfterRoundTrip(setup, main));
    EXPECT_EQ(1, countDialogs(setup));
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
        EXPECT_TRUE(noMessageBoxAfterRoundTrip(setup, dialog));
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

TEST_F(UserDialog, CancelEndsTheProgramAsCancelledAndWritesNothing)
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
    EXPECT_TRUE(noMessageBoxAfterRoundTrip(setup, dialog));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(1, countDialogs(setup));
    EXPECT_EQ(NULL, findChildWindow(main, "CopyProgress")) << "copying started";
    // Nothing was copied into it and nothing registered.
    EXPECT_EQ(std::vector<std::string>(), listTree(existingTarget));
    EXPECT_EQ("", winIniValue("BinDirectory"));
    // The directory is selected, as after Tab: what is typed replaces it.
    typeKeys("C:\\QMKEYS");
    EXPECT_TRUE(waitForControlText(dialog, dirField, "C:\\QMKEYS"));
}

}  // namespace
}  // namespace e2e
