// Bounded text helpers: every fixed buffer of the program is written
// through these, so nothing is ever written past its end.
#pragma once
#include <cstddef>

enum { textSize = 256 };  // 255 characters and the terminating NUL

// Each returns 0 when the whole result fit, -1 when it did not. On -1 the
// buffer holds the empty string, never a cut text that could pass for a
// different valid path or message.
int copyText(char *dst, size_t size, const char *src);
int appendText(char *dst, size_t size, const char *src);
int formatText(char *dst, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// Drops a lead byte left alone at the end of text by a cut.
void keepWholeCharacters(char *text);

// Compares ASCII letters without regard to case; other bytes exactly.
int equalsIgnoringCase(const char *a, const char *b);

// Length of the root at the start of path: "C:\" 3, "C:" 2, "\\server\share"
// up to the end of the share's name; 0 when path starts with no root.
int pathRootLength(const char *path);
