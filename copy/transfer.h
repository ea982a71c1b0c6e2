// Copies one file through the platform's LZ library, expanding a compressed
// source. The caller brackets a series of calls with LZStart and LZDone.
#pragma once
#include <windows.h>

#include "copy/manifest.h"

enum TransferResult {
    transferDone = 0,        // copied, in place already, or reported by its own box
    transferNotCreated = 1,  // the destination could not be created: in use, a folder, no access
    transferNoSource = 2,    // the source could not be opened: the destination is untouched
};

// What the latest transfer left at its destination: the bytes it wrote,
// read back through the same handle, whole or not.
struct WrittenFile {
    int written;             // 1 when the destination was created and written
    unsigned long size;
    unsigned int checksum;   // install/checksum.h
};
extern WrittenFile lastWritten;

int transferFile(const char *source, const char *destination);
// The bytes the last transfer wrote, or -1 when it wrote no file.
extern long transferredBytes;
// The source opened as the transfer reads it, writers shut out (creating the
// destination can then never empty it under another name); HFILE_ERROR when
// it cannot be opened.
HFILE openTransferSource(const char *source);
// transferFile for a source the caller opened with openTransferSource and
// left at its start (the source is closed here), checked against what the
// release put on the medium (expected, or null, or a size of -1, for a file
// the tables do not know): a copy of another size or checksum is a failed
// copy, reported by the transfer's box and in the log, and left nowhere: an
// earlier file at the destination stays as it was. Reading stops one byte
// past the expected size.
int transferCheckedSource(HFILE file, const char *source, const char *destination, const ReleaseFile *expected);
// transferFile, checked as transferCheckedSource checks.
int transferCheckedFile(const char *source, const char *destination, const ReleaseFile *expected);
enum SourceCheck { sourceWhole = 0, sourceDamaged = 1, sourceMissing = 2 };
// Reads source expanded, as the transfer would, and writes nothing: its size
// and CRC-32 into *read; sourceDamaged (logged) when they are not expected's,
// sourceMissing when it does not open. A file the tables do not know is
// whole when it reads to its end.
int checkSourceFile(const char *source, const ReleaseFile *expected, WrittenFile *read);
// 1 when the latest transfer found its source other than the release's.
extern int transferFoundDamage;
// The release's file for a manifest file name (letter case ignored), or
// null when the manifest has no such file.
const ReleaseFile *releaseFileNamed(const char *name);
// The release's file for a name the program opens beside itself: the
// manifest's when it lists the name, else the one the medium holds unlisted;
// null when the tables know neither.
const ReleaseFile *releaseFileBesideProgram(const char *name);
