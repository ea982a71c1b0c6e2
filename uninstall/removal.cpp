// Removes exactly what the record names, in an order that leaves nothing
// half-done behind: files first, then what points at them, the record and
// the registration last, and only once every file that should go is gone.
#include "uninstall/removal.h"

#include <windows.h>

#include <cstring>

#include "install/install_state.h"
#include "install/paths.h"
#include "install/setup_log.h"
#include "uninstall/checked_removal.h"
#include "uninstall/record_paths.h"
#include "uninstall/registration.h"

const char removalJournalName[] = "QMREMOVE.JNL";

int fileUseOf(const char *path, unsigned long *error)
{
    // Alone and with the right to delete: any other program's handle on
    // the file (a running program's image too) makes this open fail.
    HANDLE file = CreateFileA(path, GENERIC_READ | DELETE, 0, NULL, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return fileFree;
    }
    *error = GetLastError();
    if (*error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND) return fileFree;
    return *error == ERROR_SHARING_VIOLATION || *error == ERROR_LOCK_VIOLATION ? fileInUse : fileUnremovable;
}

void describeError(unsigned long error, char *text, int size)
{
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        copyText(text, size, "the file is in use by another program");
        return;
    }
    if (error == ERROR_ACCESS_DENIED) {
        copyText(text, size, "access is denied");
        return;
    }
    char system[textSize];
    if (!systemErrorText(error, system, sizeof system)) {
        copyText(text, size, system);
        return;
    }
    // The system's text ends with its own full stop.
    size_t length = strlen(system);
    while (length > 0 && system[length - 1] == '.') system[--length] = '\0';
    formatText(text, size, "%s (error %lu)", system, error);
}

/* Removes the file at path when it is still as installed (installed null:
 * whatever it holds). A file that cannot be read or deleted is the user's
 * to retry, leave or abort on; each outcome is logged once. A
 * CheckedResult: checkedFailed after Abort (run->aborted) or Ignore. */
static int removeFile(RemovalRun *run, const CheckedFolder *folder, const char *path, const RecordEntry *installed)
{
    DWORD logged = (DWORD)-1;  // the error last logged for this file: none yet
    for (;;) {
        DWORD error = 0;
        char reason[textSize];
        int result = removeRecordedFile(folder, path, installed, &error);
        switch (result) {
        case checkedGone:
            return result;
        case checkedRemoved:
            run->removed++;
            writeLog("Removed %s", path);
            return result;
        case checkedChanged:
            run->kept++;
            writeLog("Kept, changed since it was installed: %s", path);
            return result;
        case checkedElsewhere:
            run->failed++;
            writeLog("Not touched, it leads out of %s through a link: %s", folder->folder, path);
            return result;
        default:
            break;
        }
        if (error != logged) {
            describeError(error, reason, sizeof reason);
            writeLog("Cannot remove %s: %s", path, reason);
            logged = error;
        }
        switch (run->askAboutFile(path, error)) {
        case removalRetry:
            continue;
        case removalAbort:
            run->aborted = 1;
            writeLog("Removal stopped by the user at %s", path);
            return checkedFailed;
        default:
            run->failed++;
            writeLog("Not removed: %s", path);
            return checkedFailed;
        }
    }
}

/* The [Quillmark] entries when they point at dir (another installation
 * since elsewhere keeps its own), and the section when nothing else is left
 * in it. WIN.INI holds the folder as it was typed: both sides are compared
 * in normal form. 1 when none of them is left. */
/* 1 when value, a folder as typed at the installation, is dir (normal
 * form): its short form, or its "." levels and trailing dots resolved. */
static int namesFolder(const char *value, const char *dir)
{
    char shortDir[textSize], full[MAX_PATH + 1], longName[textSize];
    shortPathOf(dir, shortDir, sizeof shortDir);
    if (samePath(value, shortDir) || samePath(value, dir)) return 1;
    DWORD length = GetFullPathNameA(value, sizeof full, full, NULL);
    if (length == 0 || length >= sizeof full) return 0;
    withoutTrailingDots(full);
    return longPathOf(full, longName, sizeof longName) >= 0 && samePath(longName, dir);
}

static int removeWinIniEntries(const char *dir)
{
    char value[textSize], keys[8];
    if (GetProfileStringA(productShortName, "BinDirectory", "", value, sizeof value) == 0) return 1;
    if (!namesFolder(value, dir)) {
        writeLog("WIN.INI: BinDirectory is \"%s\", not this installation: its entries stay", value);
        return 1;
    }
    int written = WriteProfileStringA(productShortName, "BinDirectory", NULL) &&
                  WriteProfileStringA(productShortName, "PrefDirectory", NULL);
    if (written && GetProfileStringA(productShortName, NULL, "", keys, sizeof keys) == 0)
        written = WriteProfileStringA(productShortName, NULL, NULL);
    if (!written) {
        writeLog("WIN.INI could not be written: its [%s] entries stay", productShortName);
        return 0;
    }
    writeLog("WIN.INI: the [%s] entries removed", productShortName);
    return 1;
}

// 1 when list holds a folder that is path (any form).
static int findSamePath(const RecordList *list, const char *path)
{
    for (int i = 0; i < list->count; i++)
        if (samePath(list->entries[i].path, path)) return 1;
    return 0;
}

