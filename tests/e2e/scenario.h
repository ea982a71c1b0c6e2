// What every scenario shares: a clean start (no "Quillmark" section in
// WIN.INI, no target folders), the program started from a folder, and its
// end made sure of.
#pragma once
#include "tests/support/driver.h"

namespace e2e {

// Install directories the scenarios use; removed before and after each one.
extern const char defaultTarget[];   // the program's own default, C:\QUILLMRK
extern const char earlierTarget[];   // an earlier installation
extern const char existingTarget[];  // a folder that already exists

class Scenario : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts SETUP.EXE from the demo medium, the medium as current directory.
    void startFromMedium();
    // Starts a copy of SETUP.EXE that stands alone in a folder of its own:
    // no imaging library and no picture beside it or in the current directory.
    void startWithoutImaging();
    // The main window once it is shown, and the user dialog once it is whole.
    HWND waitForMainWindow();
    HWND waitForDialog();

    SetupProcess setup = {};
};

extern const char bareFolder[];  // where startWithoutImaging puts its copy

// The question at the end of a whole installation, and the message after a
// cancelled one.
extern const char completionText[];
extern const char cancelledText[];

}  // namespace e2e
