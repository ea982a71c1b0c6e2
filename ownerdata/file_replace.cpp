#include "ownerdata/file_replace.h"

#include <cstdio>
#include <cstring>

#include "ownerdata/characters.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
static const char separators[] = "/\\:";
#else
#include <unistd.h>
static const char separators[] = "/";
#endif

enum { accessExists = 0, accessWrite = 2, tempNameTries = 1000 };

static int accessFile(const char *path, int mode)
{
#ifdef _WIN32
    return _access(path, mode);
#else
    return access(path, mode);
#endif
}

int targetWritable(const char *target)
{
    if (accessFile(target, accessExists) != 0) return 0;
    return accessFile(target, accessWrite) == 0 ? 0 : -1;
}

/* Length of the directory part of a path, separator included. */
static size_t directoryLength(const char *path)
{
    const char *last = lastCharacterOf(path, separators);
    return last ? (size_t)(last - path) + 1 : 0;
}

int makeTempName(const char *target, char *tempName, size_t size)
{
    int dirLength = (int)directoryLength(target);
    // An 8.3 name, so that it can be made wherever the target can.
    for (int n = 0; n < tempNameTries; n++) {
        int written = snprintf(tempName, size, "%.*sqmd%05d.tmp", dirLength, target, n);
        if (written < 0 || (size_t)written >= size) break;
        if (accessFile(tempName, accessExists) != 0) return 0;
    }
    if (size > 0) tempName[0] = '\0';
    return -1;
}

static int twoStepReplace = 0;  // tests: act as a system without MoveFileEx

void useTwoStepReplace(int on)
{
    twoStepReplace = on;
}

int replaceFile(const char *tempName, const char *target)
{
#ifdef _WIN32
    if (!twoStepReplace) {
        if (MoveFileExA(tempName, target, MOVEFILE_REPLACE_EXISTING)) return 0;
        if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return -1;
    }
    // Windows 95 and 98 have no MoveFileEx: remove the old file, then move.
    if (GetFileAttributesA(target) != INVALID_FILE_ATTRIBUTES && !DeleteFileA(target)) return -1;
    // The old file may be gone (or go when a reader closes it): the new one
    // is then the only whole copy left.
    return MoveFileA(tempName, target) ? 0 : replaceKeptNew;
#else
    return rename(tempName, target) == 0 ? 0 : -1;
#endif
}
