// Shared by the copy engine's tests under Wine: a main window, the progress
// window class, and a recorder in place of the message boxes that can act
// while a box is shown. Files go through the back-end tests' helpers.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct RecordedBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

// Every box shown since the last reset, and the answer each one gets.
extern std::vector<RecordedBox> shownBoxes;
extern std::function<int(const RecordedBox &)> boxAnswer;

// Creates the shell's windows once: a visible 615 x 480 main window in
// mainWindow and the class "CopyProgress". Resets every process-wide record
// and the box recorder.
void setUpCopyWindows();

std::string captionsOf(const std::vector<RecordedBox> &boxes);

// Every file and directory under root, relative, sorted; directories end in '\'.
std::vector<std::string> listTree(const std::string &root);
std::string uniqueDir(const std::string &parent, const char *stem);
