// The installation's last writes, after its files, the owner data and
// WIN.INI: the uninstaller with the record of what the run collected, and the
// product's key. Completion steps of the install flow: 0, or -1 with path
// naming what could not be written.
#pragma once

int writeRemovalRecord(char *path, int pathSize);
// A key this run made goes again with everything else when the run is
// taken back.
int registerInstallation(char *path, int pathSize);
