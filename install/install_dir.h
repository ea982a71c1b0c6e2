// Creation of the install directory, level by level.
#pragma once
#include <windows.h>

int makeInstallDir(const char *path);               // 0, -1 or -2
int checkInstallDir(const char *path, HWND dialog); // 1 go on, 0 stay in the dialog
// The creation error, with the focus put on the directory field.
void refuseInstallDir(HWND dialog);
