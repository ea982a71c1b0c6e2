// The product's key as it was before a run rewrote it: every value (any
// type, any length) kept in a file, so that the undo puts the key back
// byte for byte.
#pragma once
#include <windows.h>

// The values of the key at path under root, written to file and flushed:
// 1 when the key is there and every value is kept, 0 when there is no key,
// -1 when it could not be kept.
int saveKeySnapshot(HKEY root, const char *path, const char *file);
// The key at path under root made again from file, checked whole at the
// door first: 0, or -1 with the key left as it is.
int restoreKeySnapshot(HKEY root, const char *path, const char *file);
