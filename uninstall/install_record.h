// The record file of what installations put on the disk, for the
// uninstaller: for each install folder, every directory they made and every
// file they wrote, with its size and checksum. Each completed installation
// adds its part, so that the record of an upgrade still holds the files only
// an earlier release wrote, and one into another folder the earlier folder.
#pragma once
#include <cstdint>

#include "install/text.h"

extern const char recordFileName[];      // "QMREMOVE.DAT"
extern const char uninstallerFileName[]; // "QMREMOVE.EXE"

// An installation's entry opens its part: its path is the install folder.
enum RecordKind { recordedFile = 'F', recordedDirectory = 'D', recordedInstallation = 'I' };

struct RecordEntry {
    int kind;               // a RecordKind
    unsigned long size;     // files only
    uint32_t checksum;      // files only
    char path[textSize];    // full path, as the installation wrote it
};

// A list that grows as entries come (C allocation: the program carries no
// exception machinery). Zero-initialised, it is empty.
struct RecordList {
    RecordEntry *entries;
    int count;
    int capacity;
};

// 0, or -1 when there is no memory for it (the list is unchanged).
int appendEntry(RecordList *list, int kind, unsigned long size, uint32_t checksum, const char *path);
void freeRecordList(RecordList *list);

// Adds one installation's part to the record file at path: the install
// folder (normal form) and the entries of levels, then of run, that the
// record does not already hold as they are; their paths under typed (the
// folder as typed, in normalFolderForm; null: none) are named under folder. The record is written anew and
// put in place in one step, closed by a trailer that counts its parts and
// entries and checks its bytes; a record not whole is not kept. 0, or -1
// when it could not be written.
int appendRecordPart(const char *path, const char *folder, const char *typed, const RecordList *levels,
                     const RecordList *run);

// The line of an entry, without its line end: 0, or -1 when it does not fit.
int recordLine(const RecordEntry *entry, char *line, int size);
// 1 when line is an entry, 0 for any other line (the header, a damaged line).
int parseRecordLine(const char *line, RecordEntry *entry);
enum { recordNotWhole = -2 };
// Every entry of the record file at path, in order, into an empty list: 0;
// -1 when it cannot be read (or no memory); recordNotWhole when it was not
// written whole (cut short, emptied, changed, not a record): then none of it
// may be trusted. The record of an install folder of the first format (no
// installation entries) is read as well.
int readInstallRecord(const char *path, RecordList *entries);
// The install folders of a record, each once, in order.
int installationsOf(const RecordList *entries, RecordList *folders);
// The entries of every part of the record for folder, appended to part.
int entriesOfInstallation(const RecordList *entries, const char *folder, RecordList *part);
// The check every entry passes before the uninstaller uses it: a file
// strictly inside folder (normal form), or a directory inside it, the folder
// itself or, with levelsTrusted (a record only administrators write), a
// level made on the way to it. Those are kept, in normal form; the others go
// to refused. 0, or -1 without memory.
int keepEntriesInside(const char *folder, int levelsTrusted, RecordList *entries, RecordList *refused);

// The files of a record as they stand after its last installation: a path
// written more than once counts with its latest size and checksum. In the
// order first written; paths compared without regard to ASCII case, by character.
int latestFiles(const RecordList *entries, RecordList *files);
// The directories of a record, each once, the deepest (longest) first: the
// order in which they can be removed once empty.
int madeDirectories(const RecordList *entries, RecordList *dirs);
// The entry of list whose path is path (ASCII case aside), or null.
const RecordEntry *findPath(const RecordList *list, const char *path);
