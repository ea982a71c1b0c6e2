// How the run goes and how it has gone so far, as the install flow and the
// copy engine note it. Low, beside the log: every room may read it; what the
// outcome means for the caller (an exit code) is decided above.
#pragma once

enum StopReason {
    stopNone = 0,
    stopSourceFolder = 1,  // the program's own folder cannot be read from
};

struct RunState {
    int unattended;  // 1: no window of any kind; a hook answers every box
    int cancelled;   // 1 when the user cancelled or the copy was refused
    int incomplete;  // 1 once a file, the owner data or WIN.INI was passed over
    int mediumDamaged; // 1 once a file of the medium was found other than the release's
    int stopReason;  // a StopReason: why the run ended before installing
};

extern RunState runState;
