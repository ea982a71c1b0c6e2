// What an installation remembers: WIN.INI, setup.ini, userdata.ini, quillmrk.dat.
#pragma once

void loadUserDefaults();
void writeDefinedValues();
// 0, or -1 when the values could not be written to the owner data file,
// whose path it leaves in path (on 0: the file saved, or "" when none was).
int saveUserData(char *path, int pathSize);
// Before the save is tried again: from a folder, puts the medium's file in
// place when it is missing or did not open before.
void restoreOwnerData();
// 0, or -1 when an entry could not be written to WIN.INI, whose full path
// it leaves in path either way.
int registerInstallDirs(char *path, int pathSize);
// The medium's owner data file is the medium's own (a duplicator or an
// earlier installation may have written owner data into it): it is judged
// by its form, not by the release's checksum. 1 when the owner data store
// reads source (header and lines) or cannot open it at all (missing, in
// use: the copy reports that); 0 when it is there and unreadable, which is
// logged as damage.
int ownerDataFormHolds(const char *source);
