// The optional imaging library SNBD7W95.DLL: bound all or nothing by its 33
// names; only its presence decides whether the billboard has a picture.
#include "shell/imaging/imaging.h"

#include "install/program_image.h"
#include "install/text.h"
#include "ownerdata/characters.h"

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

/*
 * Loads the library by bare name and resolves every name in order. One name
 * missing unloads it again, silently: the billboard then has no picture.
 * Bound, it decodes newscr1.bmp once; the image lives for the whole run.
 */
void bindImagingLibrary()
{
    // The bare name's first place, the program's folder, named in full: the
    // search order set at the start looks in the system folder alone.
    char path[programPathSize];
    const char *slash = runningProgramPath(path, sizeof path) == 0 ? lastCharacterOf(path, "\\") : NULL;
    if (!slash) return;
    path[slash - path + 1] = '\0';
    if (appendText(path, sizeof path, "SNBD7W95.DLL") != 0) return;
    HMODULE library = LoadLibraryA(path);
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
    HFILE picture = OpenFile("newscr1.bmp", &opened, OF_READ);
    backgroundImage = imagingDecompressBitmapFd()(picture, 0, 0);
}

void releaseImagingLibrary()
{
    if (imagingLibrary) FreeLibrary(imagingLibrary);
    imagingLibrary = NULL;
    clearEntryPoints();
}
