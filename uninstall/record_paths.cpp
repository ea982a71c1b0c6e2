#include "uninstall/record_paths.h"

#include <cstring>

#include "install/text.h"
#include "ownerdata/characters.h"

int normalFolderForm(const char *path, char *normal, int size)
{
    char work[2 * textSize];
    int root = pathRootLength(path);
    if (root == 0 || strlen(path) >= sizeof work - 1) {
        copyText(normal, (size_t)size, "");
        return -1;
    }
    memcpy(work, path, (size_t)root);
    int length = root;
    if (root == 2) work[length++] = '\\';  // "C:" is the drive's root, never its current folder
    // By character: the second byte of a double-byte character may be a backslash's.
    int afterBackslash = work[length - 1] == '\\';
    for (const char *at = path + root; *at != '\0';) {
        const char *next = nextCharacter(at);
        int backslash = next == at + 1 && *at == '\\';
        // A backslash after another adds nothing.
        if (!(backslash && afterBackslash))
            for (const char *byte = at; byte < next; byte++) work[length++] = *byte;
        afterBackslash = backslash;
        at = next;
    }
    work[length] = '\0';
    if (length > 3 && length > root && lastCharacter(work) == work + length - 1 && work[length - 1] == '\\')
        work[length - 1] = '\0';
    return copyText(normal, (size_t)size, work);
}

void withoutTrailingDots(char *path)
{
    const char *slash = lastCharacterOf(path, "\\");
    char *name = slash ? path + (slash - path) + 1 : path;
    size_t length = strlen(name);
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return;
    // A trail byte is never a dot or a blank: a byte scan from the end is safe here.
    while (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' ')) name[--length] = '\0';
}

// 1 when a ASCII letter of a and b differs in case only. A double-byte
// character is compared whole: its second byte may look like a letter.
static int sameCharacter(const char *a, const char *b, size_t length)
{
    if (length == 1) {
        char x = *a >= 'a' && *a <= 'z' ? (char)(*a - 32) : *a, y = *b >= 'a' && *b <= 'z' ? (char)(*b - 32) : *b;
        return x == y;
    }
    return memcmp(a, b, length) == 0;
}

int sameNames(const char *a, const char *b)
{
    while (*a != '\0' && *b != '\0') {
        size_t length = (size_t)(nextCharacter(a) - a);
        if ((size_t)(nextCharacter(b) - b) != length || !sameCharacter(a, b, length)) return 0;
        a += length;
        b += length;
    }
    return *a == *b;
}

int samePath(const char *a, const char *b)
{
    char first[textSize], second[textSize];
    if (normalFolderForm(a, first, sizeof first) != 0 || normalFolderForm(b, second, sizeof second) != 0)
        return sameNames(a, b);
    return sameNames(first, second);
}

// 1 when the last character of text is a backslash (not a second byte that looks like one).
static int endsWithBackslash(const char *text)
{
    const char *last = lastCharacter(text);
    return last && *last == '\\';
}

// 1 for a name Windows opens as a device whatever folder it stands in
// (CON, NUL.TXT, COM1...), whose removal would reach no file of ours.
static int isDeviceName(const char *name, size_t length)
{
    static const char *const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    const char *dot = (const char *)memchr(name, '.', length);
    size_t base = dot ? (size_t)(dot - name) : length;
    char upper[8];
    if (base >= sizeof upper) return 0;
    for (size_t i = 0; i < base; i++) upper[i] = (char)(name[i] >= 'a' && name[i] <= 'z' ? name[i] - 32 : name[i]);
    upper[base] = '\0';
    for (const char *device : devices)
        if (strcmp(upper, device) == 0) return 1;
    return base == 4 && (memcmp(upper, "COM", 3) == 0 || memcmp(upper, "LPT", 3) == 0) && upper[3] >= '0' &&
           upper[3] <= '9';
}

/* 1 when every name of relative (normal form, no root) is a plain name:
 * not empty, not "." or "..", no drive or stream colon, no wildcard or
 * other character Windows refuses, no trailing dot or space (which Windows
 * drops, so the name would mean another), no device. */
static int plainNames(const char *relative)
{
    const char *start = relative, *last = NULL;
    for (const char *at = relative;; at = nextCharacter(at)) {
        if (*at != '\0' && *at != '\\') {
            unsigned char c = (unsigned char)*at;
            if (c < 32 || strchr(":*?\"<>|/", c)) return 0;
            last = at;
            continue;
        }
        if (at == start || *last == '.' || *last == ' ' || isDeviceName(start, (size_t)(at - start))) return 0;
        if (*at == '\0') return 1;
        start = at + 1;
    }
}

// 1 when text starts with the whole of start and a backslash (or start is a root) follows.
static int startsWithFolder(const char *text, const char *start)
{
    size_t length = strlen(start);
    char head[2 * textSize];
    if (length == 0 || length >= sizeof head || strlen(text) <= length) return 0;
    memcpy(head, text, length);
    head[length] = '\0';
    return sameNames(head, start) && (endsWithBackslash(start) || text[length] == '\\');
}

int placeOfRecordPath(const char *folder, const char *path, char *normal, int size)
{
    if (normalFolderForm(path, normal, size) != 0) return outsideFolder;
    if (sameNames(normal, folder) || startsWithFolder(folder, normal)) return theFolderItself;
    if (!startsWithFolder(normal, folder)) return outsideFolder;
    const char *rest = normal + strlen(folder) + (endsWithBackslash(folder) ? 0 : 1);
    return plainNames(rest) ? insideFolder : outsideFolder;
}
