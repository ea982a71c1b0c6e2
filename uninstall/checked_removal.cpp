#include "uninstall/checked_removal.h"

#include <cstring>

#include "install/checksum.h"
#include "install/text.h"
#include "ownerdata/characters.h"
#include "uninstall/record_paths.h"

// Vista and later: what a handle really opened, and deletion by handle. Older
// systems lack both (and Windows 95/98/Me know no links at all): there the
// checks go by name.
typedef DWORD(WINAPI *FinalPathCall)(HANDLE, LPSTR, DWORD, DWORD);
typedef BOOL(WINAPI *SetInformationCall)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
typedef DWORD(WINAPI *LongPathCall)(LPCSTR, LPSTR, DWORD);

struct HandleCalls {
    FinalPathCall finalPath;
    SetInformationCall setInformation;
    LongPathCall longPath;  // not in the first Windows 95: looked up as well
};

static HandleCalls calls;

static const HandleCalls &lookedUpCalls()
{
    static int looked;
    if (!looked) {
        HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
        calls.finalPath = kernel ? (FinalPathCall)(void *)GetProcAddress(kernel, "GetFinalPathNameByHandleA") : NULL;
        calls.setInformation =
            kernel ? (SetInformationCall)(void *)GetProcAddress(kernel, "SetFileInformationByHandle") : NULL;
        calls.longPath = kernel ? (LongPathCall)(void *)GetProcAddress(kernel, "GetLongPathNameA") : NULL;
        looked = 1;
    }
    return calls;
}

static const HandleCalls *handleCalls()
{
    lookedUpCalls();
    return calls.finalPath && calls.setInformation && calls.longPath ? &calls : NULL;
}

int longPathOf(const char *path, char *longName, int size)
{
    LongPathCall longPath = lookedUpCalls().longPath;
    DWORD length = longPath ? longPath(path, longName, (DWORD)size) : 0;
    return length > 0 && length < (DWORD)size ? 0 : copyText(longName, (size_t)size, path) == 0 ? 1 : -1;
}

// The full path an open handle stands for, "\\?\" taken off: 0, or -1.
static int finalPathOf(HANDLE handle, char *path, int size)
{
    char raw[2 * textSize];
    DWORD length = handleCalls()->finalPath(handle, raw, sizeof raw, 0);
    if (length == 0 || length >= sizeof raw) return -1;
    if (strncmp(raw, "\\\\?\\UNC\\", 8) == 0) return formatText(path, size, "\\\\%s", raw + 8);
    return copyText(path, size, strncmp(raw, "\\\\?\\", 4) == 0 ? raw + 4 : raw);
}

