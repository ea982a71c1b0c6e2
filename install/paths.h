// Where the installation reads from and writes to.
#pragma once

void detectSourceMode();
int preparePaths();
// Only the source of preparePaths, the drive and folder the medium is read
// from, for reading the medium without installing: 0, or -1 when the
// program's folder cannot be had whole.
int prepareSource();
// From a folder: copies the medium's quillmrk.dat (beside the setup
// program) into the install directory noted by preparePaths, and notes in
// ownerDataExpected and ownerDataUnread what the save is to find there.
void placeOwnerData();
// 1 when the folder of the running program can be read from: its path and
// every file name of the medium after it fit in a path. 0 when it cannot,
// or the program's file name cannot be had whole.
int programFolderUsable();
// Rebuilds a directory path with the names the file system reports.
// result receives at most resultSize - 1 characters.
void canonicalizeDir(const char *path, char *result, int resultSize);

// The short form of path (limit 255), or path itself as it stands when the
// platform gives no short form. 0, or -1 with result "" when neither fits.
int shortPathOf(const char *path, char *result, int resultSize);

// Tests run from their own program file: a non-null name stands in for the
// module file name of the running program; null puts the real one back.
void setProgramFileName(const char *fileName);

// name in dir (a root keeps its one backslash): 0, or -1 when it does not fit.
int pathInDir(const char *dir, const char *name, char *path, int size);

// Copies the next non-empty component of a backslash-separated path into
// component and moves *cursor past it: 1 when one was found, 0 at the end,
// -1 when it does not fit (component is then "").
int nextPathComponent(const char **cursor, char *component, int size);
