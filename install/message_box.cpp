#include "install/message_box.h"

#include "install/text.h"

static MessageBoxHook messageBoxHook; // test recorder, or null for real boxes
static FocusHook focusHook;           // test recorder, or null
static BoxObserver boxObserver;       // told of every box and its answer, or null

int showMessage(HWND owner, const char *text, const char *caption, UINT style)
{
    // Taken before the box: what the failing call left is what the box reports.
    DWORD error = GetLastError();
    int answer = messageBoxHook ? messageBoxHook(owner, text, caption, style) : MessageBoxA(owner, text, caption, style);
    if (boxObserver) boxObserver(text, caption, style, answer, error);
    return answer;
}

void focusControl(HWND dialog, int controlId)
{
    if (focusHook) {
        focusHook(dialog, controlId);
        return;
    }
    SetFocus(GetDlgItem(dialog, controlId));
}

void focusAfterMessage(HWND dialog, int controlId)
{
    if (focusHook) {
        focusHook(dialog, controlId);
        return;
    }
    HWND control = GetDlgItem(dialog, controlId);
    if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(control, EM_SETSEL, 0, -1);
    SetFocus(control);
}

int askAfterCreationFailure(HWND owner, const char *path)
{
    char text[2 * textSize];
    formatText(text, sizeof text, "Error in creating : %s", path);
    return showMessage(owner, text, "Error", MB_ABORTRETRYIGNORE);
}

void setMessageBoxHook(MessageBoxHook hook)
{
    messageBoxHook = hook;
}

void setFocusHook(FocusHook hook)
{
    focusHook = hook;
}

void setBoxObserver(BoxObserver observer)
{
    boxObserver = observer;
}
