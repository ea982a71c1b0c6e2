// The user information dialog and the install flow run by its Continue.
#pragma once
#include <windows.h>

INT_PTR CALLBACK userDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The command that starts the configuration program: the path itself, or the
// path in double quotes when it holds a blank, so that WinExec never starts a
// program named by its first words. 0, or -1 (and "") when it does not fit.
int buildConfigCommand(const char *path, char *command, int size);