// 1 when attributes say a link or junction.
static int isLink(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// 1 when level is a drive's root or a share (\\server\share): what stands above is not ours.
static int isRootLevel(const char *level)
{
    if (level[0] != '\\') return level[0] != '\0' && level[1] == ':' && level[2] == '\0';
    int backslashes = 0;
    for (const char *at = level; *at != '\0'; at = nextCharacter(at)) backslashes += *at == '\\';
    return backslashes < 4;
}

/* 1 when no level of path below its root, path included, is a link: by
 * name, where the platform cannot say what a handle opened. */
static int noLinkOnTheWay(const char *path)
{
    char level[textSize];
    if (copyText(level, sizeof level, path) != 0) return 0;
    while (!isRootLevel(level)) {
        if (isLink(GetFileAttributesA(level))) return 0;
        const char *slash = lastCharacterOf(level, "\\");
        if (!slash) return 1;
        level[slash - level] = '\0';
    }
    return 1;
}

/* 1 when folder is on a share (\\server\share\...) and finalPath ends
 * with what lies below the share: the server names the share its own way
 * (Wine by the local folder it is). */
static int sameBelowShare(const char *folder, const char *finalPath)
{
    const char *rest = NULL;
    int backslashes = 0;
    for (const char *at = folder; *at != '\0' && !rest; at = nextCharacter(at))
        if (*at == '\\' && ++backslashes == 4) rest = at;
    if (!rest || folder[0] != '\\' || folder[1] != '\\') return 0;
    size_t length = strlen(rest);
    for (const char *at = finalPath; *at != '\0'; at = nextCharacter(at))
        if (strlen(at) == length) return sameNames(at, rest);
    return 0;
}

int checkInstallFolder(const char *folder, CheckedFolder *checked)
{
    copyText(checked->folder, sizeof checked->folder, folder);
    checked->finalPath[0] = '\0';
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return folderMissing;
    if (!noLinkOnTheWay(folder)) return folderLinked;
    if (!handleCalls()) return folderUsable;
    HANDLE handle = CreateFileA(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (handle == INVALID_HANDLE_VALUE) return folderMissing;
    BY_HANDLE_FILE_INFORMATION information;
    int result = GetFileInformationByHandle(handle, &information) && !isLink(information.dwFileAttributes) &&
                         finalPathOf(handle, checked->finalPath, sizeof checked->finalPath) == 0
                     ? folderUsable
                     : folderLinked;
    CloseHandle(handle);
    // The folder is itself, not another reached by a name that leads there
    // (its short name aside).
    char longName[2 * textSize];
    DWORD length = handleCalls()->longPath(folder, longName, sizeof longName);
    if (result == folderUsable && !sameNames(checked->finalPath, folder) && !sameBelowShare(folder, checked->finalPath) &&
        (length == 0 || length >= sizeof longName || !samePath(checked->finalPath, longName)))
        result = folderLinked;
    return result;
}

/* 1 when the open handle is the object at path inside the folder itself:
 * no link on the way made it another. */
static int opensWhatItNames(const CheckedFolder *folder, HANDLE handle, const char *path)
{
    char expected[2 * textSize], opened[textSize];
    size_t length = strlen(folder->folder);
    const char *relative = path + length;
    if (*relative == '\\') relative++;
    const char *last = lastCharacter(folder->finalPath);
    if (formatText(expected, sizeof expected, "%s%s%s", folder->finalPath, last && *last == '\\' ? "" : "\\",
                   relative) != 0 ||
        finalPathOf(handle, opened, sizeof opened) != 0)
        return 0;
    return sameNames(expected, opened) || (!*relative && sameNames(folder->finalPath, opened));
}

/* 1 when the object at level (the folder or inside it) is reached through
 * no link: by name, and where the platform can say, by what a handle of it
 * really opened. */
static int isOwnLevel(const CheckedFolder *folder, const char *level)
{
    if (!noLinkOnTheWay(level)) return 0;
    if (!handleCalls()) return 1;
    HANDLE handle = CreateFileA(level, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (handle == INVALID_HANDLE_VALUE) return 0;
    int same = opensWhatItNames(folder, handle, level);
    CloseHandle(handle);
    return same;
}

// 1 when the folder that holds path is the install folder's own.
static int parentIsOwn(const CheckedFolder *folder, const char *path)
{
    char parent[textSize];
    const char *slash = lastCharacterOf(path, "\\");
    if (!slash || copyText(parent, sizeof parent, path) != 0) return 0;
    parent[slash - path] = '\0';
    return strlen(parent) >= strlen(folder->folder) && isOwnLevel(folder, parent);
}

int confirmedGone(const CheckedFolder *folder, const char *path)
{
    char level[textSize];
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES || copyText(level, sizeof level, path) != 0) return 0;
    size_t folderLength = strlen(folder->folder);
    // Up from the file to the nearest level that is there, which must be the folder's own.
    for (;;) {
        const char *slash = lastCharacterOf(level, "\\");
        if (strlen(level) <= folderLength || !slash) return noLinkOnTheWay(level);
        level[slash - level] = '\0';
        if (GetFileAttributesA(level) != INVALID_FILE_ATTRIBUTES) return isOwnLevel(folder, level);
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return 0;
    }
}

// The size and checksum of the open file against those it was installed with: 1 when the same.
static int asInstalled(HANDLE file, const RecordEntry *installed)
{
    if (!installed) return 1;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if (high != 0 || size != installed->size) return 0;
    uint32_t running = checksumStart;
    char buffer[16384];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, NULL) && read > 0) running = feedChecksum(running, buffer, read);
    return finishChecksum(running) == installed->checksum;
}

