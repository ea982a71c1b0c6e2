#include "transaction/key_snapshot.h"

#include <cstdlib>
#include <cstring>

static const char snapshotHeader[] = "QMK1";

// A value's head in the file: the name's length (in UTF-16 units), the type
// and the data's length, then the name (without its NUL) and the data. The
// wide calls keep every byte as stored, whatever the code page.
struct ValueHead {
    DWORD nameLength, type, dataLength;
};

enum { nameLimit = 16383, snapshotLimit = 4 * 1024 * 1024 };

static int writeAll(HANDLE file, const void *bytes, DWORD size)
{
    DWORD written = 0;
    return size == 0 || (WriteFile(file, bytes, size, &written, NULL) && written == size);
}

// Every value of key, in the order the key gives them, to file: 1, or 0.
static int writeValues(HKEY key, HANDLE file)
{
    DWORD longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(key, NULL, NULL, NULL, NULL, NULL, NULL, NULL, &longestName, &longestData, NULL, NULL) !=
        ERROR_SUCCESS)
        return 0;
    WCHAR *name = static_cast<WCHAR *>(malloc((longestName + 1) * sizeof(WCHAR)));
    BYTE *data = static_cast<BYTE *>(malloc(longestData + 1));
    int whole = name && data && writeAll(file, snapshotHeader, sizeof snapshotHeader - 1);
    for (DWORD index = 0; whole; index++) {
        ValueHead head = {longestName + 1, 0, longestData + 1};
        LONG read = RegEnumValueW(key, index, name, &head.nameLength, NULL, &head.type, data, &head.dataLength);
        if (read == ERROR_NO_MORE_ITEMS) break;
        whole = read == ERROR_SUCCESS && writeAll(file, &head, sizeof head) &&
                writeAll(file, name, head.nameLength * sizeof(WCHAR)) &&
                writeAll(file, data, head.dataLength);
    }
    free(name);
    free(data);
    return whole;
}

int saveKeySnapshot(HKEY root, const char *path, const char *file)
{
    HKEY key;
    LONG opened = RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key);
    if (opened == ERROR_FILE_NOT_FOUND) return 0;
    if (opened != ERROR_SUCCESS) return -1;
    HANDLE snapshot = CreateFileA(file, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    int whole = snapshot != INVALID_HANDLE_VALUE && writeValues(key, snapshot);
    // On the disk before the journal names it.
    if (snapshot != INVALID_HANDLE_VALUE && (!FlushFileBuffers(snapshot) || !CloseHandle(snapshot))) whole = 0;
    RegCloseKey(key);
    if (!whole) DeleteFileA(file);
    return whole ? 1 : -1;
}

// The file's bytes, to be freed; null when it cannot be read whole.
static BYTE *readSnapshot(const char *file, DWORD *size)
{
    HANDLE handle = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    *size = GetFileSize(handle, NULL);
    DWORD read = 0;
    BYTE *bytes = *size < snapshotLimit ? static_cast<BYTE *>(malloc(*size + 1)) : nullptr;
    if (bytes && (!ReadFile(handle, bytes, *size, &read, NULL) || read != *size)) {
        free(bytes);
        bytes = nullptr;
    }
    CloseHandle(handle);
    return bytes;
}

/* Walks the values after the header: with key null only checks that each
 * head fits the file and names a plain name; with a key sets each value.
 * 1 when every value was whole (and set). */
static int eachValue(const BYTE *bytes, DWORD size, HKEY key)
{
    DWORD at = sizeof snapshotHeader - 1;
    WCHAR name[nameLimit + 1];
    while (at < size) {
        ValueHead head;
        if (size - at < sizeof head) return 0;
        memcpy(&head, bytes + at, sizeof head);
        at += sizeof head;
        DWORD nameBytes = head.nameLength * sizeof(WCHAR);
        if (head.nameLength > nameLimit || head.dataLength > size - at || nameBytes > size - at - head.dataLength)
            return 0;
        memcpy(name, bytes + at, nameBytes);
        name[head.nameLength] = L'\0';
        if (lstrlenW(name) != (int)head.nameLength) return 0;
        at += nameBytes;
        if (key && RegSetValueExW(key, name, 0, head.type, bytes + at, head.dataLength) != ERROR_SUCCESS) return 0;
        at += head.dataLength;
    }
    return 1;
}

int restoreKeySnapshot(HKEY root, const char *path, const char *file)
{
    DWORD size = 0;
    BYTE *bytes = readSnapshot(file, &size);
    int whole = bytes && size >= sizeof snapshotHeader - 1 && memcmp(bytes, snapshotHeader, sizeof snapshotHeader - 1) == 0 &&
                eachValue(bytes, size, NULL);
    HKEY key;
    if (whole)
        whole = RegCreateKeyExA(root, path, 0, NULL, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, NULL, &key, NULL) == ERROR_SUCCESS;
    if (whole) {
        // Every value goes first, one the run added too; the key's rights and subkeys stay.
        WCHAR name[nameLimit + 1];
        for (DWORD length = nameLimit + 1; RegEnumValueW(key, 0, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
             length = nameLimit + 1)
            if (RegDeleteValueW(key, name) != ERROR_SUCCESS) break;
        whole = eachValue(bytes, size, key);
        RegCloseKey(key);
    }
    free(bytes);
    return whole ? 0 : -1;
}
