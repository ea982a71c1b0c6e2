// SETUP.EXE /VERIFY: the medium read against the release's tables before
// anyone installs from it (a copy on a share, a duplicator's master).
#pragma once

// Reads every file of every disk, asking for each disk after the first as
// the installation does, and writes nothing. The exit code: exitInstalled
// when the medium is whole, exitMediumDamaged when a file is damaged or
// missing (each named in the log), exitNextDisk (unattended) or
// exitCancelled when a disk did not come.
int verifyMedium();
