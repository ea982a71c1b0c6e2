#include "uninstall/delayed_removal.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "install/paths.h"
#include "install/text.h"
#include "uninstall/record_paths.h"

static const char sessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
static const char pendingValue[] = "PendingFileRenameOperations";
static const WCHAR pendingValueWide[] = L"PendingFileRenameOperations";

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

/* 1 when the source of a pending operation (a wide name in the system's
 * form, \??\C:\...) is path. A name the code page cannot show is another
 * program's: it is never ours. */
static int namesPath(const WCHAR *source, const char *path)
{
    if (wcsncmp(source, L"\\??\\", 4) == 0) source += 4;
    char name[textSize];
    BOOL lossy = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, source, -1, name, sizeof name, NULL, &lossy);
    return length > 0 && !lossy && samePath(name, path);
}

/* The pending operations are pairs of wide names, the source and the new
 * name, empty for a removal. An empty string looks like the list's end, so
 * the pairs are walked by the value's size (count: in characters). The
 * pairs kept are moved to the front of data, unchanged: their size in
 * characters, and in *dropped how many were taken out. */
static DWORD withoutRemovalOf(WCHAR *data, DWORD count, const char *path, int *dropped)
{
    DWORD kept = 0;
    for (DWORD at = 0; at < count && data[at] != L'\0';) {
        const WCHAR *source = data + at;
        DWORD sourceLength = (DWORD)wcslen(source) + 1;
        if (at + sourceLength >= count) break;
        const WCHAR *target = source + sourceLength;
        DWORD pairLength = sourceLength + (DWORD)wcslen(target) + 1;
        if (target[0] == L'\0' && namesPath(source, path)) {
            (*dropped)++;
        } else {
            memmove(data + kept, source, pairLength * sizeof(WCHAR));
            kept += pairLength;
        }
        at += pairLength;
    }
    return kept;
}

int cancelRemovalAtRestart(const char *path)
{
    if (onWindows9x()) return 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionManagerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    // Wide calls: another program's names in any language stay as they are.
    DWORD type = 0, size = 0;
    WCHAR *data = NULL;
    int dropped = 0;
    if (RegQueryValueExW(key, pendingValueWide, NULL, &type, NULL, &size) == ERROR_SUCCESS && type == REG_MULTI_SZ)
        data = static_cast<WCHAR *>(calloc(size / sizeof(WCHAR) + 2, sizeof(WCHAR)));
    if (data && RegQueryValueExW(key, pendingValueWide, NULL, &type, (BYTE *)data, &size) == ERROR_SUCCESS) {
        DWORD kept = withoutRemovalOf(data, size / sizeof(WCHAR), path, &dropped);
        if (dropped && kept == 0) RegDeleteValueA(key, pendingValue);
        else if (dropped) {
            data[kept] = L'\0';  // the list's end
            RegSetValueExW(key, pendingValueWide, 0, REG_MULTI_SZ, (const BYTE *)data, (kept + 1) * sizeof(WCHAR));
        }
    }
    free(data);
    RegCloseKey(key);
    return dropped > 0;
}
