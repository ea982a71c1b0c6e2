// The uninstaller's run: find the installation, ask, remove, report.
#include "uninstall/uninstaller.h"

#include <windows.h>

#include "deploy/exit_codes.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "install/paths.h"
#include "install/setup_log.h"
#include "ownerdata/characters.h"
#include "uninstall/delayed_removal.h"
#include "uninstall/install_record.h"
#include "uninstall/program_image.h"
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

enum { unattendedRetryMs = 5000, unattendedPauseMs = 250 };

static int unattendedRun;   // 1 with /S: no window, answers by policy
static DWORD giveUpTime;    // unattended: when the file now in use is left
static char heldFile[textSize]; // unattended: that file

/* A file that will not go. Unattended, a program being closed lets go of
 * it within a few seconds: it is tried again for a while, then left (and
 * named in the log). */
static RemovalAnswer askAboutFile(const char *path)
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
    char text[2 * textSize];
    formatText(text, sizeof text, inUseFormat, path);
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

/* The install directory: the uninstaller's own folder when it holds a
 * record (the copy an installation left), else the one the registration
 * names (SETUP.EXE started with the switch from the medium). 1 when found. */
static int findInstallation(char *dir, int size)
{
    char program[programPathSize];
    if (runningProgramPath(program, sizeof program) == 0) {
        const char *slash = lastCharacterOf(program, "\\");
        if (slash) {
            // A drive's root keeps its backslash.
            program[slash - program + (slash > program && slash[-1] == ':' ? 1 : 0)] = '\0';
            if (recordIn(program)) return copyText(dir, size, program) == 0;
        }
    }
    static const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    for (HKEY root : roots) {
        char location[textSize];
        if (registeredLocation(root, location, sizeof location) && recordIn(location))
            return copyText(dir, size, location) == 0;
    }
    return 0;
}

static int isMadeDirectory(const RecordList *entries, const char *dir)
{
    for (int i = 0; i < entries->count; i++)
        if (entries->entries[i].kind == recordedDirectory && lstrcmpiA(entries->entries[i].path, dir) == 0) return 1;
    return 0;
}

/* The uninstaller's own file, and its folder when an installation made it.
 * A running program cannot delete its own file: that is left to the next
 * start of Windows. */
static void removeUninstaller(const char *dir, const RecordList *entries)
{
    char uninstaller[textSize], program[programPathSize];
    if (pathInDir(dir, uninstallerFileName, uninstaller, sizeof uninstaller) != 0) return;
    int made = isMadeDirectory(entries, dir);
    if (runningProgramPath(program, sizeof program) != 0 || lstrcmpiA(program, uninstaller) != 0) {
        if (DeleteFileA(uninstaller)) writeLog("Removed %s", uninstaller);
        if (made && RemoveDirectoryA(dir)) writeLog("Removed the folder %s", dir);
        return;
    }
    if (removeAtRestart(uninstaller)) writeLog("%s is removed at the next start of Windows", uninstaller);
    else writeLog("%s could not be marked for removal at the next start of Windows", uninstaller);
    if (made && removeAtRestart(dir)) writeLog("The folder %s is removed at the next start of Windows", dir);
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

int runUninstall(int unattended)
{
    unattendedRun = unattended;
    heldFile[0] = '\0';
    char dir[textSize], record[textSize], text[2 * textSize];
    RemovalRun run = {};
    if (!findInstallation(dir, sizeof dir) || pathInDir(dir, recordFileName, record, sizeof record) != 0 ||
        readInstallRecord(record, &run.entries) != 0) {
        writeLog("Nothing to remove: no record of an installation beside the program or where the "
                 "registration points; exit code %d", exitNothingInstalled);
        formatText(text, sizeof text, notInstalledFormat, productName);
        if (!unattended) showMessage(NULL, text, removeCaption, MB_ICONINFORMATION | MB_OK);
        freeRecordList(&run.entries);
        return exitNothingInstalled;
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
