// The install flow: from the checked fields to the completion question, in a
// fixed order on the one thread. The dialog's Continue and the unattended
// run both go through it; every question goes through showMessage.
#include "install/install_flow.h"

#include <cstring>

#include "copy/disk_loop.h"
#include "install/install_dir.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "install/paths.h"
#include "install/run_state.h"
#include "install/settings.h"
#include "install/setup_log.h"
#include "resources/resource.h"
#include "shell/imaging/imaging.h"
#include "shell/shell.h"
#include "transaction/completion.h"
#include "transaction/journal.h"

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

void endProgram()
{
    if (mainWindow) SendMessageA(mainWindow, WM_DESTROY, 0, 0);
}

int sourceFolderUsable(HWND owner)
{
    // Files are read from the program's own folder and nowhere else: one
    // that cannot be used ends the run before anything is made or copied.
    if (programFolderUsable()) return 1;
    showMessage(owner, folderTooLongText, "Error", MB_ICONHAND | MB_OK);
    runState.stopReason = stopSourceFolder;
    return 0;
}

int fieldsComplete(HWND owner)
{
    // Only the empty string is refused: a name of blanks passes.
    if (!installState.userName[0]) {
        showMessage(owner, "You must supply your name.", missingCaption, MB_ICONEXCLAMATION | MB_OK);
        focusAfterMessage(owner, IDC_USER_NAME);
        return 0;
    }
    if (!installState.installDir[0]) {
        showMessage(owner, "You must supply program directory.", missingCaption, MB_ICONEXCLAMATION | MB_OK);
        focusAfterMessage(owner, IDC_INSTALL_DIR);
        return 0;
    }
    return 1;
}

/*
 * The directory is made before the paths are prepared when installing from
 * a folder, because that preparation copies quillmrk.dat into it; from a
 * disk set the paths come first.
 */
int prepareTarget(HWND owner)
{
    // A directory too long for the deepest file of the installation would
    // lose that file without a word: it is refused before anything is made.
    // A path without a drive counts at the full length it will have.
    char full[textSize];
    DWORD length = GetFullPathNameA(installState.installDir, sizeof full, full, NULL);
    if (length == 0 || length >= sizeof full || length < strlen(installState.installDir))
        length = (DWORD)strlen(installState.installDir);
    if (length + deepestDestinationLength() > textSize - 1) {
        refuseInstallDir(owner);
        return 0;
    }
    if (installState.directorySource) {
        if (!checkInstallDir(installState.installDir, owner)) return 0;
        preparePaths();
        return 1;
    }
    preparePaths();
    if (!checkInstallDir(installState.installDir, owner)) return 0;
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
 * given, runs first), pass over or abort on. 0 to go on, -1 on Abort. done
 * says in the log what became of what the step names on success. */
static int completeStep(int (*step)(char *path, int pathSize), void (*prepareRetry)(), const char *done)
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
    if (path[0] != '\0') writeLog("%s: %s", done, path);
    return 0;
}

void endCancelled()
{
    runState.cancelled = 1;
    // Everything this run changed goes back before the user is told.
    undoInstallation();
    showMessage(mainWindow, "Installation has been cancelled or terminated.", "Installation Cancelled",
                MB_ICONINFORMATION | MB_OK);
    endProgram();
}

/* With switches nothing is passed over: a file, the owner data or WIN.INI
 * that could not be written takes the whole run back, and its code (5 or
 * 11) then means that nothing changed. */
static int passedOverWithSwitches()
{
    return runState.unattended && (runState.incomplete || runState.mediumDamaged);
}

static void takeBackRun()
{
    undoInstallation();
    writeLog("Nothing changed: what this run wrote was taken back");
    endProgram();
}

// A step of the completion that stops the run: Abort, or with switches anything passed over.
static int stopsRun(int stepResult)
{
    return stepResult != 0 || passedOverWithSwitches();
}

static void finishInstallation()
{
    // The user's values, then WIN.INI: Abort at the first leaves WIN.INI
    // unwritten. The uninstaller and its record follow, so that even an
    // installation that passed over a file can be removed; only a complete
    // one is registered, which is what deployment tools look for.
    if (stopsRun(completeStep(saveUserData, restoreOwnerData, "Written")) ||
        stopsRun(completeStep(registerInstallDirs, NULL, "Written")) ||
        stopsRun(completeStep(writeRemovalRecord, NULL, "Written")) ||
        (!runState.incomplete && completeStep(registerInstallation, NULL, "Registered") != 0)) {
        if (passedOverWithSwitches())
            takeBackRun();
        else
            endCancelled();
        return;
    }
    commitInstallation();
    char completion[500];
    formatText(completion, sizeof completion, completionFormat, productShortName, productShortName);
    int answer = showMessage(mainWindow, completion, "Installation Complete", MB_ICONQUESTION | MB_YESNO);
    if (answer == IDYES)
        startConfigProgram();
    else
        endProgram();
    releaseImagingLibrary();
}

void logValues()
{
    writeLog("Values: name \"%s\", department \"%s\", organisation \"%s\", directory \"%s\", samples %d",
             installState.userName, installState.department, installState.organisation, installState.installDir,
             installState.installSamples);
}

void installPreparedTarget()
{
    if (installState.directorySource)
        writeLog("Source: the folder %s", installState.sourceDir);
    else
        writeLog("Source: a disk set in drive %c:", installState.sourceDrive);
    writeLog("Install directory: %s", installState.installDir);
    if (!installState.directorySource) {
        writeDefinedValues();
        writeLog("Defined values: %s", installState.setupIniPath);
    }
    if (mainWindow) {
        InvalidateRect(mainWindow, NULL, TRUE);
        UpdateWindow(mainWindow);
    }
    if (copyAllDisks() != 0) {
        endCancelled();
        return;
    }
    if (passedOverWithSwitches()) {
        takeBackRun();
        return;
    }
    // The one short step: every copy takes its name; then the owner data,
    // WIN.INI, the record and the key.
    if (placeStagedFiles() != 0) {
        runState.incomplete = 1;
        endCancelled();
        return;
    }
    finishInstallation();
}
