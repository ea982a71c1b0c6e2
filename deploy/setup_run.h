// One run of SETUP.EXE as a whole: how it was started and how it ends.
#pragma once
#include "deploy/command_line.h"

// The mode and what the install flow noted are in runState (install/run_state.h).
struct SetupRun {
    CommandLine commandLine;  // the switches it was started with
    int stopCode;             // the exit code of a fault that ended the run, or 0
    int answersUnsaved;       // 1 when /SAVEANSWERS= could not be written: 5, the installation kept
};

extern SetupRun setupRun;

// The exit code the run has earned so far (without the log's 16), from the
// policy's stop and what the install flow noted.
int setupExitCode();
