#include "uninstall/registration.h"

#include <cstring>

#include "copy/manifest.h"
#include "install/install_state.h"
#include "install/paths.h"
#include "install/program_image.h"
#include "install/setup_log.h"
#include "ownerdata/characters.h"
#include "transaction/data_folder.h"
#include "transaction/run_record.h"
#include "uninstall/checked_removal.h"
#include "uninstall/delayed_removal.h"
#include "uninstall/folder_rights.h"
#include "uninstall/install_record.h"
#include "uninstall/record_paths.h"
#include "uninstall/removal.h"

const char uninstallKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmark";
const char uninstallSwitch[] = "/UNINSTALL";
const char samplesValueName[] = "SampleFiles";

static const char machineRootName[] = "HKEY_LOCAL_MACHINE";

static int setText(HKEY key, const char *name, const char *value)
{
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)value, (DWORD)strlen(value) + 1) == ERROR_SUCCESS;
}

static int setNumber(HKEY key, const char *name, DWORD value)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&value, sizeof value) == ERROR_SUCCESS;
}

// GetFileAttributesExA is missing from the first Windows 95: the search gives the size too.
static unsigned long fileKilobytes(const char *path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    return (found.nFileSizeLow + 1023) / 1024;
}

/* The entry's values under root: 1 when every one was written. An upgrade
 * opens the same key and replaces each value; a publisher the new release
 * does not name is taken away. */
