// Where the installation reads from and writes to.
#pragma once

void detectSourceMode();
int preparePaths();
// Rebuilds a directory path with the names the file system reports.
// result receives at most resultSize - 1 characters.
void canonicalizeDir(const char *path, char *result, int resultSize);
