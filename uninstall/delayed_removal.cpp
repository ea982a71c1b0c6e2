#include "uninstall/delayed_removal.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "install/registration.h"
#include "install/text.h"

static const char sessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
static const char pendingValue[] = "PendingFileRenameOperations";

static int onWindows9x()
{
    return (GetVersion() & 0x80000000u) != 0;
}

// Where the line after the "[rename]" header starts, or npos.
static size_t afterRenameHeader(const std::string &text)
{
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(start, next - start);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (lstrcmpiA(line.c_str(), "[rename]") == 0) return next;
        start = next;
    }
    return std::string::npos;
}

/* Windows 95/98/Me: WININIT.INI's [rename] section, which the system works
 * through at its next start before any program runs. "NUL=path" deletes
 * the file. The key repeats, so the line is added by hand: the profile
 * calls would replace another program's NUL line. The path is the short
 * form, as the section is read before long names are known. */
static int addWininitRemoval(const char *path)
{
    char shortPath[textSize], windows[textSize], wininit[textSize];
    DWORD length = GetShortPathNameA(path, shortPath, sizeof shortPath);
    UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof shortPath || windowsLength == 0 || windowsLength >= sizeof windows ||
        pathInDir(windows, "WININIT.INI", wininit, sizeof wininit) != 0)
        return 0;
    std::string text;
    if (FILE *file = fopen(wininit, "rb")) {
        char buffer[4096];
        size_t read;
        while ((read = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, read);
        fclose(file);
    }
    std::string line = std::string("NUL=") + shortPath + "\r\n";
    size_t at = afterRenameHeader(text);
    if (at == std::string::npos) {
        if (!text.empty() && text.back() != '\n') text += "\r\n";
        text += "[rename]\r\n" + line;
    } else {
        text.insert(at, line);
    }
    FILE *file = fopen(wininit, "wb");
    if (!file) return 0;
    int written = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && written;
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
 * looks like the list's end, so the pairs are walked by the value's size. */
static std::string withoutRemovalOf(const char *data, size_t size, const char *path, int *dropped)
{
    std::string kept;
    const char *end = data + size;
    for (const char *p = data; p < end && *p;) {
        const char *source = p;
        p += strlen(p) + 1;
        if (p >= end) break;
        const char *target = p;
        p += strlen(p) + 1;
        const char *name = strncmp(source, "\\??\\", 4) == 0 ? source + 4 : source;
        if (target[0] == '\0' && lstrcmpiA(name, path) == 0) {
            (*dropped)++;
            continue;
        }
        kept.append(source, strlen(source) + 1);
        kept.append(target, strlen(target) + 1);
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
    if (RegQueryValueExA(key, pendingValue, NULL, &type, NULL, &size) == ERROR_SUCCESS && type == REG_MULTI_SZ) {
        std::vector<char> data(size + 2, '\0');
        if (RegQueryValueExA(key, pendingValue, NULL, &type, (BYTE *)data.data(), &size) == ERROR_SUCCESS) {
            int dropped = 0;
            std::string kept = withoutRemovalOf(data.data(), size, path, &dropped);
            if (dropped && kept.empty()) RegDeleteValueA(key, pendingValue);
            else if (dropped)
                RegSetValueExA(key, pendingValue, 0, REG_MULTI_SZ, (const BYTE *)kept.c_str(), (DWORD)kept.size() + 1);
        }
    }
    RegCloseKey(key);
}
