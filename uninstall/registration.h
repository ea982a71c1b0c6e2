// The product's entry in Add/Remove Programs, and the uninstaller and
// record it starts from, written at the end of a completed installation.
#pragma once
#include <windows.h>

// Under HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER where the machine's key
// cannot be written.
extern const char uninstallKeyPath[];  // "Software\...\Uninstall\Quillmark"
// The switch that makes SETUP.EXE (as the uninstaller) remove the product.
extern const char uninstallSwitch[];   // "/UNINSTALL"

// Writes the uninstaller and the record into the install directory and
// the entry into the registry. 0, or -1 with path naming what could not be
// written (the file, or the key with its root).
int registerProduct(char *path, int pathSize);

// The InstallLocation of the product's entry under root, into location
// (size bytes): 1 when there is one, 0 otherwise.
int registeredLocation(HKEY root, char *location, int size);