// The product's entry in the registry, under either root, when it names one of folders.
static void removeRegistration(const RecordList *folders)
{
    static const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    for (HKEY root : roots) {
        char location[textSize];
        if (!registeredLocation(root, location, sizeof location) || !findSamePath(folders, location)) continue;
        if (RegDeleteKeyA(root, uninstallKeyPath) == ERROR_SUCCESS)
            writeLog("Registration removed: %s\\%s", root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU", uninstallKeyPath);
    }
}

int removeRegistrationOf(const char *dir)
{
    RecordList folders = {};
    int left = !removeWinIniEntries(dir);
    if (appendEntry(&folders, recordedInstallation, 0, 0, dir) == 0) removeRegistration(&folders);
    freeRecordList(&folders);
    return !left;
}

int forgetProduct(const RecordList *folders)
{
    int left = 0;
    for (int i = 0; i < folders->count; i++) left += !removeWinIniEntries(folders->entries[i].path);
    if (left) return 0;
    removeRegistration(folders);
    return 1;
}

int removeRecord(const char *record)
{
    DWORD attributes = GetFileAttributesA(record);
    if (attributes != INVALID_FILE_ATTRIBUTES && !DeleteFileA(record)) {
        writeLog("The record %s could not be removed", record);
        return 0;
    }
    writeLog("Removed %s", record);
    return 1;
}

// The files and folders the user added to the directories the installations made.
static int countAddedFiles(const RecordList *dirs, const RecordList *recorded)
{
    int added = 0;
    for (int i = 0; i < dirs->count; i++) {
        const char *dir = dirs->entries[i].path;
        char pattern[textSize];
        if (pathInDir(dir, "*", pattern, sizeof pattern) != 0) continue;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern, &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            char path[textSize];
            int folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0 ||
                lstrcmpiA(found.cFileName, uninstallerFileName) == 0 ||
                lstrcmpiA(found.cFileName, recordFileName) == 0 || pathInDir(dir, found.cFileName, path, sizeof path) != 0 || findPath(folder ? dirs : recorded, path))
                continue;
            added++;
            writeLog("Kept, not installed by %s: %s%s", productShortName, path, folder ? "\\" : "");
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return added;
}

/* The door: only what lies inside the install folder, reached through no
 * link, is ever touched. Each entry refused is named and counts as not
 * removed. 0, or -1 when nothing may be touched at all. */
static int keepWhatIsInside(RemovalRun *run, CheckedFolder *folder)
{
    RecordList refused = {};
    int kept = keepEntriesInside(run->installDir, run->levelsTrusted, &run->entries, &refused);
    for (int i = 0; i < refused.count; i++)
        writeLog("Not touched, outside %s: %s", run->installDir, refused.entries[i].path);
    run->failed += refused.count;
    freeRecordList(&refused);
    if (kept != 0) {
        writeLog("Not enough memory to read the record of %s", run->installDir);
        return -1;
    }
    int check = checkInstallFolder(run->installDir, folder);
    if (check == folderLinked) {
        writeLog("Not touched: %s is a link, lies in one or is another folder's name, so the record may name "
                 "files elsewhere", run->installDir);
        return -1;
    }
    return 0;
}

/* Looks again at every file that went or was gone: one still there, or
 * not there through a folder changed since, was reached through a changed
 * path. The number of those. */
static int notGone(const CheckedFolder *folder, const RecordList *files)
{
    int left = 0;
    for (int i = 0; i < files->count; i++) {
        const char *path = files->entries[i].path;
        if (confirmedGone(folder, path)) continue;
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) writeLog("Still there after its removal: %s", path);
        else writeLog("Not known to be gone, a folder on its way was changed: %s", path);
        left++;
    }
    return left;
}

void removeInstalledFiles(RemovalRun *run)
{
    RecordList files = {}, gone = {};
    CheckedFolder folder;
    char path[textSize];
    if (keepWhatIsInside(run, &folder) != 0) {
        run->failed++;
        return;
    }
    int owner = pathInDir(run->installDir, "quillmrk.dat", path, sizeof path) == 0 &&
                appendEntry(&files, recordedFile, 0, 0, path) == 0;
    if (!owner || latestFiles(&run->entries, &files) != 0) {
        // Without memory to sort the record, nothing is touched.
        run->failed++;
        writeLog("Not enough memory to read the record of %s", run->installDir);
    } else {
        // The owner data file (first) is the installation's whatever it holds.
        for (int i = 0; i < files.count && !run->aborted; i++) {
            const RecordEntry *entry = &files.entries[i];
            int result = removeFile(run, &folder, entry->path, i == 0 ? NULL : entry);
            if ((result == checkedGone || result == checkedRemoved) &&
                appendEntry(&gone, entry->kind, 0, 0, entry->path) != 0)
                run->failed++;
        }
        if (!run->aborted) run->failed += notGone(&folder, &gone);
    }
    freeRecordList(&files);
    freeRecordList(&gone);
}

void removeMadeFolders(RemovalRun *run)
{
    RecordList files = {}, dirs = {};
    CheckedFolder folder;
    char path[textSize];
    if (checkInstallFolder(run->installDir, &folder) == folderLinked || latestFiles(&run->entries, &files) != 0 ||
        madeDirectories(&run->entries, &dirs) != 0) {
        freeRecordList(&files);
        freeRecordList(&dirs);
        return;
    }
    for (int i = 0; i < dirs.count; i++)
        if (removeRecordedFolder(&folder, dirs.entries[i].path))
            writeLog("Removed the folder %s", dirs.entries[i].path);
    // The owner data file counts as the installation's, not as the user's.
    if (pathInDir(run->installDir, "quillmrk.dat", path, sizeof path) == 0 &&
        appendEntry(&files, recordedFile, 0, 0, path) == 0)
        run->kept += countAddedFiles(&dirs, &files);
    freeRecordList(&files);
    freeRecordList(&dirs);
}
