// The running program's own file, kept in memory to become the uninstaller.
#include "install/program_image.h"

#include <cstdlib>
#include <cstring>

#include "install/text.h"

int runningProgramPath(char *path, int size)
{
    char module[programPathSize];
    DWORD length = GetModuleFileNameA(NULL, module, sizeof module);
    if (length == 0 || length >= sizeof module) return -1;
    // Wine names a program started from a share UNC\server\share\...
    if (strncmp(module, "UNC\\", 4) == 0) return formatText(path, size, "\\\\%s", module + 4);
    return copyText(path, size, module);
}

static char *programImage;       // the running program's file, once kept, or null
static DWORD programImageSize;

void keepProgramImage()
{
    char program[programPathSize];
    if (programImage) return;
    if (runningProgramPath(program, sizeof program) != 0) return;
    HANDLE file = CreateFileA(program, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    DWORD read = 0;
    // A program is far below 4 GB; anything else is not kept.
    char *image = high == 0 && size != INVALID_FILE_SIZE && size > 0 ? static_cast<char *>(malloc(size)) : NULL;
    if (image && ReadFile(file, image, size, &read, NULL) && read == size) {
        programImage = image;
        programImageSize = size;
    } else {
        free(image);
    }
    CloseHandle(file);
}

const unsigned char *keptProgramImage(unsigned long *size)
{
    *size = programImageSize;
    return reinterpret_cast<const unsigned char *>(programImage);
}

int writeProgramImage(const char *path)
{
    char program[programPathSize];
    int named = runningProgramPath(program, sizeof program) == 0;
    // Run from there already (a reinstallation by the uninstaller itself).
    if (named && lstrcmpiA(program, path) == 0) return 1;
    if (!programImage) return named && CopyFileA(program, path, FALSE) != 0;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    int whole = WriteFile(file, programImage, programImageSize, &written, NULL) && written == programImageSize;
    if (!CloseHandle(file)) whole = 0;
    if (!whole) DeleteFileA(path);
    return whole;
}
