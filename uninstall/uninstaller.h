// The uninstaller: SETUP.EXE started with the uninstall switch, usually as
// the copy an installation left in the install directory. It removes what
// the installations recorded and nothing else.
#pragma once

// Asks first unless unattended (no window at all then), removes, says what
// was kept. The exit code (install/exit_codes.h).
int runUninstall(int unattended);
