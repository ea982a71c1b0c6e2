// The user information dialog "TextInputDiaBox". Its Continue runs the whole
// install flow (install_flow.h) on the one GUI thread.
#include "install/user_dialog.h"

#include <cstring>

#include "install/install_flow.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "install/paths.h"
#include "install/run_state.h"
#include "install/settings.h"
#include "ownerdata/characters.h"
#include "resources/resource.h"

static DialogHook prefillHook;    // lays a run's own values over the prefill, or null
static DialogHook confirmedHook;  // told of the values Continue accepted, or null

void loadDialogValues()
{
    loadUserDefaults();
    char longForm[textSize];
    canonicalizeDir(installState.installDir, longForm, textSize);
    copyText(installState.installDir, textSize, longForm);
    installState.installSamples = 1;
}

void setDialogHooks(DialogHook prefill, DialogHook confirmed)
{
    prefillHook = prefill;
    confirmedHook = confirmed;
}

static void onInitDialog(HWND dialog)
{
    // The fields are read with room for 255 characters: more cannot be
    // typed, or a longer directory would be read cut short and used so.
    static const int edits[] = {IDC_USER_NAME, IDC_DEPARTMENT, IDC_ORGANISATION, IDC_INSTALL_DIR};
    for (int id : edits) SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, textSize - 1, 0);
    loadDialogValues();
    if (prefillHook) prefillHook();
    SetDlgItemTextA(dialog, IDC_USER_NAME, installState.userName);
    SetDlgItemTextA(dialog, IDC_DEPARTMENT, installState.department);
    SetDlgItemTextA(dialog, IDC_ORGANISATION, installState.organisation);
    SetDlgItemTextA(dialog, IDC_INSTALL_DIR, installState.installDir);
    // Ticked on every opening unless the hook says otherwise: the dialog
    // remembers no earlier choice.
    SendDlgItemMessageA(dialog, IDC_INSTALL_SAMPLES, BM_SETCHECK,
                        installState.installSamples ? BST_CHECKED : BST_UNCHECKED, 0);
    focusControl(dialog, IDC_USER_NAME);
}

/* Reads field id into a text of textSize. An edit's limit counts
 * characters, not bytes, so 255 double-byte characters do not fit: the cut
 * then falls between two characters. A directory cut so has 254 bytes or
 * more, which the length check refuses before it is used. */
static void readField(HWND dialog, int id, char *text)
{
    char whole[4 * textSize];
    GetDlgItemTextA(dialog, id, whole, sizeof whole);
    size_t length = wholeCharacterLength(whole, textSize - 1);
    memcpy(text, whole, length);
    text[length] = '\0';
}

// The fields are stored before they are tested.
static void readFields(HWND dialog)
{
    readField(dialog, IDC_USER_NAME, installState.userName);
    readField(dialog, IDC_DEPARTMENT, installState.department);
    readField(dialog, IDC_ORGANISATION, installState.organisation);
    readField(dialog, IDC_INSTALL_DIR, installState.installDir);
    installState.installSamples =
        SendDlgItemMessageA(dialog, IDC_INSTALL_SAMPLES, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

static void onContinue(HWND dialog)
{
    if (!sourceFolderUsable(dialog)) {
        EndDialog(dialog, 0);
        endProgram();
        return;
    }
    readFields(dialog);
    logValues();
    if (!fieldsComplete(dialog)) return;
    if (!prepareTarget(dialog)) return;
    // The dialog goes, but the installation runs on inside this handler.
    EndDialog(dialog, 1);
    if (confirmedHook) confirmedHook();
    installPreparedTarget();
}

static void onCancel(HWND dialog)
{
    runState.cancelled = 1;
    EndDialog(dialog, 0);
    endProgram();
}

INT_PTR CALLBACK userDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(dialog);
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            onContinue(dialog);
            break;
        case IDCANCEL:
            onCancel(dialog);
            break;
        }
        break;
    }
    // FALSE throughout, WM_INITDIALOG included: the focus is set explicitly.
    return FALSE;
}
