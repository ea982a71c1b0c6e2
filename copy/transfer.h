// Copies one file through the platform's LZ library, expanding a compressed
// source. The caller brackets a series of calls with LZStart and LZDone.
#pragma once
#include <windows.h>

void transferFile(const char *source, const char *destination);
// The same for a source already open for reading at its start; closes it.
void transferOpenSource(HFILE file, const char *source, const char *destination);
