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
// Asks for disk number disk (after the first) in disk-set mode and waits
// until it is in the drive: 0, or -2 when the user quits.
int waitForDisk(char driveLetter, int disk);
// Reads every file of disk number disk against the release's tables and
// writes nothing: one log line for each file damaged or missing (an optional
// file may be), counted in *faults; the first such file's path into
// firstFault (a text) while it is "". 0, or -2 when the user quit at a disk
// prompt.
int verifyDisk(char driveLetter, int disk, int *faults, char *firstFault);
