// SETUP.EXE as a whole, from WinMain.
#pragma once
#include <windows.h>

// Reads the command line and runs the installation with its windows, or
// unattended, or shows the switches. The process's exit code.
int startSetup(HINSTANCE instance, int showCommand);
