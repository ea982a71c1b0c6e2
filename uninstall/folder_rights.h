// The install folder's permissions on the Windows NT family: what the
// uninstaller trusts (its own file, its record) must not be changed by a
// user who is no administrator, since an administrator runs it.
#pragma once

// Gives the folder (made by this installation, registered for the machine)
// a protected list of rights, which everything in it inherits: SYSTEM and
// administrators change anything, users read and run. 1 when set; 0 where
// the platform has no such rights (95/98/Me) or they could not be set.
int protectInstallFolder(const char *dir);
// 1 when the folder belongs to the administrators, the system or the user
// this process runs as (an administrator installing), or the platform knows
// no owners: 0 for a folder another user made, whose contents that user may
// change whatever its list of rights says.
int folderOwnedByAdministrators(const char *dir);
