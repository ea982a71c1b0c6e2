// The uninstaller: SETUP.EXE started with the uninstall switch, usually as
// the copy an installation left in the install directory. It removes what
// the installations recorded and nothing else.
#pragma once

enum { installationFound = 1, installationFolderGone = 2 };
// The install folder to remove, in normal form: the uninstaller's own
// folder when it holds a record (the copy an installation left), else the
// one the registration names (SETUP.EXE started with the switch from the
// medium). installationFound; installationFolderGone when the registration
// names a folder that is no more; 0 when there is nothing to remove.
int findInstallation(char *dir, int size);

// Asks first unless unattended (no window at all then), removes, says what
// was kept. givenDir: the installation to remove, or null to find it. The
// exit code (deploy/exit_codes.h).
int runUninstall(int unattended, const char *givenDir);
