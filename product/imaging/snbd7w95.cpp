// SNBD7W95.DLL, the product's imaging library, as far as the setup program
// needs it: it decodes uncompressed Windows BMP pictures and hands out
// scaled device-dependent bitmaps and palettes of them. The other entry
// points exist so that the library binds, and report failure.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "product/imaging/snbd7w95.h"

enum {
    maxImages = 16,            // decoded pictures held at once
    maxPictureSide = 8192,     // pixels; bounds every size computed below
    maxPictureFileSize = 64 * 1024 * 1024,
    fileHeaderSize = 14,
    infoHeaderSize = 40,
};

struct Image {
    BITMAPINFO *info;  // header and colour table; null when the slot is free
    BYTE *bits;        // the pixel rows as stored in the file
    HBITMAP scaled;    // the last bitmap handed out; ours until replaced or unloaded
    int scaledWidth, scaledHeight, scaledAlias;
};

static Image images[maxImages];  // handle h is images[h - 1]
static int aliasOn;              // smooth scaling, as IMGLOW_set_alias asked

static unsigned readU16(const BYTE *p) { return p[0] | (p[1] << 8); }
static unsigned long readU32(const BYTE *p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | ((unsigned long)p[3] << 24);
}

static Image *imageOf(int handle)
{
    if (handle < 1 || handle > maxImages || !images[handle - 1].info) return NULL;
    return &images[handle - 1];
}

static void freeImage(Image *image)
{
    if (image->scaled) DeleteObject(image->scaled);
    free(image->info);
    free(image->bits);
    memset(image, 0, sizeof *image);
}

/*
 * Reads the whole file behind an OpenFile handle into a new buffer.
 * Returns the buffer (the caller frees it) or null; *size gets its length.
 */
