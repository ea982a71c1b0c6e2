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
