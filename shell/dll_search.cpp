#include "shell/dll_search.h"

#include <windows.h>

typedef BOOL(WINAPI *DefaultDllDirectoriesCall)(DWORD);
typedef BOOL(WINAPI *DllDirectoryCall)(LPCSTR);

void loadDllsFromSystemOnly()
{
    // Windows 8, and 7 and Vista updated, have the first; XP SP1 the second,
    // which takes the current folder out of the search; older ones neither.
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    if (!kernel) return;
    DefaultDllDirectoriesCall defaults =
        (DefaultDllDirectoriesCall)(void *)GetProcAddress(kernel, "SetDefaultDllDirectories");
    DllDirectoryCall directory = (DllDirectoryCall)(void *)GetProcAddress(kernel, "SetDllDirectoryA");
    if (defaults) defaults(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (directory) directory("");
}
