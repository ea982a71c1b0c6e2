// The install folder's permissions on the Windows NT family: what the
// uninstaller trusts (its own file, its record) must not be changed by a
// user who is no administrator, since an administrator runs it.
#pragma once

// Gives the folder (made by this installation, registered for the machine)
// a protected list of rights, which everything in it inherits: SYSTEM and
// administrators change anything, users read and run. 1 when set; 0 where
// the platform has no such rights (95/98/Me) or they could not be set.
int protectInstallFolder(const char *dir);
