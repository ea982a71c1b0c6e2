// The user information dialog and the install flow run by its Continue.
#pragma once
#include <windows.h>

#include "install/install_flow.h"

INT_PTR CALLBACK userDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