static int writeEntry(HKEY root, const char *dir, const char *uninstaller, const char *record)
{
    HKEY key;
    if (RegCreateKeyExA(root, uninstallKeyPath, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS)
        return 0;
    // The commands hold the uninstaller's path, which may take a whole text.
    char name[textSize], command[2 * textSize], quiet[2 * textSize];
    int fits = formatText(name, sizeof name, "%s %s", productName, releaseVersion) == 0 &&
               formatText(command, sizeof command, "\"%s\" %s", uninstaller, uninstallSwitch) == 0 &&
               formatText(quiet, sizeof quiet, "%s /S", command) == 0;
    int written = fits && setText(key, "DisplayName", name) && setText(key, "DisplayVersion", releaseVersion) &&
                  setText(key, "InstallLocation", dir) &&
                  setText(key, "UninstallString", command) && setText(key, "QuietUninstallString", quiet) &&
                  setNumber(key, "EstimatedSize", recordedKilobytes() + fileKilobytes(uninstaller) + fileKilobytes(record)) &&
                  setNumber(key, "NoModify", 1) && setNumber(key, "NoRepair", 1) &&
                  setNumber(key, samplesValueName, installState.installSamples ? 1 : 0);
    if (written && releasePublisher[0]) written = setText(key, "Publisher", releasePublisher);
    if (written && !releasePublisher[0]) RegDeleteValueA(key, "Publisher");
    RegCloseKey(key);
    return written;
}

static int failedAt(char *path, int pathSize, const char *what)
{
    copyText(path, pathSize, what);
    return -1;
}

/* The install folder in the one form the key, the record and the removal
 * use: full, its "." and ".." levels resolved, without doubled or trailing
 * backslashes, a trailing dot or blank (which Windows drops) or short
 * names (WIN.INI keeps it as typed). 0, or -1 when it does not fit. */
static int installFolder(char *dir, int size)
{
    char full[MAX_PATH + 1], longName[MAX_PATH + 1];
    const char *typed = installState.notedInstallDir;
    // "C:" alone is the drive's root, as the installation took it.
    if (typed[0] != '\0' && typed[1] == ':' && typed[2] == '\0') return normalFolderForm(typed, dir, size);
    DWORD length = GetFullPathNameA(typed, sizeof full, full, NULL);
    if (length == 0 || length >= sizeof full) return -1;
    withoutTrailingDots(full);
    return longPathOf(full, longName, sizeof longName) >= 0 ? normalFolderForm(longName, dir, size) : -1;
}

/* Where the uninstaller and its record live: the product's data folder,
 * which only administrators write, whatever the install folder is. A user
 * who may not make it (an installation for himself alone) keeps them in the
 * install folder, as his own. 0, or -1 when neither can be had. */
static int removalFolder(const char *dir, char *folder)
{
    char aside[textSize];
    if (makeProductDataFolder(folder, textSize) != 0) {
        writeLog("The folder %s cannot be made: the uninstaller stays in %s", folder, dir);
        return copyText(folder, textSize, dir);
    }
    if (folderOwnedByAdministrators(folder)) return 0;
    // A folder of that name another user made before is his, whatever its
    // rights say: it is put aside, unread, and the product's own made anew.
    if (formatText(aside, sizeof aside, "%s.%lu", folder, GetTickCount()) == 0 && MoveFileA(folder, aside) &&
        makeProductDataFolder(folder, textSize) == 0 && folderOwnedByAdministrators(folder)) {
        writeLog("The folder %s was made by another user: moved to %s, unread", folder, aside);
        return 0;
    }
    writeLog("The folder %s was made by another user and cannot be put aside", folder);
    return -1;
}

// The install folder, and the uninstaller's and the record's paths
// (textSize bytes each): 0, or -1 when one does not fit.
static int uninstallerPaths(char *dir, char *uninstaller, char *record)
{
    char folder[textSize];
    return installFolder(dir, textSize) == 0 && removalFolder(dir, folder) == 0 &&
                   pathInDir(folder, uninstallerFileName, uninstaller, textSize) == 0 &&
                   pathInDir(folder, recordFileName, record, textSize) == 0
               ? 0
               : -1;
}

/* An installation of the first layout, its record and uninstaller in its
 * install folder old (normal form): its entries, checked as the
 * uninstaller checks them, join the record as its part, and both files go,
 * so that nothing in a folder a user may write is run or read again. */
static void adoptFirstLayout(const char *old, const char *record)
{
    char oldRecord[textSize], oldUninstaller[textSize];
    RecordList entries = {}, refused = {}, none = {};
    if (pathInDir(old, recordFileName, oldRecord, sizeof oldRecord) != 0 || samePath(oldRecord, record) ||
        pathInDir(old, uninstallerFileName, oldUninstaller, sizeof oldUninstaller) != 0)
        return;
    DWORD attributes = GetFileAttributesA(oldRecord);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    int read = readInstallRecord(oldRecord, &entries);
    int adopted = read == 0 && keepEntriesInside(old, 0, &entries, &refused) == 0 &&
                  keepFileBeforeChanging(record) == 0 && appendRecordPart(record, old, NULL, &entries, &none) == 0;
    if (adopted) writeLog("The record %s joins %s", oldRecord, record);
    // Nothing of a damaged one can be trusted; the files of the earlier layout go all the same.
    if (!adopted && read == recordNotWhole) writeLog("The record %s is damaged: it is not taken over", oldRecord);
    // Kept until the installation completes: a run taken back leaves the earlier one removable.
    if ((adopted || read == recordNotWhole) && keepFileBeforeChanging(oldRecord) == 0 &&
        keepFileBeforeChanging(oldUninstaller) == 0) {
        DeleteFileA(oldRecord);
        DeleteFileA(oldUninstaller);
    }
    freeRecordList(&entries);
    freeRecordList(&refused);
}

int writeUninstaller(char *path, int pathSize)
{
    char dir[textSize], uninstaller[textSize], record[textSize], registered[textSize], normal[textSize];
    if (uninstallerPaths(dir, uninstaller, record) != 0) return failedAt(path, pathSize, installState.notedInstallDir);
    // The uninstaller is this program's own file: it takes the same command
    // line, and the switch makes it remove what the record names.
    if (keepFileBeforeChanging(uninstaller) != 0 || !writeProgramImage(uninstaller))
        return failedAt(path, pathSize, uninstaller);
    writeLog("Written: %s", uninstaller);
    // An earlier removal may have left the uninstaller and the directory to
    // the next restart: they are this installation's now, and the folder,
    // made by that earlier one, stays in the record as made.
    cancelRemovalAtRestart(uninstaller);
    if (cancelRemovalAtRestart(dir)) noteMadeDirectory(dir);
    // The earlier installations of the first layout, here and where the key points.
    adoptFirstLayout(dir, record);
    if (registeredLocation(HKEY_LOCAL_MACHINE, registered, sizeof registered) &&
        normalFolderForm(registered, normal, sizeof normal) == 0 && !samePath(normal, dir))
        adoptFirstLayout(normal, record);
    // A removal stopped on its way is not to be completed over this installation.
    char journal[textSize];
    const char *slash = lastCharacterOf(record, "\\");
    if (slash && formatText(journal, sizeof journal, "%.*s\\%s", (int)(slash - record), record, removalJournalName) == 0)
        DeleteFileA(journal);
    char typed[textSize];
    if (normalFolderForm(installState.notedInstallDir, typed, sizeof typed) != 0) typed[0] = '\0';
    if (saveInstallRecord(record, dir, typed) != 0) return failedAt(path, pathSize, record);
    copyText(path, pathSize, record);
    return 0;
}

int registerProduct(char *path, int pathSize)
{
    char dir[textSize], uninstaller[textSize], record[textSize];
    if (uninstallerPaths(dir, uninstaller, record) != 0) return failedAt(path, pathSize, installState.notedInstallDir);
    // A user without rights to the machine's key gets the entry in his own;
    // once the machine's key holds it, an earlier one of his own would be a second.
    formatText(path, pathSize, "%s\\%s", machineRootName, uninstallKeyPath);
    if (writeEntry(HKEY_LOCAL_MACHINE, dir, uninstaller, record)) {
        RegDeleteKeyA(HKEY_CURRENT_USER, uninstallKeyPath);
        // Registered for the machine, what its administrators will run is theirs alone.
        if (runMadeDirectory(dir)) protectInstallFolder(dir);
        return 0;
    }
    formatText(path, pathSize, "HKEY_CURRENT_USER\\%s", uninstallKeyPath);
    if (writeEntry(HKEY_CURRENT_USER, dir, uninstaller, record)) return 0;
    formatText(path, pathSize, "%s\\%s", machineRootName, uninstallKeyPath);
    return -1;
}

int registeredLocation(HKEY root, char *location, int size)
{
    HKEY key;
    if (size < 2 || RegOpenKeyExA(root, uninstallKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    // One byte kept back: a value stored without its terminator still ends.
    DWORD length = (DWORD)size - 1, type = 0;
    ZeroMemory(location, size);
    LONG read = RegQueryValueExA(key, "InstallLocation", NULL, &type, (BYTE *)location, &length);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ && location[0];
}
