// One run of SETUP.EXE as a whole: how it was started and how it ends.
#pragma once
#include "deploy/command_line.h"

struct SetupRun {
    CommandLine commandLine;  // the switches it was started with
    int unattended;           // 1: no window of any kind; the policy answers every box
    int stopCode;             // the exit code of a fault that ended the run, or 0
    int incomplete;           // 1 once a file, the owner data or WIN.INI was passed over
    int cancelled;            // 1 when the run was cancelled or refused
    int mediumDamaged;        // 1 once a file of the medium was found other than the release's
};

extern SetupRun setupRun;

// The exit code the run has earned so far (without the log's 16).
int setupExitCode();
