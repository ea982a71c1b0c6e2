// The uninstaller's run: find the installation, ask, remove, report.
#include "uninstall/uninstaller.h"

#include <windows.h>

#include "deploy/exit_codes.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "install/paths.h"
#include "install/program_image.h"
#include "install/setup_log.h"
#include "ownerdata/characters.h"
#include "uninstall/checked_removal.h"
#include "uninstall/delayed_removal.h"
#include "uninstall/install_record.h"
#include "uninstall/record_paths.h"
#include "uninstall/registration.h"
#include "uninstall/removal.h"

static const char removeCaption[] = "Remove Quillmark";
static const char questionFormat[] =
    "Remove %s and all of its components from this computer?\n\n"
    "Files you added or changed since the installation are kept.";
static const char notInstalledFormat[] = "%s is not installed on this computer: there is nothing to remove.";
static const char removedFormat[] = "%s was removed from your computer.";
static const char keptFormat[] =
    "\n\n%d file(s) you added or changed since the installation were kept, in %s.";
static const char failedFormat[] =
    "\n\n%d file(s) could not be removed. %s stays in Add/Remove Programs: remove it from there "
    "again once the files are no longer in use.";
static const char inUseFormat[] =
    "Cannot remove : %s\n\nThe file is in use. Close the program that uses it, then click Retry.";
static const char deniedFormat[] =
    "Cannot remove : %s\n\nAccess to the file is denied: you may lack the rights to remove it.";
static const char errorFormat[] = "Cannot remove : %s\n\nThe file cannot be removed: %s.";
static const char damagedFormat[] =
    "The record of the installation in %s is damaged: it was not written whole or was changed since.\n\n"
    "Nothing was removed. Install %s again into the same folder, then remove it.";
static const char folderGoneFormat[] =
    "The folder %s, where %s was installed, is gone.\n\n"
    "Remove %s from the list of installed programs?";

enum { unattendedRetryMs = 5000, unattendedPauseMs = 250 };

static int unattendedRun;   // 1 with /S: no window, answers by policy
static DWORD giveUpTime;    // unattended: when the file now in use is left
static char heldFile[textSize]; // unattended: that file

/* A file that will not go. Unattended, a program being closed lets go of
 * it within a few seconds: it is tried again for a while, then left (and
 * named in the log). */
static RemovalAnswer askAboutFile(const char *path, unsigned long error)
{
    if (unattendedRun) {
        if (lstrcmpiA(heldFile, path) != 0) {
            copyText(heldFile, sizeof heldFile, path);
            giveUpTime = GetTickCount() + unattendedRetryMs;
        }
        if ((LONG)(GetTickCount() - giveUpTime) >= 0) return removalIgnore;
        Sleep(unattendedPauseMs);
        return removalRetry;
    }
    char text[3 * textSize], reason[textSize];
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        formatText(text, sizeof text, inUseFormat, path);
    } else if (error == ERROR_ACCESS_DENIED) {
        formatText(text, sizeof text, deniedFormat, path);
    } else {
        describeError(error, reason, sizeof reason);
        formatText(text, sizeof text, errorFormat, path, reason);
    }
    switch (showMessage(NULL, text, removeCaption, MB_ABORTRETRYIGNORE | MB_ICONEXCLAMATION)) {
    case IDRETRY:
        return removalRetry;
    case IDABORT:
        return removalAbort;
    default:
        return removalIgnore;
    }
}

static int recordIn(const char *dir)
{
    char record[textSize];
    return pathInDir(dir, recordFileName, record, sizeof record) == 0 &&
           GetFileAttributesA(record) != INVALID_FILE_ATTRIBUTES;
}

int findInstallation(char *dir, int size)
{
    char program[programPathSize];
    if (runningProgramPath(program, sizeof program) == 0) {
        const char *slash = lastCharacterOf(program, "\\");
        if (slash) {
            program[slash - program] = '\0';
            if (recordIn(program)) return normalFolderForm(program, dir, size) == 0 ? installationFound : 0;
        }
    }
    static const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    for (HKEY root : roots) {
        char location[textSize];
        if (!registeredLocation(root, location, sizeof location) || normalFolderForm(location, dir, size) != 0) continue;
        if (recordIn(dir)) return installationFound;
        if (GetFileAttributesA(dir) == INVALID_FILE_ATTRIBUTES) return installationFolderGone;
    }
    return 0;
}

static int isMadeDirectory(const RecordList *entries, const char *dir)
{
    for (int i = 0; i < entries->count; i++)
        if (entries->entries[i].kind == recordedDirectory && samePath(entries->entries[i].path, dir)) return 1;
    return 0;
}

/* Moves the uninstaller, held by the process that started this copy of it
 * and waits for it, into the TEMP folder, where it goes at the next start
 * of Windows: its folder can go now. 1 when moved. */
