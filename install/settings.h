// What an installation remembers: WIN.INI, setup.ini, userdata.ini, quillmrk.dat.
#pragma once

void loadUserDefaults();
void writeDefinedValues();
// 0, or -1 when the values could not be written to the owner data file,
// whose path it leaves in path.
int saveUserData(char *path, int pathSize);
void registerInstallDirs();
