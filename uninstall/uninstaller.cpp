// The uninstaller's run: find the installation, ask, remove, report.
#include "uninstall/uninstaller.h"

#include <windows.h>

#include <cstdlib>

#include "deploy/exit_codes.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "install/paths.h"
#include "install/program_image.h"
#include "install/setup_log.h"
#include "ownerdata/characters.h"
#include "transaction/data_folder.h"
#include "uninstall/checked_removal.h"
#include "uninstall/delayed_removal.h"
#include "uninstall/folder_rights.h"
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

// The box that names a file that cannot be removed and why, with buttons: the answer.
static int askAboutError(const char *path, unsigned long error, UINT buttons)
{
    char text[3 * textSize], reason[textSize];
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        formatText(text, sizeof text, inUseFormat, path);
    } else if (error == ERROR_ACCESS_DENIED) {
        formatText(text, sizeof text, deniedFormat, path);
    } else {
        describeError(error, reason, sizeof reason);
        formatText(text, sizeof text, errorFormat, path, reason);
    }
    return showMessage(NULL, text, removeCaption, buttons | MB_ICONEXCLAMATION);
}

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
    switch (askAboutError(path, error, MB_ABORTRETRYIGNORE)) {
    case IDRETRY:
        return removalRetry;
    case IDABORT:
        return removalAbort;
    default:
        return removalIgnore;
    }
}

/* Before anything is removed, a file that cannot go: the user closes the
 * program that holds it and retries, or cancels (nothing removed). 1 for
 * Retry. */
static int askBeforeRemoval(const char *path, unsigned long error)
{
    return askAboutError(path, error, MB_RETRYCANCEL) == IDRETRY;
}

// Files moved aside, in use, to go at the next start of Windows: where they were and where they are.
struct MovedFiles {
    RecordList from;
    RecordList to;
};

static int recordIn(const char *dir)
{
    char record[textSize];
    return pathInDir(dir, recordFileName, record, sizeof record) == 0 &&
           GetFileAttributesA(record) != INVALID_FILE_ATTRIBUTES;
}

// 1 when dir is the product's data folder, which only administrators write
// (and not a folder of that name another user made).
static int isDataFolder(const char *dir)
{
    char data[textSize];
    return productDataFolder(data, sizeof data) == 0 && samePath(data, dir) && folderOwnedByAdministrators(dir);
}

