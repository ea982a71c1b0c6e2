// Copies one file through the platform's LZ library, expanding a compressed
// source. The caller brackets a series of calls with LZStart and LZDone.
#pragma once

enum TransferResult {
    transferDone = 0,        // copied, in place already, or reported by its own box
    transferNotCreated = 1,  // the destination could not be created: in use, a folder, no access
};

int transferFile(const char *source, const char *destination);
