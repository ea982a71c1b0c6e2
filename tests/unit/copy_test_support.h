// Shared by the copy engine's tests under Wine: a main window, the progress
// window class, a recorder in place of the message boxes, and files.
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
extern std::vector<RecordedBox> recordedBoxes;
extern std::function<int(const RecordedBox &)> boxAnswer;

// Creates the shell's windows once: a visible 615 x 480 main window in
// mainWindow and the class "CopyProgress". Resets every process-wide record
// and the box recorder.
void setUpCopyWindows();

std::string captionsOf(const std::vector<RecordedBox> &boxes);

void writeFile(const std::string &path, const std::string &bytes);
std::string readFile(const std::string &path);  // "<missing>" when it cannot be read
bool isDirectory(const std::string &path);
void removeTree(const std::string &path);
// Every file and directory under root, relative, sorted; directories end in '\'.
std::vector<std::string> listTree(const std::string &root);
std::string uniqueDir(const std::string &parent, const char *stem);
