// SNBD7W95.DLL, the imaging library: the entry points the setup program
// calls. All 33 are exported by their plain names with the stdcall
// convention; the other 29 take no arguments and return imagingFailure.
#pragma once
#include <windows.h>

enum { imagingFailure = -1 };

#ifdef __cplusplus
extern "C" {
#endif
// Decodes a Windows BMP read from an OpenFile handle; an image handle, or -1.
typedef int(WINAPI *ImgDecompressBitmapFd)(HFILE file, int reserved1, int reserved2);
// Records whether scaling smooths the picture; returns 0.
typedef int(WINAPI *ImgLowSetAlias)(int on);
// A device-dependent bitmap of the image scaled to width x height. The library
// keeps and frees it; null when the image is unusable.
typedef HBITMAP(WINAPI *ImgDibToDdb)(int image, int width, int height);
// A palette of the image, owned (and deleted) by the caller; null on failure.
typedef HPALETTE(WINAPI *ImgGetBitmapPalette)(int image);
#ifdef __cplusplus
}
#endif
