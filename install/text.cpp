#include "install/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "ownerdata/characters.h"

int copyText(char *dst, size_t size, const char *src)
{
    if (size == 0) return -1;
    size_t len = strlen(src);
    if (len >= size) {
        dst[0] = '\0';
        return -1;
    }
    memmove(dst, src, len + 1);
    return 0;
}

int appendText(char *dst, size_t size, const char *src)
{
    if (size == 0) return -1;
    size_t have = strnlen(dst, size);
    size_t add = strlen(src);
    if (have >= size || add >= size - have) {
        dst[0] = '\0';
        return -1;
    }
    memmove(dst + have, src, add + 1);
    return 0;
}

int formatText(char *dst, size_t size, const char *format, ...)
{
    if (size == 0) return -1;
    va_list args;
    va_start(args, format);
    int n = vsnprintf(dst, size, format, args);
    va_end(args);
    if (n < 0 || (size_t)n >= size) {
        dst[0] = '\0';
        return -1;
    }
    return 0;
}

void keepWholeCharacters(char *text)
{
    text[wholeCharacterLength(text, strlen(text))] = '\0';
}

static int lowerAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

int equalsIgnoringCase(const char *a, const char *b)
{
    for (;; a++, b++) {
        if (lowerAscii((unsigned char)*a) != lowerAscii((unsigned char)*b)) return 0;
        if (*a == '\0') return 1;
    }
}

int pathRootLength(const char *path)
{
    if (((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':')
        return path[2] == '\\' ? 3 : path[2] == '\0' ? 2 : 0;
    if (path[0] != '\\' || path[1] != '\\') return 0;
    // Two names, the server's and the share's, each of at least one character.
    const char *at = path + 2;
    for (int names = 0; names < 2; names++) {
        const char *start = at;
        while (*at != '\0' && *at != '\\') at = nextCharacter(at);
        if (at == start || (names == 0 && *at != '\\')) return 0;
        if (names == 0) at++;
    }
    return (int)(at - path);
}
