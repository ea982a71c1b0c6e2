// The user information dialog "TextInputDiaBox". Its Continue runs the whole
// installation, in a fixed order, on the one GUI thread.
#include "install/user_dialog.h"

#include <cstring>

#include "copy/disk_loop.h"
#include "install/install_dir.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "install/paths.h"
#include "install/registration.h"
#include "install/settings.h"
#include "ownerdata/characters.h"
#include "resources/resource.h"
#include "shell/imaging/imaging.h"
#include "shell/shell.h"

static const char missingCaption[] = "Information Missing";
static const char completionFormat[] =
    "%s installation is complete.\n\nDo you want to enable %s on this computer \n"
    "now (setup preferences, add icons, etc.)?\n\nIf you choose No, make sure to run "
    "\"QMSETUP.EXE\"\nlater to setup this workstation, or others.";
static const char configFailureFormat[] =
    "%s could not be found or run.\nClose the application and run QMSETUP.EXE.";
static const char folderTooLongText[] =
    "Setup cannot install from the folder it was started from: the folder's path is too long.\n\n"
    "Copy the installation files to a folder with a shorter path and start Setup from there.";

static void endProgram()
{
    SendMessageA(mainWindow, WM_DESTROY, 0, 0);
}

static void onInitDialog(HWND dialog)
{
    // The fields are read with room for 255 characters: more cannot be
    // typed, or a longer directory would be read cut short and used so.
    static const int edits[] = {IDC_USER_NAME, IDC_DEPARTMENT, IDC_ORGANISATION, IDC_INSTALL_DIR};
    for (int id : edits) SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, textSize - 1, 0);
    loadUserDefaults();
    SetDlgItemTextA(dialog, IDC_USER_NAME, installState.userName);
    SetDlgItemTextA(dialog, IDC_DEPARTMENT, installState.department);
    SetDlgItemTextA(dialog, IDC_ORGANISATION, installState.organisation);
    char longForm[textSize];
    canonicalizeDir(installState.installDir, longForm, textSize);
    copyText(installState.installDir, textSize, longForm);
    SetDlgItemTextA(dialog, IDC_INSTALL_DIR, installState.installDir);
    // Ticked on every opening: an earlier choice is not remembered.
    SendDlgItemMessageA(dialog, IDC_INSTALL_SAMPLES, BM_SETCHECK, BST_CHECKED, 0);
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

// 1 when the fields may be used; otherwise the user has been told.
static int fieldsComplete(HWND dialog)
{
    // Only the empty string is refused: a name of blanks passes.
    if (!installState.userName[0]) {
        showMessage(dialog, "You must supply your name.", missingCaption, MB_ICONEXCLAMATION | MB_OK);
        focusAfterMessage(dialog, IDC_USER_NAME);
        return 0;
    }
    if (!installState.installDir[0]) {
        showMessage(dialog, "You must supply program directory.", missingCaption,
                    MB_ICONEXCLAMATION | MB_OK);
        focusAfterMessage(dialog, IDC_INSTALL_DIR);
        return 0;
    }
    return 1;
}

/*
 * The directory is made before the paths are prepared when installing from
 * a folder, because that preparation copies quillmrk.dat into it; from a
 * disk set the paths come first. 1 to go on, 0 to stay in the dialog.
 */
static int prepareTarget(HWND dialog)
{
    // A directory too long for the deepest file of the installation would
    // lose that file without a word: it is refused before anything is made.
    // A path without a drive counts at the full length it will have.
    char full[textSize];
    DWORD length = GetFullPathNameA(installState.installDir, sizeof full, full, NULL);
    if (length == 0 || length >= sizeof full || length < strlen(installState.installDir))
        length = (DWORD)strlen(installState.installDir);
    if (length + deepestDestinationLength() > textSize - 1) {
        refuseInstallDir(dialog);
        return 0;
    }
    if (installState.directorySource) {
        if (!checkInstallDir(installState.installDir, dialog)) return 0;
        preparePaths();
        return 1;
    }
    preparePaths();
    if (!checkInstallDir(installState.installDir, dialog)) return 0;
    // The completion steps use the directory as it was made: its full path.
    copyText(installState.notedInstallDir, textSize, installState.installDir);
    return 1;
}

int buildConfigCommand(const char *path, char *command, int size)
{
    if (!strchr(path, ' ')) return copyText(command, size, path);
    return formatText(command, size, "\"%s\"", path);
}

// Yes to the completion question: the program ends unless the start fails.
static void startConfigProgram()
{
    char command[textSize + 2];
    UINT started = 0;
    if (buildConfigCommand(installState.configProgramPath, command, sizeof command) == 0)
        started = WinExec(command, SW_SHOW);
    if (started >= 32) {
        endProgram();
        return;
    }
    char text[2 * textSize];
    formatText(text, sizeof text, configFailureFormat, installState.configProgramPath);
    // The main window stays open and idle; its close command now works.
    showMessage(mainWindow, text, "QMSETUP program can not start", MB_ICONINFORMATION | MB_OK);
}

/* Runs one step of the completion until it succeeds. A file that cannot be
 * written, which the step names, is the user's to retry (prepareRetry, when
 * given, runs first), pass over or abort on. 0 to go on, -1 on Abort. */
static int completeStep(int (*step)(char *path, int pathSize), void (*prepareRetry)())
{
    char path[textSize];
    while (step(path, sizeof path) != 0) {
        switch (askAfterCreationFailure(mainWindow, path)) {
        case IDRETRY:
            if (prepareRetry) prepareRetry();
            break;
        case IDABORT:
            return -1;
        default:
            return 0;
        }
    }
    return 0;
}

static void showCancelled()
{
    showMessage(mainWindow, "Installation has been cancelled or terminated.", "Installation Cancelled",
                MB_ICONINFORMATION | MB_OK);
    endProgram();
}

static void finishInstallation()
{
    // The user's values, then WIN.INI: Abort at the first leaves WIN.INI
    // unwritten. The product is registered for removal last, once installed.
    if (completeStep(saveUserData, restoreOwnerData) != 0 || completeStep(registerInstallDirs, NULL) != 0 ||
        completeStep(registerProduct, NULL) != 0) {
        showCancelled();
        return;
    }
    char completion[500];
    formatText(completion, sizeof completion, completionFormat, productShortName, productShortName);
    int answer = showMessage(mainWindow, completion, "Installation Complete", MB_ICONQUESTION | MB_YESNO);
    if (answer == IDYES)
        startConfigProgram();
    else
        endProgram();
    releaseImagingLibrary();
}

static void onContinue(HWND dialog)
{
    // Files are read from the program's own folder and nowhere else: one
    // that cannot be used ends the run before anything is made or copied.
    if (!programFolderUsable()) {
        showMessage(dialog, folderTooLongText, "Error", MB_ICONHAND | MB_OK);
        EndDialog(dialog, 0);
        endProgram();
        return;
    }
    readFields(dialog);
    if (!fieldsComplete(dialog)) return;
    if (!prepareTarget(dialog)) return;
    // The dialog goes, but the installation runs on inside this handler.
    EndDialog(dialog, 1);
    if (!installState.directorySource) writeDefinedValues();
    InvalidateRect(mainWindow, NULL, TRUE);
    UpdateWindow(mainWindow);
    if (copyAllDisks() != 0) {
        showCancelled();
        return;
    }
    finishInstallation();
}

static void onCancel(HWND dialog)
{
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
