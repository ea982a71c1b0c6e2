// What an installation leaves behind and reads back the next time: WIN.INI,
// setup.ini next to the setup program, userdata.ini and quillmrk.dat.
#include "install/settings.h"

#include <windows.h>

#include <cstdio>

#include "install/install_state.h"
#include "install/paths.h"
#include "install/setup_log.h"
#include "install/text.h"
#include "ownerdata/characters.h"
#include "ownerdata/records.h"
#include "transaction/journal.h"

static const char winIniSection[] = "Quillmark";
static const char ownerDataName[] = "quillmrk.dat";
enum { scrambledMode = 1, definedValueSize = 500 };

// The owner data file of directory dir; "" when the name does not fit, which
// then opens nothing.
static void ownerDataPath(const char *dir, char *path, int size)
{
    formatText(path, size, "%s\\%s", dir, ownerDataName);
}

// Fills name, department and organisation from an earlier installation.
static void loadOwnerData()
{
    char path[textSize];
    int handle;
    ownerDataPath(installState.installDir, path, sizeof path);
    if (openRecordFile(path, scrambledMode, &handle) != recordOk) return;
    // userdata.ini wins for the name and the department; the owner data
    // file only fills what is still empty.
    if (installState.userName[0] == '\0') getRecordValue(handle, "User", 1, installState.userName);
    if (installState.department[0] == '\0') getRecordValue(handle, "Dept", 1, installState.department);
    getRecordValue(handle, "Company", 1, installState.organisation);
    closeRecordFile(handle);
}

/*
 * Prefills the dialog from what an earlier installation left: the install
 * directory from WIN.INI, name and department from userdata.ini, then what is
 * still missing from the owner data file. Nothing without a "BinDirectory".
 */
void loadUserDefaults()
{
    char binDir[textSize];
    char prefDir[textSize];
    char userData[textSize];
    GetProfileStringA(winIniSection, "BinDirectory", "", binDir, sizeof binDir);
    if (binDir[0] == '\0') return;
    copyText(installState.installDir, textSize, binDir);

    GetProfileStringA(winIniSection, "PrefDirectory", "", prefDir, sizeof prefDir);
    if (prefDir[0] != '\0' && formatText(userData, sizeof userData, "%s\\userdata.ini", prefDir) == 0) {
        GetPrivateProfileStringA("User Data", "UserName", "", installState.userName, textSize, userData);
        GetPrivateProfileStringA("User Data", "Department", "", installState.department, textSize, userData);
        // A longer value comes back cut at the limit, maybe inside a character.
        keepWholeCharacters(installState.userName);
        keepWholeCharacters(installState.department);
    }
    loadOwnerData();
}

static void writeDefinedValue(const char *key, const char *value)
{
    char line[definedValueSize];
    if (formatText(line, sizeof line, "%s, Lock=Yes", value) != 0) return;
    WritePrivateProfileStringA("Defined Values", key, line, installState.setupIniPath);
}

// The user's values for the configuration program, next to the setup program.
void writeDefinedValues()
{
    // Without a path the profile call would pick a file of its own.
    if (installState.setupIniPath[0] == '\0') return;
    writeDefinedValue("UserName", installState.userName);
    writeDefinedValue("UserDept", installState.department);
    writeDefinedValue("PrefDir", installState.prefsSourceDir);
}

// Whether every byte of the file can be read.
static int bytesReadable(const char *path)
{
    FILE *file = fopen(path, "rb");
    if (!file) return 0;
    char buffer[512];
    while (fread(buffer, 1, sizeof buffer, file) == sizeof buffer) continue;
    int readable = !ferror(file);
    fclose(file);
    return readable;
}

/* Whether an owner data file that did not load is a failure to store the
 * values: one that is there but cannot be opened or read (in use, a folder
 * of that name), or one that should be there and is not. A file whose bytes
 * read but do not load is damaged, and one the medium never had stays
 * missing: neither is a failure. */
static int loadFailed(const char *path)
{
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return installState.ownerDataExpected;
    return !bytesReadable(path);
}

