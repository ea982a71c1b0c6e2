// The install flow that the dialog's Continue starts, shared by the
// unattended run: the same checks, directory, copy and completion. owner is
// the dialog while it is open, or null when there is none.
#pragma once
#include <windows.h>

// 1 when the program's own folder can be read from; otherwise the user has
// been told and the run ends.
int sourceFolderUsable(HWND owner);
// 1 when the name and the install directory are given; otherwise the user
// has been told.
int fieldsComplete(HWND owner);
// Checks, makes and notes the install directory and prepares the paths, in
// the order the source mode needs. 1 to go on, 0 to stay in the dialog.
int prepareTarget(HWND owner);
// The values about to be checked and used, into the log.
void logValues();
// Everything after the dialog: setup.ini for a disk set, the copy, then the
// owner data, WIN.INI and the completion question.
void installPreparedTarget();
// The flow's way out when the user cancels or a copy is refused.
void endCancelled();
// Ends the program by destroying the main window, when there is one.
void endProgram();

// The command that starts the configuration program: the path itself, or the
// path in double quotes when it holds a blank, so that WinExec never starts a
// program named by its first words. 0, or -1 (and "") when it does not fit.
int buildConfigCommand(const char *path, char *command, int size);
