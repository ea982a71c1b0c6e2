// hold_file FILE [/IMAGE]: another program holding a product file open, as a
// user's running copy of the product does, until its session ends (the PC
// "restarts") or a limit passes. Plain, the file is opened for reading with
// only reading shared: no one may write, delete or rename it. /IMAGE holds it
// as Windows holds a running program's image: it may be renamed, not written
// or deleted. Prints "holding FILE" once it holds it, so that a script can
// wait for that line; exit code 0 after the limit, 1 when it cannot hold it.
#include <windows.h>

#include <cstdio>
#include <cstring>

enum { holdLimitMs = 15 * 60 * 1000 };  // a forgotten holder never outlives a fleet run for long

int main(int argc, char **argv)
{
    bool image = argc == 3 && strcmp(argv[2], "/IMAGE") == 0;
    if (argc < 2 || argc > 3 || (argc == 3 && !image)) {
        fprintf(stderr, "usage: hold_file FILE [/IMAGE]\n");
        return 1;
    }
    DWORD share = image ? FILE_SHARE_READ | FILE_SHARE_DELETE : FILE_SHARE_READ;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, share, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "hold_file: cannot open %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    printf("holding %s\n", argv[1]);
    fflush(stdout);
    Sleep(holdLimitMs);
    CloseHandle(file);
    return 0;
}
