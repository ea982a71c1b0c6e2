// The user information dialog and the install flow run by its Continue.
#pragma once
#include <windows.h>

#include "install/install_flow.h"

INT_PTR CALLBACK userDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The values the dialog shows on opening: an earlier installation's (the
// directory in its long form), else the defaults; samples wanted.
void loadDialogValues();

typedef void (*DialogHook)();
// prefill is called when the dialog opens, after loadDialogValues and before
// the fields are filled, to lay the values a run was started with over them;
// confirmed once Continue has accepted the values, before the installation.
// Null hooks: the dialog alone.
void setDialogHooks(DialogHook prefill, DialogHook confirmed);
