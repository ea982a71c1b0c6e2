// The removal of the installations a record names: the files still as
// installed, the owner data file, the directories left empty, then the
// WIN.INI entries and the registration. Window-free: what to do with a file that will not go is
// asked through the callback.
#pragma once
#include "uninstall/install_record.h"

enum RemovalAnswer { removalRetry, removalIgnore, removalAbort };

struct RemovalRun {
    char installDir[textSize];     // the installation's folder (normal form)
    RecordList entries;            // its entries in the record as read
    int levelsTrusted;             // 1: the record is one only administrators write
    // A file that cannot be read or deleted (error: the system's code): what to do about it.
    RemovalAnswer (*askAboutFile)(const char *path, unsigned long error);
    int removed;                   // files deleted
    int kept;                      // files changed or added since the installation, the user's folders
    int failed;                    // files that stayed against the user's wish, entries not touched
    int aborted;                   // 1 after Abort: nothing more was touched
};

// Removes the installation's files still as installed and its owner data
// file, then looks again: a file that should be gone and is still there
// counts as failed. Only entries inside the install folder (normal form)
// are touched.
void removeInstalledFiles(RemovalRun *run);
// The directories the installation made, the deepest first, when empty;
// what the user added to them is counted as kept.
void removeMadeFolders(RemovalRun *run);
// What names the product once every installation's files are gone: the
// WIN.INI entries when they point at one of folders, the registration. 1
// when none of them is left.
int forgetProduct(const RecordList *folders);
// The record file at path: 1 when it is gone.
int removeRecord(const char *record);

// The journal of a removal under way, beside the record in the product's
// data folder: a removal killed on its way is completed by the next one.
extern const char removalJournalName[];  // "QMREMOVE.JNL"

enum FileUse { fileFree = 0, fileInUse = 1, fileUnremovable = 2 };
// Whether the file at path could be removed now: a FileUse, *error the
// system's code when it could not. A file that is not there is free.
int fileUseOf(const char *path, unsigned long *error);

// The registration and the WIN.INI entries that name dir (normal form),
// for an installation whose folder is gone: 1 when nothing of them is left.
int removeRegistrationOf(const char *dir);

// What an error code means for the user: "in use", "access denied", or the system's text.
void describeError(unsigned long error, char *text, int size);
