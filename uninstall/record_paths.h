// The install folder in its one normal form, and the test every path read
// from a record passes before the uninstaller touches it. Pure text work:
// the record may have been changed by anyone who could write the folder.
#pragma once

// path (full: a drive's or a share's) with every run of backslashes made one
// and no trailing backslash but a root's ("C:\"); "C:" alone is that root.
// A share keeps the two backslashes it starts with. 0, or -1 when it does
// not fit or is no full path.
int normalFolderForm(const char *path, char *normal, int size);

// path without the dots and blanks that end its last name, which Windows
// drops ("C:\QUILLMRK." is C:\QUILLMRK); "." and ".." stay.
void withoutTrailingDots(char *path);

// 1 when a and b are the same text, ASCII letters without regard to case,
// read by character (a double-byte character is compared whole).
int sameNames(const char *a, const char *b);
// 1 when two folders or files name the same path in normal form (ASCII case aside).
int samePath(const char *a, const char *b);

// Whether a record's path may be touched when removing the installation in
// folder (normal form). normal receives the path in normal form.
enum RecordPlace {
    insideFolder = 1,     // strictly inside the folder: a file or folder of the installation
    theFolderItself = 2,  // the folder, or a level above it (made on the way to it)
    outsideFolder = 0,    // anything else: another drive, a share, "..", a device name...
};
int placeOfRecordPath(const char *folder, const char *path, char *normal, int size);
