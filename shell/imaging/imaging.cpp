// The optional imaging library SNBD7W95.DLL: bound all or nothing by its 33
// names; only its presence decides whether the billboard has a picture.
#include "shell/imaging/imaging.h"

#include <lzexpand.h>

#include "copy/transfer.h"
#include "install/install_state.h"
#include "install/paths.h"
#include "install/setup_log.h"
#include "install/text.h"

HMODULE imagingLibrary;
FARPROC imagingEntryPoints[imagingEntryPointCount];
int backgroundImage = -1;

// Binding order; the four called ones are at the indices named below.
const char *const imagingEntryPointNames[imagingEntryPointCount] = {
    "IMGLOW_get_filetype",      "IMGLOW_get_pages",           "IMGLOW_get_bitmap_name",
    "IMG_set_statusbar",        "IMG_decompress_bitmap_fd",   "IMGLOW_get_bitmap_header",
    "IMG_delete_bitmap",        "IMG_set_croprect",           "IMG_display_bitmap",
    "IMG_bitmap_palette",       "IMG_rotate_bitmap",          "IMG_flip_bitmapx",
    "IMG_flip_bitmapy",         "IMG_bitmap_info",            "IMG_print_bitmap",
    "IMGLOW_set_alias",         "IMG_dib_to_ddb",             "IMG_sharpen_bitmap",
    "IMG_set_lut",              "IMG_set_gamma",              "IMG_invert_bitmap",
    "IMG_get_bitmap_palette",   "IMG_print_bitmap_fast",      "IMG_runs_to_dib",
    "IMG_set_display_angle",    "IMG_save_bitmap",            "IMGLOW_set_alias_quality",
    "IMGLOW_get_raster",        "IMGLOW_set_rop",             "IMGLOW_is_tiled_image",
    "IMGLOW_get_tile_info",     "IMG_decompress_tiled_bitmap", "IMGLOW_get_image_orientation",
};

enum {
    decompressBitmapFdIndex = 4,
    setAliasIndex = 15,
    dibToDdbIndex = 16,
    getBitmapPaletteIndex = 21,
};

// Entry points are stored untyped; the detour through void * keeps the
// compiler from warning about the function pointer conversion.
template <typename T> static T entryPoint(int index)
{
    return reinterpret_cast<T>(reinterpret_cast<void *>(imagingEntryPoints[index]));
}

ImgDecompressBitmapFd imagingDecompressBitmapFd()
{
    return entryPoint<ImgDecompressBitmapFd>(decompressBitmapFdIndex);
}

ImgLowSetAlias imagingSetAlias()
{
    return entryPoint<ImgLowSetAlias>(setAliasIndex);
}

ImgDibToDdb imagingDibToDdb()
{
    return entryPoint<ImgDibToDdb>(dibToDdbIndex);
}

ImgGetBitmapPalette imagingGetBitmapPalette()
{
    return entryPoint<ImgGetBitmapPalette>(getBitmapPaletteIndex);
}

static void clearEntryPoints()
{
    for (int i = 0; i < imagingEntryPointCount; i++) imagingEntryPoints[i] = NULL;
}

/* The medium's file name beside SETUP.EXE into path when it is the
 * release's file (its size and CRC), else 0: a damaged or foreign library
 * would run its start-up code in this process before any check. A missing
 * file is passed over in silence; the copy reports it. */
static int releaseFileBeside(const char *name, char *path, int size)
{
    if (prepareSource() != 0 || formatText(path, size, "%s%s", installState.sourceDir, name) != 0) return 0;
    const ReleaseFile *expected = releaseFileBesideProgram(name);
    WrittenFile read;
    LZStart();
    int check = expected ? checkSourceFile(path, expected, &read) : sourceDamaged;
    LZDone();
    if (check == sourceDamaged)
        writeLog("%s is not the release's: not opened; the billboard goes without its picture", path);
    return check == sourceWhole;
}

/*
 * Loads the library by its full path beside SETUP.EXE, once it is found to
 * be the release's, and resolves every name in order. One name missing
 * unloads it again, silently: the billboard then has no picture. Bound, it
 * decodes newscr1.bmp once, checked as the library is; the image lives for
 * the whole run.
 */
void bindImagingLibrary()
{
    char path[textSize];
    HMODULE library = releaseFileBeside("SNBD7W95.DLL", path, sizeof path) ? LoadLibraryA(path) : NULL;
    if (!library) return;
    for (int i = 0; i < imagingEntryPointCount; i++) {
        imagingEntryPoints[i] = GetProcAddress(library, imagingEntryPointNames[i]);
        if (!imagingEntryPoints[i]) {
            clearEntryPoints();
            FreeLibrary(library);
            return;
        }
    }
    imagingLibrary = library;
    OFSTRUCT opened = {};
    opened.cBytes = sizeof opened;
    // The library reads the picture through this handle, which stays open.
    HFILE picture = releaseFileBeside("newscr1.bmp", path, sizeof path) ? OpenFile(path, &opened, OF_READ) : HFILE_ERROR;
    backgroundImage = imagingDecompressBitmapFd()(picture, 0, 0);
}

void releaseImagingLibrary()
{
    if (imagingLibrary) FreeLibrary(imagingLibrary);
    imagingLibrary = NULL;
    clearEntryPoints();
}
