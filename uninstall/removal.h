// The removal of one installation's record: the files still as installed,
// the owner data file, the WIN.INI entries, the directories left empty, the
// registration. Window-free: what to do with a file that will not go is
// asked through the callback.
#pragma once
#include "uninstall/install_record.h"

enum RemovalAnswer { removalRetry, removalIgnore, removalAbort };

struct RemovalRun {
    char installDir[textSize];     // where the record and the uninstaller are
    RecordList entries;            // the record as read
    // A file that cannot be read or deleted (error: the system's code): what to do about it.
    RemovalAnswer (*askAboutFile)(const char *path, unsigned long error);
    int removed;                   // files deleted
    int kept;                      // files changed or added since the installation, the user's folders
    int failed;                    // files that stayed against the user's wish, entries not touched
    int aborted;                   // 1 after Abort: nothing more was touched
};

// Removes the files, the owner data file and the WIN.INI entries; with
// nothing failed, the record and the registration; then the directories
// left empty. Only entries inside the install folder (normal form) are
// touched. The uninstaller's own file is left to the caller.
void removeInstallation(RemovalRun *run);

// The registration and the WIN.INI entries that name dir (normal form),
// for an installation whose folder is gone: 1 when nothing of them is left.
int removeRegistrationOf(const char *dir);

// What an error code means for the user: "in use", "access denied", or the system's text.
void describeError(unsigned long error, char *text, int size);
