// Binding of the optional imaging library that draws the background picture.
#pragma once
#include <windows.h>

#include "product/imaging/snbd7w95.h"

enum { imagingEntryPointCount = 33 };

extern HMODULE imagingLibrary;  // null when absent, incomplete or released
extern FARPROC imagingEntryPoints[imagingEntryPointCount];  // in binding order
extern int backgroundImage;     // -1 until the picture is decoded
extern const char *const imagingEntryPointNames[imagingEntryPointCount];

// Loads the library and, only when all 33 names resolve, decodes newscr1.bmp.
void bindImagingLibrary();
// FreeLibrary at the end of the installation; later paints draw no picture.
void releaseImagingLibrary();

// The four entry points the program calls, typed; valid only while bound.
ImgDecompressBitmapFd imagingDecompressBitmapFd();
ImgLowSetAlias imagingSetAlias();
ImgDibToDdb imagingDibToDdb();
ImgGetBitmapPalette imagingGetBitmapPalette();