static int moveAsideInUse(const char *uninstaller)
{
    char temp[MAX_PATH + 1], moved[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp || !GetTempFileNameA(temp, "QMR", 0, moved)) return 0;
    if (!MoveFileExA(uninstaller, moved, MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(moved);
        return 0;
    }
    writeLog("%s is in use by the program that started the removal: moved to %s, removed at the next start of "
             "Windows", uninstaller, moved);
    removeAtRestart(moved);
    return 1;
}

// The uninstaller's file, and its folder when made, removed at the next start of Windows.
static void leaveToRestart(const char *uninstaller, const char *dir, int made)
{
    if (removeAtRestart(uninstaller)) writeLog("%s is removed at the next start of Windows", uninstaller);
    else writeLog("%s could not be marked for removal at the next start of Windows", uninstaller);
    if (made && removeAtRestart(dir)) writeLog("The folder %s is removed at the next start of Windows", dir);
}

/* The uninstaller's file, and its folder when an installation made it. A
 * running program cannot delete its own file: where this is not a copy
 * running from elsewhere, or the file in use cannot be moved aside, that
 * is left to the next start of Windows. */
static void removeUninstaller(const char *dir, const RecordList *entries)
{
    char uninstaller[textSize], program[programPathSize];
    CheckedFolder folder;
    DWORD error = 0;
    if (pathInDir(dir, uninstallerFileName, uninstaller, sizeof uninstaller) != 0 ||
        checkInstallFolder(dir, &folder) != folderUsable)
        return;
    int made = isMadeDirectory(entries, dir);
    if (runningProgramPath(program, sizeof program) == 0 && samePath(program, uninstaller)) {
        leaveToRestart(uninstaller, dir, made);
        return;
    }
    int result = removeRecordedFile(&folder, uninstaller, NULL, &error);
    if (result == checkedRemoved) writeLog("Removed %s", uninstaller);
    if (result == checkedFailed && !moveAsideInUse(uninstaller)) {
        leaveToRestart(uninstaller, dir, made);
        return;
    }
    if (made && removeRecordedFolder(&folder, dir)) writeLog("Removed the folder %s", dir);
}

/* The installation's folder was deleted by hand: what names it (the
 * registration, the WIN.INI entries) is removed, after asking unless
 * unattended. The exit code. */
static int forgetGoneInstallation(const char *dir, int unattended)
{
    char text[3 * textSize];
    writeLog("The folder %s is gone: only the registration and the WIN.INI entries are left to remove", dir);
    formatText(text, sizeof text, folderGoneFormat, dir, productName, productName);
    if (!unattended && showMessage(NULL, text, removeCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        writeLog("The user chose not to remove %s; exit code %d", productShortName, exitCancelled);
        return exitCancelled;
    }
    int code = removeRegistrationOf(dir) ? exitInstalled : exitIncomplete;
    writeLog("Removal ended; exit code %d", code);
    formatText(text, sizeof text, removedFormat, productName);
    if (!unattended) showMessage(NULL, text, removeCaption, MB_ICONINFORMATION | MB_OK);
    return code;
}

static void showClosing(const RemovalRun &run, const char *dir)
{
    char text[4 * textSize], more[2 * textSize];
    formatText(text, sizeof text, removedFormat, productName);
    if (run.kept) {
        formatText(more, sizeof more, keptFormat, run.kept, dir);
        appendText(text, sizeof text, more);
    }
    if (run.failed) {
        formatText(more, sizeof more, failedFormat, run.failed, productShortName);
        appendText(text, sizeof text, more);
    }
    showMessage(NULL, text, removeCaption, (run.failed ? MB_ICONEXCLAMATION : MB_ICONINFORMATION) | MB_OK);
}

/* A record that cannot be used (read: what reading it gave): not whole,
 * so nothing of it is trusted, or none at all. Says so; the exit code. */
static int refuseRecord(int read, const char *dir, const char *record, int unattended)
{
    char text[3 * textSize];
    if (read == recordNotWhole) {
        writeLog("The record %s is damaged (not written whole, or changed): nothing removed; exit code %d", record,
                 exitRecordDamaged);
        formatText(text, sizeof text, damagedFormat, dir, productShortName);
        if (!unattended) showMessage(NULL, text, removeCaption, MB_ICONEXCLAMATION | MB_OK);
        return exitRecordDamaged;
    }
    writeLog("Nothing to remove: no record of an installation beside the program or where the "
             "registration points; exit code %d", exitNothingInstalled);
    formatText(text, sizeof text, notInstalledFormat, productName);
    if (!unattended) showMessage(NULL, text, removeCaption, MB_ICONINFORMATION | MB_OK);
    return exitNothingInstalled;
}

int runUninstall(int unattended, const char *givenDir)
{
    unattendedRun = unattended;
    heldFile[0] = '\0';
    char dir[textSize], record[textSize] = "", text[2 * textSize];
    RemovalRun run = {};
    int found = givenDir ? installationFound : findInstallation(dir, sizeof dir);
    if (givenDir && normalFolderForm(givenDir, dir, sizeof dir) != 0) found = 0;
    if (found == installationFolderGone) return forgetGoneInstallation(dir, unattended);
    int read = found && pathInDir(dir, recordFileName, record, sizeof record) == 0
                   ? readInstallRecord(record, &run.entries)
                   : -1;
    if (read != 0) {
        freeRecordList(&run.entries);
        return refuseRecord(read, dir, record, unattended);
    }
    writeLog("Removing the installation in %s", dir);
    formatText(text, sizeof text, questionFormat, productName);
    if (!unattended && showMessage(NULL, text, removeCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        writeLog("The user chose not to remove %s; exit code %d", productShortName, exitCancelled);
        freeRecordList(&run.entries);
        return exitCancelled;
    }
    copyText(run.installDir, sizeof run.installDir, dir);
    run.askAboutFile = askAboutFile;
    removeInstallation(&run);
    if (run.aborted) {
        writeLog("Removal stopped: %d file(s) removed; exit code %d", run.removed, exitCancelled);
        freeRecordList(&run.entries);
        return exitCancelled;
    }
    if (!run.failed) removeUninstaller(dir, &run.entries);
    freeRecordList(&run.entries);
    int code = run.failed ? exitIncomplete : exitInstalled;
    writeLog("Removal ended: %d file(s) removed, %d kept, %d could not be removed; exit code %d", run.removed,
             run.kept, run.failed, code);
    if (!unattended) showClosing(run, dir);
    return code;
}
