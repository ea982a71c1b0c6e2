// Removes exactly what the record names, in an order that leaves nothing
// half-done behind: files first, then what points at them, the record and
// the registration last, and only once every file that should go is gone.
#include "uninstall/removal.h"

#include <windows.h>

#include "install/install_state.h"
#include "install/paths.h"
#include "install/setup_log.h"
#include "uninstall/checksum.h"
#include "uninstall/registration.h"

enum FileState { fileGone, fileAsInstalled, fileChanged, fileUnreadable };

// The size and checksum of the file at path against those it was installed with.
static int stateOf(const char *path, const RecordEntry *installed)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? fileGone : fileUnreadable;
    }
    // A folder of the file's name is the user's.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return fileChanged;
    if (!installed) return fileAsInstalled;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE) return fileUnreadable;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    int state = fileAsInstalled;
    if (high != 0 || size != installed->size) state = fileChanged;
    uint32_t running = checksumStart;
    char buffer[16384];
    DWORD read = 0;
    while (state == fileAsInstalled && ReadFile(file, buffer, sizeof buffer, &read, NULL) && read > 0)
        running = feedChecksum(running, buffer, read);
    CloseHandle(file);
    if (state == fileAsInstalled && finishChecksum(running) != installed->checksum) state = fileChanged;
    return state;
}

/* Removes the file at path when it is still as installed (installed null:
 * whatever it holds). A file that cannot be read or deleted is the user's
 * to retry, leave or abort on. 0 after Abort, else 1. */
static int removeFile(RemovalRun *run, const char *path, const RecordEntry *installed)
{
    for (;;) {
        int state = stateOf(path, installed);
        if (state == fileGone) return 1;
        if (state == fileChanged) {
            run->kept++;
            writeLog("Kept, changed since it was installed: %s", path);
            return 1;
        }
        if (state == fileAsInstalled && DeleteFileA(path)) {
            run->removed++;
            writeLog("Removed %s", path);
            return 1;
        }
        writeLog("Cannot remove %s (error %lu): the file may be in use", path, GetLastError());
        switch (run->askAboutFile(path)) {
        case removalRetry:
            continue;
        case removalAbort:
            run->aborted = 1;
            writeLog("Removal stopped by the user at %s", path);
            return 0;
        default:
            run->failed++;
            writeLog("Not removed: %s", path);
            return 1;
        }
    }
}

/* The [Quillmark] entries when they point at this installation (another
 * one installed since elsewhere keeps its own), and the section when
 * nothing else is left in it. */
static void removeWinIniEntries(RemovalRun *run)
{
    char value[textSize], shortDir[textSize], keys[8];
    GetProfileStringA(productShortName, "BinDirectory", "", value, sizeof value);
    shortPathOf(run->installDir, shortDir, sizeof shortDir);
    if (lstrcmpiA(value, shortDir) != 0 && lstrcmpiA(value, run->installDir) != 0) {
        writeLog("WIN.INI: BinDirectory is \"%s\", not this installation: its entries stay", value);
        return;
    }
    int written = WriteProfileStringA(productShortName, "BinDirectory", NULL) &&
                  WriteProfileStringA(productShortName, "PrefDirectory", NULL);
    if (written && GetProfileStringA(productShortName, NULL, "", keys, sizeof keys) == 0)
        written = WriteProfileStringA(productShortName, NULL, NULL);
    if (!written) {
        run->failed++;
        writeLog("WIN.INI could not be written: its [%s] entries stay", productShortName);
        return;
    }
    writeLog("WIN.INI: the [%s] entries removed", productShortName);
}

// The product's entry in the registry, under either root, when it is this installation's.
static void removeRegistration(const char *dir)
{
    static const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    for (HKEY root : roots) {
        char location[textSize];
        if (!registeredLocation(root, location, sizeof location) || lstrcmpiA(location, dir) != 0) continue;
        if (RegDeleteKeyA(root, uninstallKeyPath) == ERROR_SUCCESS)
            writeLog("Registration removed: %s\\%s", root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU", uninstallKeyPath);
    }
}

// The files the user added to the directories the installations made.
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
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
                lstrcmpiA(found.cFileName, uninstallerFileName) == 0 ||
                lstrcmpiA(found.cFileName, recordFileName) == 0 ||
                pathInDir(dir, found.cFileName, path, sizeof path) != 0 || findPath(recorded, path))
                continue;
            added++;
            writeLog("Kept, not installed by %s: %s", productShortName, path);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return added;
}

// The files of the record, then the owner data file: 0 after Abort.
static int removeFiles(RemovalRun *run, const RecordList *files)
{
    for (int i = 0; i < files->count; i++)
        if (!removeFile(run, files->entries[i].path, &files->entries[i])) return 0;
    char path[textSize];
    return pathInDir(run->installDir, "quillmrk.dat", path, sizeof path) != 0 || removeFile(run, path, NULL);
}

void removeInstallation(RemovalRun *run)
{
    RecordList files = {}, dirs = {};
    char path[textSize];
    if (latestFiles(&run->entries, &files) != 0 || madeDirectories(&run->entries, &dirs) != 0) {
        // Without memory to sort the record, nothing is touched.
        run->failed++;
        writeLog("Not enough memory to read the record of %s", run->installDir);
    } else if (removeFiles(run, &files)) {
        removeWinIniEntries(run);
        // With a file left that should have gone, the product stays listed
        // and its record stays, so that a later removal finishes the work.
        if (!run->failed) {
            if (pathInDir(run->installDir, recordFileName, path, sizeof path) == 0 && DeleteFileA(path))
                writeLog("Removed %s", path);
            removeRegistration(run->installDir);
        }
        for (int i = 0; i < dirs.count; i++)
            if (RemoveDirectoryA(dirs.entries[i].path)) writeLog("Removed the folder %s", dirs.entries[i].path);
        // The owner data file counts as the installation's, not as the user's.
        if (pathInDir(run->installDir, "quillmrk.dat", path, sizeof path) == 0 &&
            appendEntry(&files, recordedFile, 0, 0, path) == 0)
            run->kept += countAddedFiles(&dirs, &files);
    }
    freeRecordList(&files);
    freeRecordList(&dirs);
}
