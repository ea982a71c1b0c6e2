// The exit codes of SETUP.EXE, which deployment tools read. The numbers are
// fixed: scripts and documentation depend on them.
#pragma once

enum ExitCode {
    exitInstalled = 0,          // every file, the owner data and WIN.INI written
    exitCommandLine = 1,        // an unknown switch or a bad value; nothing installed
    exitInformationMissing = 2, // empty name or install directory
    exitDirectoryUnusable = 3,  // the install directory cannot be made or used
    exitNoSpace = 4,            // not enough disk space; nothing copied
    exitIncomplete = 5,         // a file could not be written (with switches: nothing changed)
    exitSourceMissing = 6,      // a file of the medium cannot be opened
    exitNextDisk = 7,           // a disk set needs its next disk
    exitCancelled = 8,          // the user cancelled (interactive run only)
    exitNothingInstalled = 9,   // the uninstaller's: no installation to remove
    exitRecordDamaged = 10,     // the uninstaller's: the record is not whole; nothing removed
    exitMediumDamaged = 11,     // a file of the medium differs from the release's
    exitProgramDamaged = 12,    // SETUP.EXE's own file fails its check; nothing installed
    exitProgramFault = 13,      // with switches: the program itself failed (a fault), named in the log
    exitNoDisplay = 14,         // a run with a window (no /S) and no display to show it on
    exitLogFailed = 16,         // added to any of the above when the log could not be written
    exitAnotherRun = 1618,      // another installation or removal is in progress
    exitRestartNeeded = 3010,   // done; files in use are finished at the next start of Windows
};
