// A DLL of LZ32's name that a user plants beside a program: loaded, it
// leaves a mark on the disk, so a test sees that the program took it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    HANDLE mark = CreateFileA("C:\\QMPLANTED.TXT", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
    return TRUE;
}
