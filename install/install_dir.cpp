// Creation of the install directory, level by level, leaving the process's
// current directory in it for the copy engine.
#include "install/install_dir.h"

#include <direct.h>

#include <cstring>

#include "install/install_state.h"
#include "install/message_box.h"
#include "install/paths.h"
#include "install/setup_log.h"
#include "install/text.h"
#include "ownerdata/characters.h"
#include "resources/resource.h"
#include "shell/shell.h"
#include "transaction/journal.h"
#include "transaction/run_record.h"

static const char overwriteFormat[] =
    "Directory already exists. Do you want to overwrite?\n\n"
    "Note: All %s files in this directory will be overwritten.";
static const char creationText[] =
    "There is a problem in creating this directory,\n"
    "Check your read/write priviliges or other settings.";

/* Makes the directory level and enters it: 0 or -1 each, in made and
 * entered. A bare drive is entered at its root: "C:" alone would stay in the
 * drive's current directory, which is not where the path points. */
static DWORD creationError;  // the error of the call that failed last, for the box to report

static void makeLevel(const char *level, int *made, int *entered)
{
    char root[4];
    noteDirectoryToMake(level);
    *made = _mkdir(level) == 0 ? 0 : -1;
    DWORD makeError = *made == 0 ? 0 : GetLastError();
    if (*made == 0) writeLog("Directory made: %s", level);
    if (*made == 0) noteDirectoryMade(level, 1);
    if (level[0] != '\0' && level[1] == ':' && level[2] == '\0' &&
        formatText(root, sizeof root, "%s\\", level) == 0)
        level = root;
    *entered = _chdir(level) == 0 ? 0 : -1;
    // A level that could not be made says why; the change that fails after
    // it only finds nothing there. One that exists fails at the change.
    creationError = 0;
    if (*made != 0 && makeError != ERROR_ALREADY_EXISTS)
        creationError = makeError;
    else if (*entered != 0)
        creationError = GetLastError();
}

/* 1 for a path that starts at the root of a drive or of a share, and so
 * means the same folder whatever the current directory is. */
static int startsAtRoot(const char *path)
{
    if (path[0] == '\\' && path[1] == '\\') return 1;
    return path[0] != '\0' && path[1] == ':' && path[2] == '\\';
}

/*
 * Makes and enters each level of path in turn. Returns the sum of the make
 * and change results (0 or -1 each) of the deepest level: 0 created and
 * entered, -1 one of the two failed (as a rule: it exists), -2 neither.
 * resolved (unless null) receives the full path that was made: a path that
 * does not start at a root is taken where it points now, before any level
 * moves the current directory, so that every later use means this folder.
 */
int makeInstallDir(const char *path, char *resolved, int resolvedSize)
{
    char work[textSize];
    char levels[textSize] = "";
    char component[textSize];
    if (resolved) copyText(resolved, resolvedSize, "");
    forgetInstallLevels();
    creationError = 0;
    // A path too long to hold can be neither made nor entered.
    if (copyText(work, sizeof work, path) != 0) return -2;

    if (work[0] == '\0' || work[1] != ':')
        showMessage(mainWindow, "Drive Letter not specified.", "", MB_ICONEXCLAMATION | MB_OK);
    // A drive alone means its root, as with the backslash: resolved against
    // the drive's current folder it would be wherever the program stands.
    if (work[0] != '\0' && work[1] == ':' && work[2] == '\0' && appendText(work, sizeof work, "\\") != 0)
        return -2;
    if (!startsAtRoot(work)) {
        DWORD length = GetFullPathNameA(path, sizeof work, work, NULL);
        if (length == 0 || length >= sizeof work) return -2;
    }
    if (resolved && copyText(resolved, resolvedSize, work) != 0) return -2;

    // Trailing and doubled backslashes fall away in the split. A share is
    // one level: \\server alone is no directory to make or enter.
    const char *cursor = work;
    int made = 0;
    int entered = 0;
    if (work[0] == '\\' && work[1] == '\\') {
        char server[textSize];
        if (nextPathComponent(&cursor, server, sizeof server) != 1 ||
            nextPathComponent(&cursor, component, sizeof component) != 1)
            return -2;
        formatText(levels, sizeof levels, "\\\\%s\\%s", server, component);
        makeLevel(levels, &made, &entered);
    }
    while (nextPathComponent(&cursor, component, sizeof component) == 1) {
        if (levels[0] != '\0') appendText(levels, sizeof levels, "\\");
        appendText(levels, sizeof levels, component);
        makeLevel(levels, &made, &entered);
    }
    return made + entered;
}

void refuseInstallDir(HWND dialog)
{
    showMessage(dialog, creationText, "Error", MB_ICONHAND | MB_OK);
    focusAfterMessage(dialog, IDC_INSTALL_DIR);
}

/* 1 when a file can be made in dir. A directory that exists on a read-only
 * medium can be entered but takes nothing, and an installation into it would
 * end "complete" with nothing installed. */
static int takesFiles(const char *dir)
{
    char probe[textSize];
    const char *last = lastCharacter(dir);
    const char *separator = last && *last == '\\' ? "" : "\\";
    for (int n = 0; n < 100; n++) {
        if (formatText(probe, sizeof probe, "%s%sqmprobe%d.tmp", dir, separator, n) != 0) return 0;
        HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return 1;
        }
        creationError = GetLastError();
        if (creationError != ERROR_FILE_EXISTS) return 0;
    }
    return 0;
}

// The dialog stays open: the current directory goes back to where it was,
// so that a path typed without a drive means the same folder next time.
static int stayInDialog(HWND dialog, const char *before)
{
    if (before[0] != '\0') SetCurrentDirectoryA(before);
    focusAfterMessage(dialog, IDC_INSTALL_DIR);
    return 0;
}

static int refuseAndStay(HWND dialog, const char *before)
{
    if (before[0] != '\0') SetCurrentDirectoryA(before);
    SetLastError(creationError);
    refuseInstallDir(dialog);
    return 0;
}

/*
 * Creates the install directory for the user dialog and asks what the
 * outcome calls for. Returns 1 to go on, 0 to stay in the dialog with the
 * focus on the directory field. On 1, installDir holds the full path of the
 * directory made, for every later use (destinations, owner data, WIN.INI).
 */
int checkInstallDir(const char *path, HWND dialog)
{
    char text[textSize];
    char full[textSize];
    char before[textSize];
    DWORD length = GetCurrentDirectoryA(sizeof before, before);
    if (length == 0 || length >= sizeof before) before[0] = '\0';
    switch (makeInstallDir(path, full, sizeof full)) {
    case -1:
        if (!takesFiles(full)) return refuseAndStay(dialog, before);
        formatText(text, sizeof text, overwriteFormat, productShortName);
        if (showMessage(dialog, text, "Warning", MB_ICONQUESTION | MB_YESNO) != IDYES)
            return stayInDialog(dialog, before);
        copyText(installState.quitPrompt, textSize, longQuitPrompt);
        break;
    case -2:
        return refuseAndStay(dialog, before);
    }
    copyText(installState.installDir, textSize, full);
    return 1;
}
