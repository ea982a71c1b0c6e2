// Every message box of the program and every focus change of the dialog go
// through these two calls: one place fixes owner, text, caption and style,
// and tests can put a recorder in place of the real box.
#pragma once
#include <windows.h>

int showMessage(HWND owner, const char *text, const char *caption, UINT style);
void focusControl(HWND dialog, int controlId);

typedef int (*MessageBoxHook)(HWND owner, const char *text, const char *caption, UINT style);
typedef void (*FocusHook)(HWND dialog, int controlId);

// A null hook puts the real platform call back.
void setMessageBoxHook(MessageBoxHook hook);
void setFocusHook(FocusHook hook);
