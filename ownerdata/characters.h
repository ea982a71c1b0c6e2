// Text is ANSI in the process's code page. In the double-byte code pages of
// East Asia the second byte of a character can be 0x5C, the backslash, or
// any other ASCII letter: text is stepped through and cut by whole
// characters, never by byte.
#pragma once
#include <cstddef>

// The character after the one at text; text itself at the NUL. A lead byte
// with nothing after it counts as one character.
const char *nextCharacter(const char *text);
// The length of the longest start of text that has at most limit bytes and
// ends between two whole characters (a lone lead byte at the end is left out).
size_t wholeCharacterLength(const char *text, size_t limit);
// The last character of text that is one of the single-byte characters of
// set, or null when there is none.
const char *lastCharacterOf(const char *text, const char *set);
// The last character of text, or null when text is empty.
const char *lastCharacter(const char *text);