static BYTE *readWholeFile(HFILE file, DWORD *size)
{
    HANDLE handle = (HANDLE)(INT_PTR)file;
    if (file == HFILE_ERROR) return NULL;
    DWORD length = GetFileSize(handle, NULL);
    if (length == INVALID_FILE_SIZE || length > maxPictureFileSize) return NULL;
    if (SetFilePointer(handle, 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return NULL;
    BYTE *data = (BYTE *)malloc(length ? length : 1);
    if (!data) return NULL;
    DWORD got = 0;
    if (!ReadFile(handle, data, length, &got, NULL) || got != length) {
        free(data);
        return NULL;
    }
    *size = length;
    return data;
}

/*
 * Checks a BMP file held in memory and copies its header, colour table and
 * pixels into image. Every offset and size comes from the file, so each is
 * checked against the file's length before it is used.
 * Returns 0, or -1 when the file is not a picture this library reads.
 */
static int parseBitmap(const BYTE *file, DWORD size, Image *image)
{
    if (size < fileHeaderSize + infoHeaderSize || file[0] != 'B' || file[1] != 'M') return -1;
    unsigned long bitsOffset = readU32(file + 10);
    const BYTE *header = file + fileHeaderSize;
    unsigned long headerSize = readU32(header);
    long width = (long)readU32(header + 4);
    long height = (long)readU32(header + 8);
    unsigned planes = readU16(header + 12), bitCount = readU16(header + 14);
    unsigned long compression = readU32(header + 16), colorsUsed = readU32(header + 32);

    if (headerSize < infoHeaderSize || headerSize > size - fileHeaderSize) return -1;
    if (planes != 1 || compression != BI_RGB) return -1;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
        return -1;
    // Negative height: rows stored top-down. Bounded before it is negated.
    if (width < 1 || width > maxPictureSide || height == 0 || height < -maxPictureSide ||
        height > maxPictureSide)
        return -1;
    long rows = height < 0 ? -height : height;

    unsigned long colors = 0;
    if (bitCount <= 8) {
        unsigned long most = 1ul << bitCount;
        colors = colorsUsed ? colorsUsed : most;
        if (colors > most) return -1;
    }
    unsigned long tableOffset = fileHeaderSize + headerSize;
    if (colors * 4 > size - tableOffset) return -1;
    unsigned long stride = ((unsigned long)width * bitCount + 31) / 32 * 4;
    unsigned long long bitsSize = (unsigned long long)stride * rows;
    if (bitsOffset > size || bitsSize > size - bitsOffset) return -1;

    size_t infoSize = infoHeaderSize + colors * sizeof(RGBQUAD);
    BITMAPINFO *info = (BITMAPINFO *)calloc(1, infoSize);
    BYTE *bits = (BYTE *)malloc((size_t)bitsSize);
    if (!info || !bits) {
        free(info);
        free(bits);
        return -1;
    }
    // A plain 40-byte header whatever the file's version: GDI reads only that.
    info->bmiHeader.biSize = infoHeaderSize;
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = (WORD)bitCount;
    info->bmiHeader.biCompression = BI_RGB;
    info->bmiHeader.biClrUsed = colors;
    memcpy(info->bmiColors, file + tableOffset, colors * sizeof(RGBQUAD));
    memcpy(bits, file + bitsOffset, (size_t)bitsSize);
    image->info = info;
    image->bits = bits;
    return 0;
}

/*
 * A palette of the picture's own colours, or for a picture without a colour
 * table the system's halftone palette. Null when GDI refuses.
 */
static HPALETTE makePalette(const Image *image)
{
    DWORD colors = image->info->bmiHeader.biClrUsed;
    if (colors == 0) {
        HDC screen = GetDC(NULL);
        HPALETTE halftone = screen ? CreateHalftonePalette(screen) : NULL;
        if (screen) ReleaseDC(NULL, screen);
        return halftone;
    }
    LOGPALETTE *logical =
        (LOGPALETTE *)malloc(sizeof(LOGPALETTE) + colors * sizeof(PALETTEENTRY));
    if (!logical) return NULL;
    logical->palVersion = 0x300;
    logical->palNumEntries = (WORD)colors;
    for (DWORD i = 0; i < colors; i++) {
        const RGBQUAD *c = &image->info->bmiColors[i];
        logical->palPalEntry[i].peRed = c->rgbRed;
        logical->palPalEntry[i].peGreen = c->rgbGreen;
        logical->palPalEntry[i].peBlue = c->rgbBlue;
        logical->palPalEntry[i].peFlags = 0;
    }
    HPALETTE palette = CreatePalette(logical);
    free(logical);
    return palette;
}

/*
 * Draws the picture scaled to width x height into a new bitmap compatible
 * with the screen. Returns the bitmap, or null with nothing left behind.
 */
static HBITMAP scalePicture(const Image *image, int width, int height)
{
    HDC screen = GetDC(NULL);
    if (!screen) return NULL;
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HDC memory = CreateCompatibleDC(screen);
    int drawn = 0;
    if (bitmap && memory) {
        HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
        HPALETTE palette = makePalette(image);
        HPALETTE oldPalette = NULL;
        if (palette) {
            oldPalette = SelectPalette(memory, palette, FALSE);
            RealizePalette(memory);
        }
        SetStretchBltMode(memory, aliasOn ? HALFTONE : COLORONCOLOR);
        SetBrushOrgEx(memory, 0, 0, NULL);  // HALFTONE needs it set after the mode
        const BITMAPINFOHEADER *h = &image->info->bmiHeader;
        long rows = h->biHeight < 0 ? -h->biHeight : h->biHeight;
        // Scan lines drawn; 0 or GDI_ERROR (-1) on failure.
        int lines = StretchDIBits(memory, 0, 0, width, height, 0, 0, h->biWidth, rows,
                                  image->bits, image->info, DIB_RGB_COLORS, SRCCOPY);
        drawn = lines > 0;
        if (palette) {
            SelectPalette(memory, oldPalette, FALSE);
            DeleteObject(palette);
        }
        SelectObject(memory, oldBitmap);
    }
    if (memory) DeleteDC(memory);
    ReleaseDC(NULL, screen);
    if (!drawn && bitmap) {
        DeleteObject(bitmap);
        bitmap = NULL;
    }
    return bitmap;
}

extern "C" {

/*
 * Decodes the BMP picture behind an OpenFile handle. The handle stays open;
 * it belongs to the caller. Returns an image handle (1 and up) or -1.
 */
int WINAPI IMG_decompress_bitmap_fd(HFILE file, int reserved1, int reserved2)
{
    (void)reserved1;
    (void)reserved2;
    int slot = 0;
    while (slot < maxImages && images[slot].info) slot++;
    if (slot == maxImages) return imagingFailure;
    DWORD size = 0;
    BYTE *data = readWholeFile(file, &size);
    if (!data) return imagingFailure;
    int result = parseBitmap(data, size, &images[slot]);
    free(data);
    return result == 0 ? slot + 1 : imagingFailure;
}

// Smooth (halftone) scaling when on is non-zero, plain pixel picking otherwise.
int WINAPI IMGLOW_set_alias(int on)
{
    aliasOn = on != 0;
    return 0;
}

/*
 * The picture scaled to width x height as a device-dependent bitmap. The
 * library keeps it: asked again for the same size it returns the same
 * bitmap, and it deletes it when a new size is asked for or on unloading,
 * so the caller, which asks on every paint, never deletes it.
 */
HBITMAP WINAPI IMG_dib_to_ddb(int handle, int width, int height)
{
    Image *image = imageOf(handle);
    if (!image || width < 1 || width > maxPictureSide || height < 1 || height > maxPictureSide)
        return NULL;
    if (image->scaled && image->scaledWidth == width && image->scaledHeight == height &&
        image->scaledAlias == aliasOn)
        return image->scaled;
    HBITMAP bitmap = scalePicture(image, width, height);
    if (!bitmap) return NULL;
    if (image->scaled) DeleteObject(image->scaled);
    image->scaled = bitmap;
    image->scaledWidth = width;
    image->scaledHeight = height;
    image->scaledAlias = aliasOn;
    return bitmap;
}

// A new palette of the picture; the caller deletes it.
HPALETTE WINAPI IMG_get_bitmap_palette(int handle)
{
    Image *image = imageOf(handle);
    return image ? makePalette(image) : NULL;
}

#include "product/imaging/unused_entries.inc"

/*
 * Unloaded with FreeLibrary, the library deletes what it holds. At process
 * exit (reserved non-null) the system reclaims everything, and GDI may
 * already be gone, so nothing is touched.
 */
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    if (reason == DLL_PROCESS_DETACH && reserved == NULL) {
        for (int i = 0; i < maxImages; i++) freeImage(&images[i]);
    }
    return TRUE;
}

}  // extern "C"

// The definitions must match the types the program binds them with.
static_assert(std::is_same<decltype(&IMG_decompress_bitmap_fd), ImgDecompressBitmapFd>::value,
              "IMG_decompress_bitmap_fd");
static_assert(std::is_same<decltype(&IMGLOW_set_alias), ImgLowSetAlias>::value,
              "IMGLOW_set_alias");
static_assert(std::is_same<decltype(&IMG_dib_to_ddb), ImgDibToDdb>::value, "IMG_dib_to_ddb");
static_assert(std::is_same<decltype(&IMG_get_bitmap_palette), ImgGetBitmapPalette>::value,
              "IMG_get_bitmap_palette");
