// What this run put on the disk, collected as it happens: the install
// directory's levels it made, the directories the copy made and the files it
// wrote with their size and checksum. A completed installation appends them
// to the record the uninstaller reads.
#pragma once
#include <cstdint>

// The install directory's levels made by its latest creation; an earlier
// attempt the user then changed is forgotten.
void forgetInstallLevels();
void noteInstallLevel(const char *path);
// A directory the copy made, a file it wrote (checksum of its whole bytes).
void noteMadeDirectory(const char *path);
void noteWrittenFile(const char *path, unsigned long size, uint32_t checksum);
// 1 when this run made the directory at path (any form).
int runMadeDirectory(const char *path);
// Forgets the whole run (tests).
void resetInstallRecord();
// The bytes of the files this run wrote, in whole kilobytes rounded up.
unsigned long recordedKilobytes();

// keep is called with the record's path before this run's entries are
// added to it, and with the uninstaller's before it is written (the
// transaction keeps the earlier file, or notes the new one, for its undo):
// 0 to go on.
void keepRecordWith(int (*keep)(const char *path));
// A file of the removal's at path (the uninstaller's program, an earlier
// layout's record), about to be written or removed, told to keep: 0 to go on.
int keepFileBeforeChanging(const char *path);
// Adds this run's entries to the record file at path as the part of the
// install folder (normal form; typed: as typed, see appendRecordPart), once:
// a second call after a success writes nothing. 0, or -1 when it could not be written
// (or an entry could not be kept for lack of memory).
int saveInstallRecord(const char *path, const char *folder, const char *typed);
