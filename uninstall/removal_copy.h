// The uninstaller runs from a copy of itself in the TEMP folder of the user
// who removes (an administrator's own), so that its file and its folder can
// go at once, and so that nothing in the install folder (a DLL put beside
// the program) is loaded with that user's rights.
#pragma once

// The switch, always first, that tells the copy the folder of the record to remove from.
extern const char removalCopySwitch[];  // "/REMOVALCOPY="

// Copies the running program into the TEMP folder and starts the copy on
// dir (normal form) with the arguments after the program's name, waits for
// it and takes its file away again. 1 with *code its exit code; 0 when the
// copy could not be made or started (nothing was removed then).
int removeFromCopy(const char *dir, unsigned long *code);
