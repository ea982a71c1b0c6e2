// Copies one file through the platform's LZ library, expanding a compressed
// source. The caller brackets a series of calls with LZStart and LZDone.
#pragma once

void transferFile(const char *source, const char *destination);
