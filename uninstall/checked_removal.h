// Removing a recorded file or folder so that nothing outside the install
// folder is ever reached: what is opened is checked (no link, no path that
// leads elsewhere) and that same open object is what gets deleted, so a
// name changed in between cannot redirect the removal.
#pragma once
#include <windows.h>

#include "uninstall/install_record.h"

// The install folder as the file system names it.
struct CheckedFolder {
    char folder[textSize];      // normal form, as the record's entries are
    char finalPath[textSize];   // where it really is ("" where the platform cannot say)
};

// The long form of path, which exists: 0; 1 with path itself where the
// platform cannot say; -1 when neither fits.
int longPathOf(const char *path, char *longName, int size);

enum FolderCheck { folderUsable = 0, folderMissing = 1, folderLinked = 2 };
// Checks the install folder (normal form): it and every level above it is
// a folder, not a link or junction. A FolderCheck.
int checkInstallFolder(const char *folder, CheckedFolder *checked);

enum CheckedResult {
    checkedGone,        // nothing there
    checkedRemoved,     // deleted now
    checkedChanged,     // not as installed (or a folder, or a link in its place): the user's
    checkedElsewhere,   // it leads out of the install folder: not touched
    checkedFailed,      // could not be read or deleted: *error says why
};
// The recorded file at path (normal form, inside the folder) removed when it
// is still as installed (installed null: whatever it holds); a read-only
// one has the attribute cleared first. A CheckedResult.
int removeRecordedFile(const CheckedFolder *folder, const char *path, const RecordEntry *installed, DWORD *error);
// 1 when nothing is at path (inside the folder) and no folder on its way
// was changed: the nearest level of it that is there is the folder's own.
int confirmedGone(const CheckedFolder *folder, const char *path);
// The directory at path removed when empty and really there (no link):
// 1 when removed.
int removeRecordedFolder(const CheckedFolder *folder, const char *path);
