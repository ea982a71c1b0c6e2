// Shared by the copy engine's tests under Wine: a main window, the progress
// window class, and scratch folders. The box recorder and files come from
// tests/support.
#pragma once
#include <windows.h>

#include <string>

#include "tests/support/box_recorder.h"
#include "tests/support/files.h"

// Creates the shell's windows once: a visible 615 x 480 main window in
// mainWindow and the class "CopyProgress". Resets every process-wide record
// and the box recorder.
void setUpCopyWindows();

std::string uniqueDir(const std::string &parent, const char *stem);
