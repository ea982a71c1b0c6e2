// Shared by the in-process tests of the install back end under Wine: the
// drives the media fixture maps and a clean start for each test. The
// recorder, files and owner data files come from tests/support.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/box_recorder.h"
#include "tests/support/files.h"
#include "tests/support/owner_data.h"

// Drive letters that media.sh maps for these tests.
const char floppyDrive = 'B';   // a removable drive
const char cdromDrive = 'K';    // a CD-ROM drive
const char readOnlyDrive = 'L'; // a read-only mount that holds the folder "existing"
const char smallDrive = 'M';    // a 64 KiB mount that fills up
const char largeDrive = 'N';    // a 4,110 MiB mount: more free space than 32 bits hold

// Owner handles the recorder tells apart; no real window is behind them.
const HWND fakeMainWindow = (HWND)0x1001;
const HWND fakeDialog = (HWND)0x2002;

// The folder the test program started in (the build folder, on Z:) and the
// fixture's folder inside it.
std::string startDirectory();
std::string mediaPath(const std::string &name);
std::string currentDirectory();

std::string root(char drive, const std::string &rest = "");
// A drive letter that nothing is mapped to.
char unusedDrive();

// The short form the platform reports for path, or "<none>".
std::string shortPath(const std::string &path);

// Each test starts from the same place: default InstallState, no
// "Quillmark" section in WIN.INI, the start directory current, boxes
// recorded, and the test's own scratch files removed (again at the end).
class BackendTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual void removeScratch() {}
};
