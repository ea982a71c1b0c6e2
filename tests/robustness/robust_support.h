// What the robustness scenarios share: the media of robust_media.sh, the
// real SETUP.EXE started from one of them and driven as a user does, and
// the checks that a run ended cleanly and lost nothing.
#pragma once
#include <string>
#include <vector>

#include "tests/e2e/install_support.h"

namespace robust {

using namespace e2e;

// Install directories of these scenarios; removed before and after each one.
extern const char deepTarget[];      // a folder whose levels lead to long paths
extern const char readOnlyTarget[];  // a new folder on the read-only R:
extern const char existingReadOnly[];// a folder that exists on R:
extern const char fullTarget[];      // on Q:, which fills up during the copy

// The folders robust_media.sh made (Windows paths).
std::string mediaDir();
std::string tinyMedium();  // the test release as one folder, with SETUP.EXE
// A fresh copy of the tiny medium under mediaDir(), named name.
testing::AssertionResult copyTinyMedium(const std::string &name, std::string *folder);

// WIN.INI as a file, to show that a run did not write it.
std::string winIniBytes();

// Overwrites bytes of a file at offset, or cuts it to length (when bytes is
// empty).
testing::AssertionResult patchFile(const std::string &path, long offset, const std::string &bytes);
testing::AssertionResult cutFile(const std::string &path, long length);
// Flips the lowest bit of the byte at offset.
testing::AssertionResult flipBit(const std::string &path, long offset);

// Sends the characters to an edit control as typing does, and waits until
// it has taken them (an edit stops taking text at its limit).
void typeInto(HWND dialog, int id, const std::string &text);

// A message box as it was seen, before it was answered.
struct SeenBox {
    std::string text;
    std::string caption;
    HWND owner = NULL;
};

// Every file of the tree under dir with its bytes, to show that nothing of
// an earlier installation changed.
typedef std::vector<std::pair<std::string, std::string>> TreeBytes;
TreeBytes treeBytes(const std::string &dir);

// The product's key under HKEY_LOCAL_MACHINE, each value's name, type and
// bytes; "<none>" without the key.
std::string productKeyValues();

class Robust : public Installation {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs program (SETUP.EXE of a medium, or an uninstaller) with arguments
    // and its folder as current directory, to its end: the exit code.
    DWORD runToEnd(const std::string &program, const std::string &arguments);
    // Starts SETUP.EXE of folder, the folder as current directory, and
    // waits for the main window and the user dialog.
    void startIn(const std::string &folder, const std::string &arguments = "");
    // Waits for the next message box and gives what it shows; false when
    // none came (the program ended or the wait ran out).
    bool waitForBox(HWND *box, SeenBox *seen, int timeoutMs = windowTimeoutMs);
    void press(HWND box, int button);
    // The cancelled message answered, and the program ended with code: 0
    // when started with no argument, 8 (cancelled) with switches.
    void expectCancelledEnd(DWORD code = 0);
    // The completion question answered with No, and the program ended with
    // code: 0 when started with no argument; with switches 0 when everything
    // was written, 5 when something was passed over.
    void expectCompletedEnd(DWORD code = 0);

    HWND main = NULL;
    HWND dialog = NULL;
};

}  // namespace robust
