#include "transaction/data_folder.h"

#include <windows.h>

#include "install/text.h"
#include "uninstall/folder_rights.h"

static const char productFolderName[] = "Quillmark";

enum { commonAppData = 0x0023 };  // CSIDL_COMMON_APPDATA

typedef HRESULT(WINAPI *FolderPathCall)(HWND, int, HANDLE, DWORD, LPSTR);

// The machine's program-data folder. SHGetFolderPathA is in shell32 from
// Windows 2000 on; 95/98/Me and NT 4 have none, and keep the product's data
// beside the Windows folder's own.
static int programDataFolder(char *path, int size)
{
    char folder[MAX_PATH] = "";
    char system[MAX_PATH], shell[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, sizeof system);
    HMODULE library = NULL;
    // Loaded from the system folder by its full name: never a shell32 beside the program.
    if (length > 0 && length < sizeof system && formatText(shell, sizeof shell, "%s\\SHELL32.DLL", system) == 0)
        library = LoadLibraryA(shell);
    FolderPathCall folderPath = library ? (FolderPathCall)(void *)GetProcAddress(library, "SHGetFolderPathA") : NULL;
    int found = folderPath && SUCCEEDED(folderPath(NULL, commonAppData, NULL, 0, folder)) && folder[0] != '\0';
    if (library) FreeLibrary(library);
    if (!found) {
        UINT windows = GetWindowsDirectoryA(folder, sizeof folder);
        if (windows == 0 || windows >= sizeof folder) return -1;
    }
    return copyText(path, size, folder);
}

int productDataFolder(char *path, int size)
{
    // Asked of the platform once a run: each question loads and frees the
    // shell's library, some 15 ms under Wine, and a run asks several times.
    static char known[textSize];
    if (known[0] == '\0' && programDataFolder(known, sizeof known) != 0) {
        known[0] = '\0';
        return -1;
    }
    return formatText(path, size, "%s\\%s", known, productFolderName);
}

int makeProductDataFolder(char *path, int size)
{
    if (productDataFolder(path, size) != 0) return -1;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? 0 : -1;
    if (!CreateDirectoryA(path, NULL)) return -1;
    protectInstallFolder(path);
    return 0;
}
