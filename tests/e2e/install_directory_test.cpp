// Whole installations from the demo medium in directory-source mode, driven
// as a user does, with the installed files compared afterwards.
#include "tests/e2e/install_support.h"
#include "tests/support/uninstaller_files.h"

namespace e2e {
namespace {

class FolderInstall : public Installation {};

static std::string shortForm(const char *path)
{
    char result[MAX_PATH] = "";
    GetShortPathNameA(path, result, sizeof result);
    return result;
}

static std::string ownerValue(const std::string &dir, const char *key)
{
    std::string value = "<unreadable>";
    EXPECT_TRUE(readOwnerData(dir + "\\quillmrk.dat", key, &value));
    return value;
}

// The Cancel button's click as the progress window receives it. A posted
// BM_CLICK takes focus and capture first and was now and then lost, so the
// copy ran to its end.
static void clickCancel(HWND progress)
{
    PostMessageA(progress, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), (LPARAM)GetDlgItem(progress, 2));
}

static bool increasing(const std::vector<int> &values)
{
    for (size_t i = 1; i < values.size(); i++)
        if (values[i] < values[i - 1]) return false;
    return true;
}

// Every value: gtest's printer stops after 32, before the step that failed.
static std::string everyValue(const std::vector<int> &values)
{
    std::string text = "{";
    for (size_t i = 0; i < values.size(); i++) text += (i ? ", " : " ") + std::to_string(values[i]);
    return text + " }";
}

TEST_F(FolderInstall, EveryFileArrivesAndYesStartsTheConfigurationProgram)
{
    HWND main = startAndFill("", "", longTarget, true);
    ASSERT_TRUE(main);
    CopyWatch watch = watchCopy(main);

    // The progress window, a child of the main window, at its place.
    EXPECT_TRUE(watch.progressSeen);
    EXPECT_EQ("CopyProgress", watch.progressClass);
    EXPECT_EQ(WS_CHILD | WS_VISIBLE, watch.progressStyle & (WS_CHILD | WS_VISIBLE | WS_BORDER | WS_CAPTION));
    EXPECT_EQ(200, watch.progressPlace.left);
    EXPECT_EQ(200, watch.progressPlace.top);
    EXPECT_EQ(400, watch.progressPlace.right);
    EXPECT_EQ(350, watch.progressPlace.bottom);
    // Wine's system fixed font is 8 x 16: the button is 82 x 32 at (54, 101).
    EXPECT_EQ("Cancel", watch.cancelText);
    EXPECT_EQ(54, watch.cancelPlace.left);
    EXPECT_EQ(101, watch.cancelPlace.top);
    EXPECT_EQ(136, watch.cancelPlace.right);
    EXPECT_EQ(133, watch.cancelPlace.bottom);
    // "Transferring:" in red, the file name in black, the percentage in blue,
    // and the green bar growing (its full width is 149 columns; the screen
    // is sampled, and the last samples may come before the last percent).
    EXPECT_GT(watch.labelPixels, 20);
    EXPECT_GT(watch.namePixels, 10);
    EXPECT_GT(watch.percentPixels, 10);
    EXPECT_TRUE(increasing(watch.barColumns))
        << everyValue(watch.barColumns) << "; " << watch.partBars << " captures showed no whole bar";
    ASSERT_FALSE(watch.barColumns.empty());
    EXPECT_GE(watch.barColumns.back(), 100) << everyValue(watch.barColumns);
    // The billboard: the highlight walks down the lines and starts again at
    // the top when the theme turns.
    // (The screen is sampled, so not every step is seen.)
    const std::vector<int> &lines = watch.highlightLines;
    EXPECT_GE(lines.size(), 4u) << everyValue(lines);
    EXPECT_FALSE(increasing(lines)) << everyValue(lines);
    EXPECT_GE(watch.titleChanges, 1) << everyValue(lines);

    answerCompletion(main, IDYES);
    expectExitCode(0);
    // Our QMSETUP.EXE shows its window and notes each start beside itself.
    HWND configuration = NULL;
    for (int waited = 0; waited < windowTimeoutMs; waited += 50) {
        configuration = FindWindowA("QuillmarkConfiguration", NULL);
        if (configuration) break;
        Sleep(50);
    }
    EXPECT_TRUE(configuration != NULL) << "QMSETUP.EXE shows no window";
    if (configuration) PostMessageA(configuration, WM_CLOSE, 0, 0);
    std::string log = fileBytes(std::string(longTarget) + "\\qmsetup.log");
    std::string lowered = log;
    for (char &c : lowered) c = (char)tolower((unsigned char)c);
    EXPECT_NE(std::string::npos, lowered.find("qmsetup.exe")) << log;

    EXPECT_TRUE(installedExactly(longTarget, true, withUninstaller({"qmsetup.log", "quillmrk.dat"})));
    // The manifest's QUILLMRK.DAT was passed over: the early copy holds the
    // user's values.
    EXPECT_EQ("Ada Lovelace", ownerValue(longTarget, "User"));
    EXPECT_EQ("Analytical Engines", ownerValue(longTarget, "Dept"));
    EXPECT_EQ("Babbage & Co", ownerValue(longTarget, "Company"));
    std::string shortDir = shortForm(longTarget);
    EXPECT_NE(std::string(longTarget), shortDir);
    EXPECT_EQ(shortDir, winIniValue("BinDirectory"));
    EXPECT_EQ(shortDir + "\\PREFS", winIniValue("PrefDirectory"));
}

// SETUP.EXE signed with Authenticode (install_media.sh signs a copy of the
// medium and verifies the signature) installs as the program it was made from.
TEST_F(FolderInstall, ASignedProgramInstallsEveryFile)
{
    std::string medium = installMediaDir() + "\\signed";
    HWND main = startAndFill(medium + "\\SETUP.EXE", medium, defaultTarget, false);
    ASSERT_TRUE(main);
    answerCompletion(main, IDNO);
    expectExitCode(0);
    EXPECT_TRUE(installedExactly(defaultTarget, false, withUninstaller({"quillmrk.dat"})));
}

TEST_F(FolderInstall, WithoutSamplesOnADriveOfMoreThan4GB)
{
    // T: has 4,110 MiB free: taken in 32 bits that would be 14 MiB, and the
    // space question would come first.
    HWND main = startAndFill("", "", largeTarget, false);
    ASSERT_TRUE(main);
    answerCompletion(main, IDNO);
    expectExitCode(0);
    EXPECT_TRUE(installedExactly(largeTarget, false, withUninstaller({"quillmrk.dat"})));
    EXPECT_FALSE(directoryExists(std::string(largeTarget) + "\\SAMPLES"));
    EXPECT_FALSE(fileExists(std::string(largeTarget) + "\\qmsetup.log"));
}

TEST_F(FolderInstall, CancelInTheProgressWindow)
{
    HWND main = startAndFill("", "", defaultTarget, true);
    ASSERT_TRUE(main);
    HWND progress = waitForProgressWindow(main);
    ASSERT_TRUE(progress);
    const ExpectedBox quit = {"Do you want to quit?", "Terminate Setup?", MB_YESNO | MB_ICONQUESTION, main};
    clickCancel(progress);
    ASSERT_TRUE(answerMessageBox(setup, quit, IDNO));
    // No: the copy goes on, file after file, in the same progress window.
    const size_t answeredAt = listTree(defaultTarget).size();
    bool more = false;
    for (int waited = 0; waited <= windowTimeoutMs && !more && !findMessageBox(setup); waited += 10) {
        more = listTree(defaultTarget).size() > answeredAt;
        if (!more) Sleep(10);
    }
    EXPECT_TRUE(more) << "no file was copied after No; " << answeredAt << " entries were there";
    EXPECT_TRUE(IsWindow(progress));
    clickCancel(progress);
    ASSERT_TRUE(answerMessageBox(setup, quit, IDYES));
    EXPECT_TRUE(answerMessageBox(setup, {cancelledText, "Installation Cancelled", MB_OK | MB_ICONASTERISK, main}, IDOK));
    expectExitCode(0);
    EXPECT_EQ("", winIniValue("BinDirectory"));
    EXPECT_EQ("", winIniValue("PrefDirectory"));
    // Everything the run made is taken back, the early copy of the owner
    // data file and the folder too.
    EXPECT_FALSE(exists(defaultTarget));
}

// Escape, from the keyboard, asks as the Cancel button does; No lets the
// copy run to its end.
TEST_F(FolderInstall, EscapeDuringTheCopyAsksAsCancelDoes)
{
    HWND main = startAndFill("", "", defaultTarget, true);
    ASSERT_TRUE(main);
    ASSERT_TRUE(waitForProgressWindow(main));
    pressKey(VK_ESCAPE);
    ASSERT_TRUE(answerMessageBox(setup, {"Do you want to quit?", "Terminate Setup?", MB_YESNO | MB_ICONQUESTION, main},
                                 IDNO));
    answerCompletion(main, IDNO);
    expectExitCode(0);
    EXPECT_TRUE(installedExactly(defaultTarget, true, withUninstaller({"quillmrk.dat"})));
}

TEST_F(FolderInstall, ReinstallationOverTheFirstReplacesTheFiles)
{
    HWND main = startAndFill("", "", defaultTarget, true);
    ASSERT_TRUE(main);
    answerCompletion(main, IDNO);
    expectExitCode(0);
    stopSetup(&setup);

    // Damage the first installation: a file near the start changed, one
    // two thirds in removed.
    std::vector<ManifestFile> files = manifestFiles(true);
    const std::string changed = std::string(defaultTarget) + "\\" + files[files.size() / 50].path;
    const std::string removed = std::string(defaultTarget) + "\\" + files[files.size() * 2 / 3].path;
    ASSERT_TRUE(writeTextFile(changed, "damaged"));
    ASSERT_TRUE(DeleteFileA(removed.c_str()));

    startFromMedium();
    main = waitForMainWindow();
    HWND dialog = waitForDialog();
    ASSERT_TRUE(main && dialog);
    EXPECT_EQ("Ada Lovelace", controlText(dialog, nameField));
    EXPECT_EQ("Analytical Engines", controlText(dialog, departmentField));
    EXPECT_EQ("Babbage & Co", controlText(dialog, organisationField));
    EXPECT_EQ(defaultTarget, controlText(dialog, dirField));
    pressButton(dialog, IDOK);
    ASSERT_TRUE(answerMessageBox(setup,
                                 {"Directory already exists. Do you want to overwrite?\n\nNote: All Quillmark files in "
                                  "this directory will be overwritten.",
                                  "Warning", MB_YESNO | MB_ICONQUESTION, dialog},
                                 IDYES));
    // Having agreed to overwrite, quitting now warns about the old copy.
    HWND progress = waitForProgressWindow(main);
    ASSERT_TRUE(progress);
    clickCancel(progress);
    ASSERT_TRUE(answerMessageBox(setup,
                                 {"Do you want to quit?\n\nWarning: If you quit now, your existing\ncopy of the "
                                  "software may not work reliably.",
                                  "Terminate Setup?", MB_YESNO | MB_ICONQUESTION, main},
                                 IDNO));
    answerCompletion(main, IDNO);
    expectExitCode(0);
    EXPECT_TRUE(installedExactly(defaultTarget, true, withUninstaller({"quillmrk.dat"})));
}

// The name of a product file the manifest installs once, at entry from or
// later; the owner data file and the font map are left out.
static std::string singleFileFrom(int from)
{
    const std::vector<ManifestFile> files = walkManifest(true).files;
    for (const ManifestFile &file : files) {
        if (file.index < from || sameName(file.product, fontMapName) || sameName(file.product, ownerDataName))
            continue;
        int seen = 0;
        for (const ManifestFile &other : files) seen += sameName(other.product, file.product);
        if (seen == 1) return file.product;
    }
    return "";
}

TEST_F(FolderInstall, MissingSourceFiles)
{
    // A copy of the medium (hard links) without the optional addon32.exe and
    // two other files.
    const std::string medium = installMediaDir() + "\\medium";
    const int last = walkManifest(true).files.back().index;
    const std::string first = singleFileFrom(last / 7), second = singleFileFrom(last * 5 / 6);
    ASSERT_NE("", first);
    ASSERT_NE("", second);
    for (const std::string &name : {std::string("addon32.exe"), first, second})
        DeleteFileA((medium + "\\" + name).c_str());
    HWND main = startAndFill(medium + "\\SETUP.EXE", medium, defaultTarget, true);
    ASSERT_TRUE(main);
    // The optional file passes silently; OK at the first goes on, Cancel at
    // the second ends.
    EXPECT_TRUE(answerMessageBox(setup, {("Error in opening : " + medium + "\\" + first).c_str(), "Error", MB_OKCANCEL, main},
                                 IDOK));
    EXPECT_TRUE(answerMessageBox(setup, {("Error in opening : " + medium + "\\" + second).c_str(), "Error", MB_OKCANCEL, main},
                                 IDCANCEL));
    EXPECT_TRUE(answerMessageBox(setup, {cancelledText, "Installation Cancelled", MB_OK | MB_ICONASTERISK, main}, IDOK));
    expectExitCode(0);

    // The cancel takes back the files that came, between the two and before.
    EXPECT_FALSE(exists(defaultTarget));
    EXPECT_EQ("", winIniValue("BinDirectory"));
}

}  // namespace
}  // namespace e2e