static int failedWith(DWORD *error)
{
    *error = GetLastError();
    return *error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND ? checkedGone : checkedFailed;
}

// Clears the read-only attribute of an open file: 1 when it is clear now.
static int clearReadOnly(HANDLE file, DWORD attributes)
{
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) return 1;
    FILE_BASIC_INFO basic = {};  // zero times stay as they are
    basic.FileAttributes = (attributes & ~FILE_ATTRIBUTE_READONLY) ? (attributes & ~FILE_ATTRIBUTE_READONLY)
                                                                   : FILE_ATTRIBUTE_NORMAL;
    return handleCalls()->setInformation(file, FileBasicInfo, &basic, sizeof basic);
}

// Checked and deleted through one handle: the object checked is the one deleted.
static int removeByHandle(const CheckedFolder *folder, const char *path, const RecordEntry *installed, DWORD *error)
{
    HANDLE file = CreateFileA(path, GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE) return failedWith(error);
    BY_HANDLE_FILE_INFORMATION information;
    int result = checkedFailed;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (!GetFileInformationByHandle(file, &information)) *error = GetLastError();
    else if (isLink(information.dwFileAttributes)) result = checkedChanged;
    // In a folder of its own, a file that leads elsewhere is a link (Wine
    // shows one as a plain file): the user's, kept.
    else if (!opensWhatItNames(folder, file, path)) result = parentIsOwn(folder, path) ? checkedChanged : checkedElsewhere;
    else if (!asInstalled(file, installed)) result = checkedChanged;
    else if (clearReadOnly(file, information.dwFileAttributes) &&
             handleCalls()->setInformation(file, FileDispositionInfo, &disposition, sizeof disposition))
        result = checkedRemoved;
    else *error = GetLastError();
    // Wine deletes by name when the handle closes: a folder swapped for a
    // link by now would send the delete elsewhere, so it is taken back.
    if (result == checkedRemoved && !(noLinkOnTheWay(path) && parentIsOwn(folder, path))) {
        FILE_DISPOSITION_INFO keep = {FALSE};
        handleCalls()->setInformation(file, FileDispositionInfo, &keep, sizeof keep);
        result = checkedElsewhere;
    }
    CloseHandle(file);
    return result;
}

// By name, where the platform cannot delete by handle.
static int removeByName(const char *path, const RecordEntry *installed, DWORD *error)
{
    if (!noLinkOnTheWay(path)) return checkedElsewhere;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE) return failedWith(error);
    int same = asInstalled(file, installed);
    CloseHandle(file);
    if (!same) return checkedChanged;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (DeleteFileA(path)) return checkedRemoved;
    return failedWith(error);
}

int removeRecordedFile(const CheckedFolder *folder, const char *path, const RecordEntry *installed, DWORD *error)
{
    *error = 0;
    DWORD attributes = GetFileAttributesA(path);
    // A folder of the file's name, or a link to one, is the user's.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return checkedChanged;
    int result = attributes == INVALID_FILE_ATTRIBUTES ? failedWith(error)
                 : handleCalls()                       ? removeByHandle(folder, path, installed, error)
                                                       : removeByName(path, installed, error);
    // Not found through a folder swapped for a link is not gone.
    return result == checkedGone && !confirmedGone(folder, path) ? checkedElsewhere : result;
}

int removeRecordedFolder(const CheckedFolder *folder, const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    // A link in a folder's place goes with its own folder, never through it.
    if (!noLinkOnTheWay(path)) return 0;
    // Only the folder and what lies inside it is checked by handle: a level
    // above it lies elsewhere by definition.
    if (strlen(path) >= strlen(folder->folder) && !isOwnLevel(folder, path)) return 0;
    // An empty folder is all RemoveDirectoryA takes: nothing can be lost by it.
    return RemoveDirectoryA(path) != 0;
}
