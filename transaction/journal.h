// The installation as one change to the machine. Before anything changes,
// a line in the journal (in the product's data folder) says how to take it
// back: a directory or a file this run made, an earlier file and the new
// copy written beside it, a WIN.INI entry's earlier value. The new copies
// take their names in one short step once every file is written; the run
// then commits (the journal's last line), or any stop takes everything back.
// A run that was killed leaves the journal for the next run to finish.
#pragma once

// A directory about to be made at path, which is not there yet: for the
// undo, on the disk before the directory is.
void noteDirectoryToMake(const char *path);
// A directory this run made, after it was made: for the record (an install
// directory level, or one the copy made).
void noteDirectoryMade(const char *path, int installLevel);
// A file the run will write at path, announced with the others of its
// directory before the first of them is written: as one it makes, or as an
// earlier file it gives a new copy beside it. Their journal lines reach the
// disk together at flushAnnouncedFiles, which comes before any is written.
void announceFile(const char *path);
void flushAnnouncedFiles();
// A file this run created at path, which had none.
void noteFileCreated(const char *path);

enum StagePlace {
    stageFailed = -1,    // no name beside it, or the journal cannot say where
    stageInPlace = 0,    // this run's own file: written again in place
    stageBeside = 1,     // an earlier file: the copy goes to *staged, beside it
};
// Where a new copy of the existing file at path is written (a StagePlace).
// One that another program still holds at the final step takes its name at
// the next start of Windows.
int stageExistingFile(const char *path, char *staged, int stagedSize);
// The copy staged for path is whole and checked (after the final step it
// takes its name at once), or it failed and is gone (the earlier file stays).
// 0, or -1 when it could not take its name.
int stagedFileDone(const char *path, int whole);

// A file that the run is about to write in place (the owner data, the
// record): an earlier one copied aside for the undo, a new one noted as
// made. 0, or -1 when no copy could be made.
int keepBeforeWriting(const char *path);

// The earlier value of an entry of WIN.INI (at file), kept for the undo
// before it is written: 0, or -1 when the file cannot be read now.
int keepProfileEntry(const char *file, const char *section, const char *key);

// Whether the product's key is there before this run writes it: one this
// run makes goes when the run is taken back.
void keepProductKey();

// The final step: every staged copy takes its name, an earlier file kept
// aside until the commit; a file in use takes it at the next start. 0, or
// -1 when a file could not be placed (the caller takes the run back).
int placeStagedFiles();
// 1 when a file takes its name only at the next start of Windows.
int restartNeeded();
// Everything is written: the earlier files kept aside go, and the journal.
void commitInstallation();
// Takes back everything this run changed; the journal goes. Nothing to do
// when nothing was changed or the run committed.
void undoInstallation();

// The journal a killed run left, finished: a committed run's leftovers
// removed, any other run taken back. Logged; called after the lock is taken.
void recoverInterruptedRun();
