// The product's entry in Add/Remove Programs, and the uninstaller and
// record it starts from, written at the end of a completed installation.
#pragma once
#include <windows.h>

// Under HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER where the machine's key
// cannot be written.
extern const char uninstallKeyPath[];  // "Software\...\Uninstall\Quillmark"
// The switch that makes SETUP.EXE (as the uninstaller) remove the product.
extern const char uninstallSwitch[];   // "/UNINSTALL"
// The entry's value that keeps the samples choice (REG_DWORD 0 or 1) for a rerun.
extern const char samplesValueName[];  // "SampleFiles"

// Writes the uninstaller and the record into the product's data folder, so
// that even an installation that passed over a file can be removed; an
// earlier installation's record in its install folder joins it. 0, or -1 with
// path naming the file that could not be written; on 0 path names the record.
int writeUninstaller(char *path, int pathSize);
// Writes the entry into the registry: a complete installation's. 0, or -1;
// path names the key with its root either way.
int registerProduct(char *path, int pathSize);

// The InstallLocation of the product's entry under root, into location
// (size bytes): 1 when there is one, 0 otherwise.
int registeredLocation(HKEY root, char *location, int size);
