// Source mode, the paths derived from the setup program's own location, and
// the long form of the install directory.
#include "install/paths.h"
#include "install/program_image.h"

#include <windows.h>
#include <lzexpand.h>
#include <io.h>
#include <cstring>

#include "copy/transfer.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "install/settings.h"
#include "install/text.h"
#include "ownerdata/characters.h"
#include "shell/shell.h"

enum {
    longestPathSize = 32768,  // the platform's longest path, 32,767 characters, and the NUL
    longestMediumName = 12,   // the release tables hold short (8.3) names only
};

static char programFileOverride[longestPathSize]; // stands in for the module file name
static int useProgramFileOverride;
static char programFile[longestPathSize];         // the module file name, whole, or ""

void setProgramFileName(const char *fileName)
{
    useProgramFileOverride = fileName != NULL;
    copyText(programFileOverride, sizeof programFileOverride, fileName ? fileName : "");
}

/* Wine gives a program started from a share its name as "UNC\server\share\
 * SETUP.EXE", where Windows gives "\\server\share\SETUP.EXE": a module name
 * is always a full path, so "UNC\" can only stand for the two backslashes. */
static void toNetworkPath(char *fileName)
{
    if (strncmp(fileName, "UNC\\", 4) != 0 && strncmp(fileName, "unc\\", 4) != 0) return;
    memmove(fileName + 1, fileName + 3, strlen(fileName + 3) + 1);
    fileName[0] = '\\';
}

// The full file name of the running program, asked with room for the
// longest path there is; "" when it cannot be had whole: a cut name would
// point at some other directory.
static const char *programFileName()
{
    if (useProgramFileOverride) return programFileOverride;
    DWORD length = GetModuleFileNameA(NULL, programFile, sizeof programFile);
    if (length == 0 || length >= sizeof programFile) programFile[0] = '\0';
    toNetworkPath(programFile);
    return programFile;
}

// Characters before the last backslash of fileName, or -1 when it has none.
static int folderLength(const char *fileName)
{
    const char *lastSlash = lastCharacterOf(fileName, "\\");
    return lastSlash ? (int)(lastSlash - fileName) : -1;
}

int programFolderUsable()
{
    int length = folderLength(programFileName());
    return length > 0 && length + 1 + longestMediumName <= textSize - 1;
}

int pathInDir(const char *dir, const char *name, char *path, int size)
{
    const char *last = lastCharacter(dir);
    const char *separator = last && *last == '\\' ? "" : "\\";
    return formatText(path, size, "%s%s%s", dir, separator, name);
}

int nextPathComponent(const char **cursor, char *component, int size)
{
    const char *p = *cursor;
    while (*p == '\\') p++;
    if (*p == '\0') {
        *cursor = p;
        return 0;
    }
    // A backslash separates only where a character starts: it is also the
    // second byte of many double-byte characters.
    const char *end = p;
    while (*end != '\0' && *end != '\\') end = nextCharacter(end);
    int length = (int)(end - p);
    *cursor = end;
    if (length >= size) {
        component[0] = '\0';
        return -1;
    }
    memcpy(component, p, length);
    component[length] = '\0';
    return 1;
}

int shortPathOf(const char *path, char *result, int resultSize)
{
    char shortForm[textSize];
    // With a limit of 255 a short form that fits comes back as its length
    // (at most 254); anything else is a failure or the size it would need.
    DWORD length = GetShortPathNameA(path, shortForm, textSize - 1);
    if (length > 0 && length < textSize - 1) return copyText(result, resultSize, shortForm);
    return copyText(result, resultSize, path);
}

void detectSourceMode()
{
    const char *fileName = programFileName();

    // A name without a drive letter (a network share) counts as a drive of
    // unknown type; asking for the root of "" would ask about the current drive.
    UINT type = DRIVE_UNKNOWN;
    if (fileName[0] != '\0' && fileName[1] == ':') {
        char root[4] = {fileName[0], ':', '\\', '\0'};
        type = GetDriveTypeA(root) & 0xFFFF;
    }
    installState.directorySource = 1;
    if (type == DRIVE_REMOVABLE && _access("quillmrk.dat", 2) == 0) installState.directorySource = 0;
}

// The medium's quillmrk.dat, beside the setup program; 0, or -1 when the
// name does not fit, which then names no file.
static int ownerDataSource(char *source, int size)
{
    return formatText(source, size, "%squillmrk.dat", installState.sourceDir);
}

/* Copies the medium's owner data file into the install directory: a
 * TransferResult. *damaged is 1 when the file is there but the owner data
 * store cannot read it: it is then not copied, and the failed copy's box
 * says so as for any damaged file. */
