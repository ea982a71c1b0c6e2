// Creation of the install directory, level by level, leaving the process's
// current directory in it for the copy engine.
#include "install/install_dir.h"

#include <direct.h>

#include <cstring>

#include "install/install_state.h"
#include "install/message_box.h"
#include "install/paths.h"
#include "install/text.h"
#include "resources/resource.h"
#include "shell/shell.h"

static const char overwriteFormat[] =
    "Directory already exists. Do you want to overwrite?\n\n"
    "Note: All %s files in this directory will be overwritten.";
static const char creationError[] =
    "There is a problem in creating this directory,\n"
    "Check your read/write priviliges or other settings.";

/*
 * Makes and enters each level of path in turn. Returns the sum of the make
 * and change results (0 or -1 each) of the deepest level: 0 created and
 * entered, -1 one of the two failed (as a rule: it exists), -2 neither.
 */
int makeInstallDir(const char *path)
{
    char work[textSize];
    char levels[textSize] = "";
    char component[textSize];
    // A path too long to hold can be neither made nor entered.
    if (copyText(work, sizeof work, path) != 0) return -2;

    if (work[0] == '\0' || work[1] != ':')
        showMessage(mainWindow, "Drive Letter not specified.", "", MB_ICONEXCLAMATION | MB_OK);

    // Trailing and doubled backslashes fall away in the split. Each prefix is
    // used as it stands: "C:" makes nothing but changes to drive C, and a
    // prefix without a drive is taken from the current directory.
    const char *cursor = work;
    int made = 0;
    int entered = 0;
    while (nextPathComponent(&cursor, component, sizeof component) == 1) {
        if (levels[0] != '\0') appendText(levels, sizeof levels, "\\");
        appendText(levels, sizeof levels, component);
        made = _mkdir(levels) == 0 ? 0 : -1;
        entered = _chdir(levels) == 0 ? 0 : -1;
    }
    return made + entered;
}

void refuseInstallDir(HWND dialog)
{
    showMessage(dialog, creationError, "Error", MB_ICONHAND | MB_OK);
    focusControl(dialog, IDC_INSTALL_DIR);
}

/* 1 when a file can be made in dir. A directory that exists on a read-only
 * medium can be entered but takes nothing, and an installation into it would
 * end "complete" with nothing installed. */
static int takesFiles(const char *dir)
{
    char probe[textSize];
    size_t length = strlen(dir);
    const char *separator = length > 0 && dir[length - 1] == '\\' ? "" : "\\";
    for (int n = 0; n < 100; n++) {
        if (formatText(probe, sizeof probe, "%s%sqmprobe%d.tmp", dir, separator, n) != 0) return 0;
        HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return 1;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return 0;
    }
    return 0;
}

/*
 * Creates the install directory for the user dialog and asks what the
 * outcome calls for. Returns 1 to go on, 0 to stay in the dialog with the
 * focus on the directory field.
 */
int checkInstallDir(const char *path, HWND dialog)
{
    char text[textSize];
    // The full path is taken first: making the directory moves the current
    // directory, against which a relative path would later mean another.
    char full[textSize];
    DWORD length = GetFullPathNameA(path, sizeof full, full, NULL);
    if (length == 0 || length >= sizeof full) copyText(full, sizeof full, path);
    switch (makeInstallDir(path)) {
    case -1:
        if (!takesFiles(full)) {
            refuseInstallDir(dialog);
            return 0;
        }
        formatText(text, sizeof text, overwriteFormat, productShortName);
        if (showMessage(dialog, text, "Warning", MB_ICONQUESTION | MB_YESNO) != IDYES) {
            focusControl(dialog, IDC_INSTALL_DIR);
            return 0;
        }
        copyText(installState.quitPrompt, textSize, longQuitPrompt);
        return 1;
    case -2:
        refuseInstallDir(dialog);
        return 0;
    default:
        return 1;
    }
}
