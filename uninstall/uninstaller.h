// The uninstaller: SETUP.EXE started with the uninstall switch, usually as
// the copy an installation left in the product's data folder. It removes
// what the installations recorded and nothing else.
#pragma once

enum { installationFound = 1, installationFolderGone = 2 };
// The folder that holds the record to remove from, in normal form: the
// product's data folder when its record is there; else (an installation of
// the earlier layout) the uninstaller's own folder when it holds a record,
// or the one the registration names. installationFound;
// installationFolderGone when the registration names a folder that is no
// more; 0 when there is nothing to remove.
int findInstallation(char *dir, int size);

// Asks first unless unattended (no window at all then), removes, says what
// was kept. givenDir: the folder of the record to remove from, or null to
// find it. The exit code (deploy/exit_codes.h).
int runUninstall(int unattended, const char *givenDir);
