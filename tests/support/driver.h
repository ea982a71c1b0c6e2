// The end-to-end driver: starts the real SETUP.EXE under Wine and works its
// windows from outside, the way a user does, then checks what the run left
// behind (files, WIN.INI, the owner data file).
//
// Every wait polls with a short interval up to a timeout; every check returns
// an AssertionResult whose message says what was expected and what was seen.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/owner_data.h"

namespace e2e {

// Generous: the first message box of a process takes 1-2 s under Wine.
enum { windowTimeoutMs = 20000, exitTimeoutMs = 30000 };

// ---- the program under test ----------------------------------------------

// The demo medium's folder (Windows path), and a file in it.
std::string mediumDir();
std::string mediumFile(const char *name);

struct SetupProcess {
    HANDLE process;
    DWORD processId;
    DWORD threadId;
};

// Starts exe with currentDir as its current directory, and arguments (as
// typed on a command line) after its quoted name.
testing::AssertionResult startSetup(const std::string &exe, const std::string &currentDir, SetupProcess *setup,
                                    const std::string &arguments = "");
testing::AssertionResult waitForExit(SetupProcess *setup, DWORD *exitCode, int timeoutMs = exitTimeoutMs);
// Ends the process if it still runs and releases its handles. Safe to repeat.
void stopSetup(SetupProcess *setup);
// What a restart of Windows does before any program runs: the session's
// wineboot carries out the renames and removals left for the next start.
testing::AssertionResult restartSession();

// ---- windows ---------------------------------------------------------------

// A top-level window of the process with this class and (unless null) title.
HWND findWindow(const SetupProcess &setup, const char *className, const char *title);
// A top-level window of the process that accept takes, shown or not.
HWND findWindowWhere(const SetupProcess &setup, bool (*accept)(HWND));
// How many top-level windows of the process have this title.
int countWindows(const SetupProcess &setup, const char *title);
testing::AssertionResult waitForWindow(const SetupProcess &setup, const char *className, const char *title,
                                       HWND *found, int timeoutMs = windowTimeoutMs);
testing::AssertionResult waitForWindowGone(HWND window, int timeoutMs = windowTimeoutMs);
// A child window of parent with this class (the progress window is one).
HWND findChildWindow(HWND parent, const char *className);
// The user information dialog, by its caption.
testing::AssertionResult waitForUserDialog(const SetupProcess &setup, HWND *dialog);

std::string windowText(HWND window);
std::string windowClass(HWND window);
std::string controlText(HWND dialog, int id);
RECT windowRect(HWND window);
RECT clientRectOnScreen(HWND window);
// The window that has the keyboard focus in the program's GUI thread.
HWND focusedWindow(const SetupProcess &setup);
// Waits until the focus is on control id of dialog.
testing::AssertionResult waitForFocus(const SetupProcess &setup, HWND dialog, int id, int timeoutMs = 5000);

// Invalidates window and waits until the program has painted it again.
// Painting comes last in a message loop, after everything posted before and
// after a request to quit: once done, the program has handled all that.
testing::AssertionResult waitForRepaint(HWND window, int timeoutMs = windowTimeoutMs);
// Waits until the screen shows window painted: a caption in the caption
// colour, more than one colour in the client area, and each visible control
// showing both its ground (the dialog face or a field's white) and
// something drawn on it (text, a border, an icon); a field that holds text
// shows some.
testing::AssertionResult waitForPainted(HWND window, int timeoutMs = windowTimeoutMs);
// The user dialog's fields.
enum { nameField = 203, organisationField = 204, departmentField = 1020, dirField = 1022, samplesBox = 1023 };
// Fills in the user dialog as a user does and presses Continue.
void fillUserDialog(HWND dialog, const char *name, const char *department, const char *organisation, const char *dir,
                    bool samples);

void setControlText(HWND dialog, int id, const char *text);
void setCheck(HWND dialog, int id, int checked);
int checkState(HWND dialog, int id);
// As a click: the dialog receives WM_COMMAND with the button's id.
void pressButton(HWND dialog, int id);
// Keys as the keyboard gives them (SendInput): they reach the window that
// has the program's focus, as a user's keys do.
void pressKey(WORD key);
void typeKeys(const char *text);  // characters of the ASCII range
// Waits until control id of dialog shows text.
testing::AssertionResult waitForControlText(HWND dialog, int id, const std::string &text, int timeoutMs = 5000);

// ---- message boxes ---------------------------------------------------------

struct ExpectedBox {
    const char *text;
    const char *caption;
    UINT style;   // MB_ buttons | MB_ icon, as the program asks for them
    HWND owner;
};

// What a box shows: its buttons (MB_OK, MB_YESNO, ...) and its icon
// (MB_ICONHAND, ...; 0 when none can be recognised).
UINT messageBoxStyle(HWND box);
// Waits for a message box of the process, checks text, caption, buttons,
// icon and owner, and answers it with the button id given (IDOK, IDYES, ...).
testing::AssertionResult answerMessageBox(const SetupProcess &setup, const ExpectedBox &expected, int answer,
                                          int timeoutMs = windowTimeoutMs);
// An open message box of the process, or NULL.
HWND findMessageBox(const SetupProcess &setup);
// After a message sent to window comes back, no message box of the process
// exists, shown or not: a box that the program's last step opens is made
// before its thread next takes a message.
testing::AssertionResult noMessageBoxAfterRoundTrip(const SetupProcess &setup, HWND window);
// Waits for a message box of the process; NULL when none came before the
// program ended or the time ran out.
HWND waitForMessageBox(const SetupProcess &setup, int timeoutMs = windowTimeoutMs);
// The buttons and icon of a box once it shows the expected ones, or what it
// shows after 3 s: the icon can be recognised only once the box has painted.
UINT boxStyle(HWND box, UINT expected);

// ---- pixels ----------------------------------------------------------------

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, top-down rows
    uint32_t at(int x, int y) const { return pixels[(size_t)y * width + x]; }
};

inline uint32_t rgb(int r, int g, int b) { return (uint32_t)((r << 16) | (g << 8) | b); }

// Lets draw paint on a memory device context over a 32-bit canvas of the
// given size, first filled with ground, and gives back its pixels; fails
// when the canvas cannot be made or draw answers false.
testing::AssertionResult drawOnCanvas(int width, int height, uint32_t ground, const std::function<bool(HDC)> &draw,
                                      Image *image);
// Copies an area of the screen (the virtual display).
testing::AssertionResult captureScreen(const RECT &area, Image *image);
// Saves as a 24-bit BMP under screenshots/ in the test's folder.
void saveScreenshot(const Image &image, const std::string &name);

// ---- state left behind -----------------------------------------------------
// (files, trees and owner data files: tests/support)

// The "Quillmark" section of WIN.INI.
void clearWinIniSection();
std::string winIniValue(const char *key);
void setWinIniValue(const char *key, const char *value);

}  // namespace e2e