static int copyOwnerData(int *damaged)
{
    char source[textSize];
    char shortDir[textSize];
    char destination[textSize];
    *damaged = 0;
    // A name that does not fit is a file that cannot be opened, or made.
    if (ownerDataSource(source, sizeof source) != 0) return transferNoSource;
    if (shortPathOf(installState.notedInstallDir, shortDir, sizeof shortDir) != 0) return transferNotCreated;
    if (formatText(destination, sizeof destination, "%s\\quillmrk.dat", shortDir) != 0) return transferNotCreated;
    // Tables made without the release's files check nothing.
    if (releaseFileBesideProgram("quillmrk.dat") && !ownerDataFormHolds(source)) {
        *damaged = 1;
        showMessage(mainWindow, source, destination, MB_OK);
        return transferDone;
    }
    LZStart();
    int result = transferCheckedFile(source, destination, nullptr);
    LZDone();
    return result;
}

void placeOwnerData()
{
    char source[textSize];
    int damaged;
    int result = copyOwnerData(&damaged);
    // A source that is there and does not open (held by another program, no
    // access) is still to come; only a medium without one has none.
    // A damaged one is as good as unread: the user's values cannot go into it.
    installState.ownerDataUnread = damaged || (result == transferNoSource &&
                                   ownerDataSource(source, sizeof source) == 0 &&
                                   GetFileAttributesA(source) != INVALID_FILE_ATTRIBUTES);
    installState.ownerDataExpected = result != transferNoSource || installState.ownerDataUnread;
}

/* The drive and the folder the medium is read from, from the running
 * program's file name, into dir (without its final backslash) and
 * installState: 0, or -1 when there is none whole. */
static int noteSourceFolder(char *dir)
{
    const char *fileName = programFileName();
    if (fileName[0] == '\0') return -1;
    installState.sourceDrive = fileName[0];

    // A folder too long to hold is not used at all rather than cut short.
    int length = folderLength(fileName);
    if (length < 0 || length >= textSize) return -1;
    lstrcpynA(dir, fileName, length + 1);
    formatText(installState.sourceDir, textSize, "%s\\", dir);
    return 0;
}

int prepareSource()
{
    char dir[textSize];
    return noteSourceFolder(dir);
}

int preparePaths()
{
    char dir[textSize];
    if (noteSourceFolder(dir) != 0) return 0;
    copyText(installState.notedInstallDir, textSize, installState.installDir);
    // From a folder the owner data file arrives here, ahead of the other
    // files; from a disk set it comes with the walk.
    installState.ownerDataExpected = installState.ownerDataUnread = 0;
    if (installState.directorySource) placeOwnerData();
    // A path too long to hold is left empty rather than cut short.
    formatText(installState.prefsSourceDir, textSize, "%s\\prefs", dir);
    formatText(installState.setupIniPath, textSize, "%s\\setup.ini", dir);
    keepProgramImage();
    return 0;
}

static int hasWildcard(const char *name)
{
    return strpbrk(name, "*?") != NULL;
}

// Replaces the last component of path, which starts at stem, by the name the
// file system stores for it. 0, or -1 when the stored name does not fit.
static int useStoredName(char *path, int size, int stem)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    path[stem] = '\0';
    return appendText(path, size, found.cFileName);
}

// \\server\share...: two backslashes and a server name, which never holds a
// colon (\\C:\dir is a drive path with stray backslashes).
static int isNetworkPath(const char *path)
{
    if (path[0] != '\\' || path[1] != '\\' || path[2] == '\\' || path[2] == '\0') return 0;
    for (const char *p = path + 2; *p != '\0' && *p != '\\'; p = nextCharacter(p))
        if (*p == ':') return 0;
    return 1;
}

void canonicalizeDir(const char *path, char *result, int resultSize)
{
    char rebuilt[textSize] = "";
    char component[textSize];
    const char *cursor = path;
    int count = 0;
    int status;
    // A network path keeps the two backslashes that make it one; its server
    // and share are its root, like a drive, and are not looked up.
    int rootComponents = 1;
    if (isNetworkPath(path)) {
        copyText(rebuilt, sizeof rebuilt, "\\\\");
        rootComponents = 2;
    }
    while ((status = nextPathComponent(&cursor, component, sizeof component)) == 1) {
        if (count > 0 && appendText(rebuilt, sizeof rebuilt, "\\") != 0) break;
        int stem = (int)strlen(rebuilt);
        if (appendText(rebuilt, sizeof rebuilt, component) != 0) break;
        // A wildcard would find some other entry and put its name in place
        // of the one typed.
        if (count >= rootComponents && !hasWildcard(component) && useStoredName(rebuilt, sizeof rebuilt, stem) != 0)
            break;
        count++;
    }
    // A rebuilt path that does not fit, or no component at all, leaves the
    // path as it was given: it still names the same directory.
    if (status != 0 || count == 0 || copyText(result, resultSize, rebuilt) != 0) copyText(result, resultSize, path);
}
