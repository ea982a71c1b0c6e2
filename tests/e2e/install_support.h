// What the installation scenarios share: the drives and media of
// install_media.sh, the dialog filled in as a user does, the copy watched
// from outside, and the installed tree compared with the product's files.
#pragma once
#include <string>
#include <vector>

#include "tests/e2e/scenario.h"
#include "tests/support/manifest_walk.h"

namespace e2e {

// Install directories of these scenarios besides the driver's; removed
// before and after each one.
extern const char longTarget[];   // a long name, with a short form of its own
extern const char smallTarget[];  // on S:, too small for the release
extern const char largeTarget[];  // on T:, more than 4 GB free

// Folders made by install_media.sh (Windows paths), and the product's files.
std::string installMediaDir();
std::string productDir();

// The files of manifest entries 0 to end - 1 (all when end is -1) that the
// copy installs; the owner data file is written apart from them.
std::vector<ManifestFile> manifestFiles(bool samples, int end = -1);
// The tree under dir is exactly the manifest's files (and its directories),
// plus the names in extra, each byte for byte the product's file.
testing::AssertionResult installedExactly(const std::string &dir, bool samples,
                                          const std::vector<std::string> &extra, int end = -1);

// What the screen showed while the files were copied.
struct CopyWatch {
    bool progressSeen = false;
    std::string progressClass;
    RECT progressPlace = {};          // in the main window's client area
    LONG progressStyle = 0;
    std::string cancelText;
    RECT cancelPlace = {};            // in the progress window
    int labelPixels = 0;              // red "Transferring:"
    int namePixels = 0;               // black file name
    int percentPixels = 0;            // blue percentage
    std::vector<int> barColumns;      // green columns of the bar, as they grew (when drawn whole)
    int partBars = 0;                 // captures that showed no whole bar
    std::vector<int> highlightLines;  // the highlighted line, each change
    int titleChanges = 0;             // the theme title, each change
};

class Installation : public Scenario {
protected:
    void SetUp() override;
    void TearDown() override;

    // Fills the dialog and presses Continue.
    void fillDialog(HWND dialog, const char *dir, bool samples);
    // Starts exe with folder as its current directory (the demo medium's
    // program when exe is empty) and fills the user dialog once it is whole:
    // the main window, or NULL once a step has failed the test.
    HWND startAndFill(const std::string &exe, const std::string &folder, const char *dir, bool samples);
    // Watches the copy until a message box turns up or the program ends.
    CopyWatch watchCopy(HWND main);
    // The copy's progress window, once it is made and shown.
    HWND waitForProgressWindow(HWND main);
    // Answers the completion question and checks the program ends with 0.
    void answerCompletion(HWND main, int answer);
    void expectExitCode(DWORD expected);
};

}  // namespace e2e
