#include "ownerdata/characters.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
static bool isLeadByte(char c)
{
    return IsDBCSLeadByte((BYTE)c) != 0;
}
#else
// The native builds work on single-byte or UTF-8 text, where no byte of a
// character is ever an ASCII one.
static bool isLeadByte(char)
{
    return false;
}
#endif

const char *nextCharacter(const char *text)
{
    if (*text == '\0') return text;
    if (isLeadByte(*text) && text[1] != '\0') return text + 2;
    return text + 1;
}

size_t wholeCharacterLength(const char *text, size_t limit)
{
    size_t length = 0;
    while (text[length] != '\0') {
        size_t width = isLeadByte(text[length]) ? 2 : 1;
        if (length + width > limit || (width == 2 && text[length + 1] == '\0')) break;
        length += width;
    }
    return length;
}

const char *lastCharacterOf(const char *text, const char *set)
{
    const char *found = nullptr;
    for (const char *p = text; *p != '\0'; p = nextCharacter(p))
        if (strchr(set, *p) != nullptr) found = p;
    return found;
}

const char *lastCharacter(const char *text)
{
    const char *last = nullptr;
    for (const char *p = text; *p != '\0'; p = nextCharacter(p)) last = p;
    return last;
}
