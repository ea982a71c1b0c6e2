// The disk loop: checks free space, asks for disks, walks the manifest.
#pragma once
#include "install/text.h"

extern unsigned int requiredBytes;        // room the whole set needs, in bytes
extern char destinationPath[textSize];    // destination of the file being transferred

int copyAllDisks();                       // 0, or -2 when refused or cancelled
int copyDisk(char driveLetter, int disk); // 0 or -2
// The longest path below the install directory that the walk writes, with
// the backslash that joins it to the directory.
int deepestDestinationLength();