/*
 * Stores name, department and organisation in the owner data file of the
 * install directory. The file is saved only when all three keys were found,
 * so a file from the medium that lacks one stays as it came; that is no
 * failure. Returns 0, or -1 when the values were to be stored and could not
 * be (the medium's file still to come, no memory, a failed write); the path
 * then names the file. On 0 it names the file saved, or is "" when none was.
 */
int saveUserData(char *path, int pathSize)
{
    static const char *const keys[] = {"User", "Dept", "Company"};
    const char *const values[] = {installState.userName, installState.department, installState.organisation};
    int handle;
    ownerDataPath(installState.notedInstallDir, path, pathSize);
    // What the directory holds is not the medium's file.
    if (installState.ownerDataUnread) return -1;
    int status = openRecordFile(path, scrambledMode, &handle);
    if (status != recordOk) {
        if (status == recordNoMemory || loadFailed(path)) return -1;
        path[0] = '\0';
        return 0;
    }
    for (int i = 0; i < 3 && status == recordOk; i++) status = setRecordValue(handle, keys[i], 1, values[i]);
    // An earlier installation's file stays whole until the installation completes.
    if (status == recordOk && keepBeforeWriting(path) != 0) status = recordWriteFailed;
    if (status == recordOk) status = saveRecordFile(handle, path, scrambledMode);
    closeRecordFile(handle);
    if (status == recordNoKey) path[0] = '\0';
    return status == recordOk || status == recordNoKey ? 0 : -1;
}

int ownerDataFormHolds(const char *source)
{
    int handle;
    int status = openRecordFile(source, scrambledMode, &handle);
    if (status == recordOk) closeRecordFile(handle);
    if (status == recordOk || status == recordCannotOpen || status == recordNoMemory) return 1;
    writeLog("File %s damaged on the medium: the owner data store cannot read it", source);
    return 0;
}

// Before a Retry of the save, from a folder: the medium's file where it is
// missing or still to come. From a disk set nothing is read: the disk in the
// drive is not the one the file came on.
void restoreOwnerData()
{
    char path[textSize];
    if (!installState.directorySource) return;
    ownerDataPath(installState.notedInstallDir, path, sizeof path);
    if (installState.ownerDataUnread || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) placeOwnerData();
}

// WIN.INI's full path: the file in the Windows directory.
static void winIniPath(char *path, int size)
{
    char dir[textSize];
    UINT length = GetWindowsDirectoryA(dir, sizeof dir);
    if (length == 0 || length >= sizeof dir) {
        copyText(path, size, "WIN.INI");
        return;
    }
    // Only a root directory ends in a backslash.
    const char *last = lastCharacter(dir);
    formatText(path, size, "%s%sWIN.INI", dir, last && *last == '\\' ? "" : "\\");
}

/*
 * Records the install directory in WIN.INI in its short form and sets the
 * path the completion question starts the configuration program from.
 * Returns 0, or -1 when an entry could not be written (WIN.INI in use, no
 * access); the path names WIN.INI either way.
 */
int registerInstallDirs(char *path, int pathSize)
{
    char shortDir[textSize];
    char prefDir[textSize];
    shortPathOf(installState.notedInstallDir, shortDir, sizeof shortDir);
    winIniPath(path, pathSize);
    if (keepProfileEntry(path, winIniSection, "BinDirectory") != 0 ||
        keepProfileEntry(path, winIniSection, "PrefDirectory") != 0)
        return -1;
    int written = WriteProfileStringA(winIniSection, "BinDirectory", shortDir) != 0;
    formatText(installState.configProgramPath, textSize, "%s\\qmsetup.exe", shortDir);
    // A preferences path that does not fit is removed rather than left
    // pointing at an earlier installation.
    const char *prefValue = formatText(prefDir, sizeof prefDir, "%s\\PREFS", shortDir) == 0 ? prefDir : NULL;
    if (!WriteProfileStringA(winIniSection, "PrefDirectory", prefValue)) written = 0;
    return written ? 0 : -1;
}
