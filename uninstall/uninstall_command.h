// SETUP.EXE started to remove the product: the command line read, the log
// opened, the removal run, its exit code given back.
#pragma once

// 1 when the arguments ask for the removal (/UNINSTALL).
int uninstallWanted();
// The removal as the arguments ask for it (read by uninstallWanted): the exit code.
int runUninstallCommand();
