// What an installation remembers: WIN.INI, setup.ini, userdata.ini, quillmrk.dat.
#pragma once

void loadUserDefaults();
void writeDefinedValues();
void saveUserData();
void registerInstallDirs();
