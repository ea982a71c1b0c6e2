#include "uninstall/delayed_removal.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "install/paths.h"
#include "install/text.h"

static const char sessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
static const char pendingValue[] = "PendingFileRenameOperations";

static int onWindows9x()
{
    return (GetVersion() & 0x80000000u) != 0;
}

// Where the line after the "[rename]" header starts in text, or -1.
static long afterRenameHeader(const char *text, long length)
{
    static const char header[] = "[rename]";
    const long headerLength = (long)sizeof header - 1;
    for (long start = 0; start < length;) {
        long end = start;
        while (end < length && text[end] != '\n') end++;
        long last = end;
        while (last > start && (text[last - 1] == '\r' || text[last - 1] == ' ')) last--;
        if (last - start == headerLength) {
            char candidate[sizeof header];
            memcpy(candidate, text + start, sizeof header - 1);
            candidate[sizeof header - 1] = '\0';
            if (lstrcmpiA(candidate, header) == 0) return end < length ? end + 1 : length;
        }
        start = end + 1;
    }
    return -1;
}

// The whole file at path, NUL-terminated, in memory to be freed; null when missing.
static char *readWholeFile(const char *path, long *length)
{
    *length = 0;
    FILE *file = fopen(path, "rb");
    if (!file) return NULL;
    long size = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
    char *text = size >= 0 ? static_cast<char *>(malloc((size_t)size + 1)) : NULL;
    if (text && (fseek(file, 0, SEEK_SET) != 0 || fread(text, 1, (size_t)size, file) != (size_t)size)) {
        free(text);
        text = NULL;
    }
    fclose(file);
    if (text) {
        text[size] = '\0';
        *length = size;
    }
    return text;
}

/* Windows 95/98/Me: WININIT.INI's [rename] section, which the system works
 * through at its next start before any program runs. "NUL=path" deletes
 * the file. The key repeats, so the line is added by hand: the profile
 * calls would replace another program's NUL line. The path is the short
 * form, as the section is read before long names are known. */
static int addWininitRemoval(const char *path)
{
    char shortPath[textSize], windows[textSize], wininit[textSize], line[textSize + 8];
    DWORD length = GetShortPathNameA(path, shortPath, sizeof shortPath);
    UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof shortPath || windowsLength == 0 || windowsLength >= sizeof windows ||
        pathInDir(windows, "WININIT.INI", wininit, sizeof wininit) != 0 ||
        formatText(line, sizeof line, "NUL=%s\r\n", shortPath) != 0)
        return 0;
    long size = 0;
    char *text = readWholeFile(wininit, &size);
    if (!text && GetFileAttributesA(wininit) != INVALID_FILE_ATTRIBUTES) return 0;
    long at = text ? afterRenameHeader(text, size) : -1;
    FILE *file = fopen(wininit, "wb");
    int written = file != NULL;
    if (written && at >= 0) {
        written = fwrite(text, 1, (size_t)at, file) == (size_t)at && fputs(line, file) >= 0 &&
                  fwrite(text + at, 1, (size_t)(size - at), file) == (size_t)(size - at);
    } else if (written) {
        if (size > 0) written = fwrite(text, 1, (size_t)size, file) == (size_t)size;
        if (written && size > 0 && text[size - 1] != '\n') written = fputs("\r\n", file) >= 0;
        written = written && fputs("[rename]\r\n", file) >= 0 && fputs(line, file) >= 0;
    }
    if (file && fclose(file) != 0) written = 0;
    free(text);
    return written;
}

int removeAtRestart(const char *path)
{
    if (onWindows9x()) {
        // WININIT.INI removes files only; a directory stays.
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
        return addWininitRemoval(path);
    }
    return MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

/* The pending operations are pairs of names, the source in the system's
 * form (\??\C:\...) and the new name, empty for a removal. An empty string
 * looks like the list's end, so the pairs are walked by the value's size.
 * The pairs kept are moved to the front of data: their size, and in
 * *dropped how many were taken out. */
static DWORD withoutRemovalOf(char *data, DWORD size, const char *path, int *dropped)
{
    DWORD kept = 0;
    for (DWORD at = 0; at < size && data[at] != '\0';) {
        const char *source = data + at;
        DWORD sourceLength = (DWORD)strlen(source) + 1;
        if (at + sourceLength >= size) break;
        const char *target = source + sourceLength;
        DWORD pairLength = sourceLength + (DWORD)strlen(target) + 1;
        const char *name = strncmp(source, "\\??\\", 4) == 0 ? source + 4 : source;
        if (target[0] == '\0' && lstrcmpiA(name, path) == 0) {
            (*dropped)++;
        } else {
            memmove(data + kept, source, pairLength);
            kept += pairLength;
        }
        at += pairLength;
    }
    return kept;
}

void cancelRemovalAtRestart(const char *path)
{
    if (onWindows9x()) return;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionManagerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    DWORD type = 0, size = 0;
    char *data = NULL;
    if (RegQueryValueExA(key, pendingValue, NULL, &type, NULL, &size) == ERROR_SUCCESS && type == REG_MULTI_SZ)
        data = static_cast<char *>(calloc(size + 2, 1));
    if (data && RegQueryValueExA(key, pendingValue, NULL, &type, (BYTE *)data, &size) == ERROR_SUCCESS) {
        int dropped = 0;
        DWORD kept = withoutRemovalOf(data, size, path, &dropped);
        if (dropped && kept == 0) RegDeleteValueA(key, pendingValue);
        else if (dropped) {
            data[kept] = '\0';  // the list's end
            RegSetValueExA(key, pendingValue, 0, REG_MULTI_SZ, (const BYTE *)data, kept + 1);
        }
    }
    free(data);
    RegCloseKey(key);
}
