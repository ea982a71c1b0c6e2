// Copies one file through the platform's LZ library, expanding a compressed
// source. The caller brackets a series of calls with LZStart and LZDone.
#pragma once
#include <windows.h>

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
// left at its start; the source is closed here.
int transferOpenSource(HFILE file, const char *source, const char *destination);
