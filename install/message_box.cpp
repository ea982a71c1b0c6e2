#include "install/message_box.h"

static MessageBoxHook messageBoxHook; // test recorder, or null for real boxes
static FocusHook focusHook;           // test recorder, or null

int showMessage(HWND owner, const char *text, const char *caption, UINT style)
{
    if (messageBoxHook) return messageBoxHook(owner, text, caption, style);
    return MessageBoxA(owner, text, caption, style);
}

void focusControl(HWND dialog, int controlId)
{
    if (focusHook) {
        focusHook(dialog, controlId);
        return;
    }
    SetFocus(GetDlgItem(dialog, controlId));
}

void setMessageBoxHook(MessageBoxHook hook)
{
    messageBoxHook = hook;
}

void setFocusHook(FocusHook hook)
{
    focusHook = hook;
}