int findInstallation(char *dir, int size)
{
    char data[textSize], program[programPathSize], longName[textSize];
    if (productDataFolder(data, sizeof data) == 0 && recordIn(data) && folderOwnedByAdministrators(data))
        return normalFolderForm(data, dir, size) == 0 ? installationFound : 0;
    // An installation of the first layout: the record beside the uninstaller.
    if (runningProgramPath(program, sizeof program) == 0) {
        const char *slash = lastCharacterOf(program, "\\");
        if (slash) {
            program[slash - program] = '\0';
            // Started by a short path (as WIN.INI holds it), its entries are in the long form.
            if (recordIn(program))
                return longPathOf(program, longName, sizeof longName) >= 0 && normalFolderForm(longName, dir, size) == 0
                           ? installationFound
                           : 0;
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

/* Moves path, in use, into the product's data folder, which only
 * administrators write, where it goes at the next start of Windows: a
 * delete by name in a folder a user may write could be sent elsewhere by
 * then. 1 when moved. */
static int moveAsideInUse(const char *path)
{
    char data[textSize], moved[MAX_PATH + 1];
    if (makeProductDataFolder(data, sizeof data) != 0 || !GetTempFileNameA(data, "QMR", 0, moved)) return 0;
    if (!MoveFileExA(path, moved, MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(moved);
        return 0;
    }
    writeLog("%s is in use: moved to %s, removed at the next start of Windows", path, moved);
    removeAtRestart(moved);
    return 1;
}

/* Moves path, in use, into the product's data folder; noted in moved. 1 when moved. */
static int moveAside(const char *path, MovedFiles *moved)
{
    char data[textSize], aside[MAX_PATH + 1];
    if (makeProductDataFolder(data, sizeof data) != 0 || !GetTempFileNameA(data, "QMR", 0, aside)) return 0;
    if (!MoveFileExA(path, aside, MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(aside);
        return 0;
    }
    if (appendEntry(&moved->from, recordedFile, 0, 0, path) != 0 || appendEntry(&moved->to, recordedFile, 0, 0, aside) != 0) {
        MoveFileExA(aside, path, 0);
        return 0;
    }
    writeLog("%s is in use: moved to %s, to be removed at the next start of Windows", path, aside);
    return 1;
}

// Puts the files moved aside back in their places: the removal did not go on.
static void moveBack(MovedFiles *moved)
{
    for (int i = 0; i < moved->to.count; i++)
        if (MoveFileExA(moved->to.entries[i].path, moved->from.entries[i].path, 0))
            writeLog("%s put back", moved->from.entries[i].path);
    moved->from.count = moved->to.count = 0;
}

/* One file of the installation, before anything is removed: free, or in
 * use and (unattended) moved aside once let go of for a while. The exit
 * code to end with, or exitInstalled to go on. */
static int checkBeforeRemoval(const char *path, int unattended, MovedFiles *moved)
{
    DWORD giveUp = GetTickCount() + unattendedRetryMs;
    for (;;) {
        unsigned long error = 0;
        char reason[textSize];
        int use = fileUseOf(path, &error);
        if (use == fileFree) return exitInstalled;
        if (!unattended) {
            if (askBeforeRemoval(path, error)) continue;
            writeLog("The user cancelled at %s, which cannot be removed; nothing removed", path);
            return exitCancelled;
        }
        if (use == fileInUse && (LONG)(GetTickCount() - giveUp) < 0) {
            Sleep(unattendedPauseMs);
            continue;
        }
        describeError(error, reason, sizeof reason);
        writeLog("Cannot remove %s: %s", path, reason);
        if (use == fileInUse && moveAside(path, moved)) return exitInstalled;
        writeLog("Not removed: %s cannot go now, nor be moved where only administrators write to go at the next "
                 "start of Windows; nothing removed", path);
        return exitIncomplete;
    }
}

/* Every file of every installation is checked to be removable before any
 * is removed, so that a removal that cannot finish leaves the product
 * whole. The exit code to end with, or exitInstalled to go on. */
static int checkAllBeforeRemoval(const RemovalRun *runs, int count, int unattended, MovedFiles *moved)
{
    for (int r = 0; r < count; r++) {
        RecordList files = {};
        int code = latestFiles(&runs[r].entries, &files) == 0 ? exitInstalled : exitIncomplete;
        for (int i = 0; i < files.count && code == exitInstalled; i++) {
            char normal[textSize];
            if (placeOfRecordPath(runs[r].installDir, files.entries[i].path, normal, sizeof normal) == insideFolder)
                code = checkBeforeRemoval(normal, unattended, moved);
        }
        freeRecordList(&files);
        if (code != exitInstalled) return code;
    }
    return exitInstalled;
}

// The journal's path beside the record in where: 0, or -1.
static int journalPath(const char *where, char *path)
{
    return pathInDir(where, removalJournalName, path, textSize);
}

/* The uninstaller's file in the data folder (trusted) and that folder, or
 * (the first layout) in the install folder dir and dir when made. A running
 * program cannot delete its own file: it goes at the next start of Windows,
 * from the data folder. 1 when nothing is left of them, or waits there. */
static int removeUninstaller(const char *dir, int trusted, const RecordList *entries)
{
    char uninstaller[textSize];
    CheckedFolder folder;
    DWORD error = 0;
    if (pathInDir(dir, uninstallerFileName, uninstaller, sizeof uninstaller) != 0) return 0;
    int usable = checkInstallFolder(dir, &folder);
    if (usable == folderMissing) return 1;
    if (usable != folderUsable) return 0;
    int result = removeRecordedFile(&folder, uninstaller, NULL, &error);
    if (result == checkedRemoved) writeLog("Removed %s", uninstaller);
    if (result == checkedFailed && trusted) {
        // The data folder is the administrators' own: a delete by name there stays ours.
        if (removeAtRestart(uninstaller)) writeLog("%s is removed at the next start of Windows", uninstaller);
        if (removeAtRestart(dir)) writeLog("The folder %s is removed at the next start of Windows", dir);
        return 1;
    }
    if (result == checkedFailed && !moveAsideInUse(uninstaller)) {
        writeLog("%s is in use and cannot be moved where only administrators write: it stays", uninstaller);
        return 0;
    }
    if ((trusted || isMadeDirectory(entries, dir)) && removeRecordedFolder(&folder, dir))
        writeLog("Removed the folder %s", dir);
    return 1;
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

/* The record in the folder where (the data folder, or an install folder
 * of the first layout) into entries: as readInstallRecord; a folder or
 * anything but a file in its place is a record not whole. */
static int readRecordIn(const char *where, char *record, RecordList *entries)
{
    if (pathInDir(where, recordFileName, record, textSize) != 0) return -1;
    DWORD attributes = GetFileAttributesA(record);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return recordNotWhole;
    return readInstallRecord(record, entries);
}

/* One removal run for each installation of the record: a record only
 * administrators write lists its install folders; one of the first
 * layout is its own folder's alone. 0, or -1 (none, or no memory). */
static int runsOf(const RecordList *entries, const char *where, int trusted, RecordList *folders, RemovalRun **runs)
{
    *runs = NULL;
    int listed = trusted ? installationsOf(entries, folders) : appendEntry(folders, recordedInstallation, 0, 0, where);
    if (listed != 0 || folders->count == 0) return -1;
    *runs = static_cast<RemovalRun *>(calloc((size_t)folders->count, sizeof(RemovalRun)));
    if (!*runs) return -1;
    for (int i = 0; i < folders->count; i++) {
        RemovalRun *run = &(*runs)[i];
        copyText(run->installDir, sizeof run->installDir, folders->entries[i].path);
        run->levelsTrusted = trusted;
        run->askAboutFile = askAboutFile;
        int copied = trusted ? entriesOfInstallation(entries, run->installDir, &run->entries)
                             : latestFiles(entries, &run->entries) == 0 ? madeDirectories(entries, &run->entries) : -1;
        if (copied != 0) return -1;
    }
    return 0;
}

static void freeRuns(RemovalRun *runs, RecordList *folders)
{
    for (int i = 0; runs && i < folders->count; i++) freeRecordList(&runs[i].entries);
    free(runs);
    freeRecordList(folders);
}

static void forgetMoved(MovedFiles *moved)
{
    freeRecordList(&moved->from);
    freeRecordList(&moved->to);
}

/* The files in use that were moved aside go at the next start, with the
 * data folder; a removal that stopped puts them back first. 1 when a
 * restart is needed. */
static int finishMovedFiles(MovedFiles *moved, int putBack, const char *where)
{
    if (putBack) moveBack(moved);
    for (int i = 0; i < moved->to.count; i++) removeAtRestart(moved->to.entries[i].path);
    if (moved->to.count && removeAtRestart(where)) writeLog("The folder %s is removed at the next start of Windows", where);
    int restart = moved->to.count > 0;
    forgetMoved(moved);
    return restart;
}

// 1 when no install folder of runs is there any more.
static int allFoldersGone(const RemovalRun *runs, int count)
{
    for (int i = 0; i < count; i++)
        if (GetFileAttributesA(runs[i].installDir) != INVALID_FILE_ATTRIBUTES) return 0;
    return 1;
}

/* Removes every installation of runs, then what names the product and the
 * uninstaller, once nothing has failed. The totals in *total. */
static void removeAll(RemovalRun *runs, const RecordList *folders, const char *where, const char *record,
                      const char *journal, int trusted, RemovalRun *total)
{
    int count = folders->count;
    for (int i = 0; i < count && !total->aborted; i++) {
        writeLog("Removing the installation in %s", runs[i].installDir);
        removeInstalledFiles(&runs[i]);
        total->aborted = runs[i].aborted;
    }
    int failed = 0;
    for (int i = 0; i < count; i++) failed += runs[i].failed;
    // With a file left that should have gone, the product stays listed
    // and its record stays, so that a later removal finishes the work. The
    // record the administrators' folder keeps goes last, with the journal:
    // a removal killed before completes from it; one in the install folder
    // goes first, that the folder may go.
    int done = !total->aborted && !failed;
    if (done && !forgetProduct(folders)) failed++;
    if (done && !trusted && !failed && !removeRecord(record)) failed++;
    for (int i = 0; i < count && !total->aborted; i++) removeMadeFolders(&runs[i]);
    if (done && trusted && !failed && !removeRecord(record)) failed++;
    if (done && trusted && !failed && journal) DeleteFileA(journal);
    if (done && !failed && !removeUninstaller(where, trusted, &runs[0].entries)) failed++;
    for (int i = 0; i < count; i++) {
        total->removed += runs[i].removed;
        total->kept += runs[i].kept;
    }
    total->failed = failed;
}

int runUninstall(int unattended, const char *givenDir)
{
    unattendedRun = unattended;
    heldFile[0] = '\0';
    char where[textSize], record[textSize] = "", text[2 * textSize];
    RecordList entries = {}, folders = {};
    RemovalRun *runs = NULL, total = {};
    int found = givenDir ? installationFound : findInstallation(where, sizeof where);
    if (givenDir && normalFolderForm(givenDir, where, sizeof where) != 0) found = 0;
    if (found == installationFolderGone) return forgetGoneInstallation(where, unattended);
    int trusted = found && isDataFolder(where);
    int read = found ? readRecordIn(where, record, &entries) : -1;
    // A record of no installation at all was never written so: it is not whole.
    if (read == 0 && runsOf(&entries, where, trusted, &folders, &runs) != 0) read = recordNotWhole;
    freeRecordList(&entries);
    if (read != 0) {
        freeRuns(runs, &folders);
        return refuseRecord(read, where, record, unattended);
    }
    const char *dir = folders.entries[0].path;
    if (allFoldersGone(runs, folders.count)) {
        int code = forgetGoneInstallation(dir, unattended);
        if (code == exitInstalled &&
            (!forgetProduct(&folders) || !removeRecord(record) || !removeUninstaller(where, trusted, &runs[0].entries)))
            code = exitIncomplete;
        freeRuns(runs, &folders);
        return code;
    }
    // A removal killed on its way was asked for already: it is completed.
    char journal[textSize] = "";
    int resumed = trusted && journalPath(where, journal) == 0 && GetFileAttributesA(journal) != INVALID_FILE_ATTRIBUTES;
    if (resumed) writeLog("A removal of %s was stopped on its way: it is completed now", productShortName);
    formatText(text, sizeof text, questionFormat, productName);
    MovedFiles moved = {};
    int code = !unattended && !resumed && showMessage(NULL, text, removeCaption, MB_YESNO | MB_ICONQUESTION) != IDYES
                   ? exitCancelled
                   : checkAllBeforeRemoval(runs, folders.count, unattended, &moved);
    if (code == exitCancelled) writeLog("The user chose not to remove %s; exit code %d", productShortName, exitCancelled);
    if (code != exitInstalled) {
        moveBack(&moved);
        forgetMoved(&moved);
        freeRuns(runs, &folders);
        if (code != exitCancelled) writeLog("Removal ended: nothing removed; exit code %d", code);
        return code;
    }
    HANDLE begun = trusted && journal[0] ? CreateFileA(journal, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_FLAG_WRITE_THROUGH, NULL)
                           : INVALID_HANDLE_VALUE;
    if (begun != INVALID_HANDLE_VALUE) CloseHandle(begun);
    removeAll(runs, &folders, where, record, trusted && journal[0] ? journal : NULL, trusted, &total);
    char shown[textSize];
    copyText(shown, sizeof shown, dir);
    freeRuns(runs, &folders);
    int restart = finishMovedFiles(&moved, total.aborted || total.failed, where);
    if (total.aborted) {
        writeLog("Removal stopped: %d file(s) removed; exit code %d", total.removed, exitCancelled);
        return exitCancelled;
    }
    code = total.failed ? exitIncomplete : restart ? exitRestartNeeded : exitInstalled;
    writeLog("Removal ended: %d file(s) removed, %d kept, %d could not be removed; exit code %d", total.removed,
             total.kept, total.failed, code);
    if (!unattended) showClosing(total, shown);
    return code;
}
