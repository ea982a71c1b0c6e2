// Every message box of the program and every focus change of the dialog go
// through these calls: one place fixes owner, text, caption and style, and
// tests can put a recorder in place of the real box.
#pragma once
#include <windows.h>

int showMessage(HWND owner, const char *text, const char *caption, UINT style);
void focusControl(HWND dialog, int controlId);
// The focus back on a field after a message, with its text selected, as the
// dialog manager leaves a field reached with Tab: what is typed replaces it.
void focusAfterMessage(HWND dialog, int controlId);
// A file or directory at path that cannot be created or written: Abort,
// Retry or Ignore, as IDABORT, IDRETRY, IDIGNORE (any other answer, as from
// a box that could not be shown, counts as Ignore).
int askAfterCreationFailure(HWND owner, const char *path);

typedef int (*MessageBoxHook)(HWND owner, const char *text, const char *caption, UINT style);
typedef void (*FocusHook)(HWND dialog, int controlId);
// Told after every box, shown or hooked, with its answer and the error the
// failing call left just before it (GetLastError).
typedef void (*BoxObserver)(const char *text, const char *caption, UINT style, int answer, DWORD error);

// A null hook puts the real platform call back.
void setMessageBoxHook(MessageBoxHook hook);
void setFocusHook(FocusHook hook);
// A null observer: nobody is told.
void setBoxObserver(BoxObserver observer);
