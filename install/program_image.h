// The running program's own file, which an installation writes into the
// install directory as the uninstaller.
#pragma once
#include <windows.h>

// Room for the running program's file name, which may be longer than a text.
enum { programPathSize = 1024 };

// The running program's full file name, a share's as \\server\share\...:
// 0, or -1 when it cannot be had whole.
int runningProgramPath(char *path, int size);
// Reads the program's file while the medium that holds it is still there:
// a disk set ends with its last disk in the drive, and SETUP.EXE is on the
// first. Once kept, the file is not read again: the uninstaller is the very
// image that was checked at the start.
void keepProgramImage();
// The program's file as kept, with its size in *size; null when it could
// not be read.
const unsigned char *keptProgramImage(unsigned long *size);
// Writes the program's file (as kept, else copied) to path: 1 when whole.
int writeProgramImage(const char *path);
