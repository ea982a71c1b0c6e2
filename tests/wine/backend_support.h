// Shared by the in-process tests of the install back end under Wine: the
// message-box recorder, the drives the media fixture maps, and file helpers.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Drive letters that media.sh maps for these tests.
const char floppyDrive = 'B';   // a removable drive
const char cdromDrive = 'K';    // a CD-ROM drive
const char readOnlyDrive = 'L'; // a read-only mount that holds the folder "existing"
const char smallDrive = 'M';    // a 64 KiB mount that fills up
const char largeDrive = 'N';    // a 4,110 MiB mount: more free space than 32 bits hold

// Owner handles the recorder tells apart; no real window is behind them.
const HWND fakeMainWindow = (HWND)0x1001;
const HWND fakeDialog = (HWND)0x2002;

struct BoxCall {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

struct FocusCall {
    HWND dialog;
    int controlId;
};

// Every box and focus change since the last reset, and the answers given to
// the boxes in turn (IDOK once the scripted answers run out).
extern std::vector<BoxCall> recordedBoxes;
extern std::vector<FocusCall> recordedFocus;
void recordBoxes(std::vector<int> answers);
void stopRecording();

// The folder the test program started in (the build folder, on Z:) and the
// fixture's folder inside it.
std::string startDirectory();
std::string mediaPath(const std::string &name);
std::string currentDirectory();

bool exists(const std::string &path);
bool isDirectory(const std::string &path);
void removeTree(const std::string &path); // files and folders, read-only ones too
void writeFile(const std::string &path, const std::string &bytes);
std::string readFile(const std::string &path); // "<missing>" when it cannot be read
std::string root(char drive, const std::string &rest = "");
// A drive letter that nothing is mapped to.
char unusedDrive();

// The owner data file in its scrambled form, made and read independently of
// the program's own store so that each side checks the other.
std::string scrambledOwnerFile(const std::vector<std::string> &lines);
std::vector<std::string> ownerFileLines(const std::string &bytes);

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

bool operator==(const BoxCall &a, const BoxCall &b);
bool operator==(const FocusCall &a, const FocusCall &b);
std::ostream &operator<<(std::ostream &out, const BoxCall &box);
std::ostream &operator<<(std::ostream &out, const FocusCall &focus);
