// The process-wide values of one installation run.
#pragma once
#include "install/text.h"

struct InstallState {
    char userName[textSize];
    char department[textSize];
    char organisation[textSize];
    char installDir[textSize];      // as shown and edited in the dialog
    int installSamples;             // 1 when the sample files are wanted
    int directorySource;            // 1 = from a folder, 0 = disk by disk
    char sourceDrive;
    char sourceDir[textSize];       // with a trailing backslash
    char setupIniPath[textSize];
    char prefsSourceDir[textSize];
    char configProgramPath[textSize];
    char quitPrompt[textSize];
    char notedInstallDir[textSize]; // installDir when the paths were prepared
    int ownerDataExpected;          // 1 when quillmrk.dat must be in notedInstallDir for the save
    int ownerDataUnread;            // 1 while the medium's quillmrk.dat is there but did not open
};

extern InstallState installState;

extern const char productName[];      // "Quillmark Professional"
extern const char productShortName[]; // "Quillmark"
extern const char defaultInstallDir[];
extern const char shortQuitPrompt[];
extern const char longQuitPrompt[];

// Puts every field back to its starting value (start-up, and tests).
void resetInstallState();
