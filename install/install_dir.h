// Creation of the install directory, level by level.
#pragma once
#include <windows.h>

// 0, -1 or -2; resolved (unless null) receives the full path it made.
int makeInstallDir(const char *path, char *resolved = NULL, int resolvedSize = 0);
// 1 go on, with installDir set to the full path made; 0 stay in the dialog.
int checkInstallDir(const char *path, HWND dialog);
// The creation error, with the focus put on the directory field.
void refuseInstallDir(HWND dialog);
