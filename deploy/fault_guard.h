// With switches a deployment tool waits for the exit code: a fault in the
// program must end it with a code and a log line, never with a box that
// blocks the run until someone clicks it.
#pragma once

// No system box for a missing disk or a file that does not open, none for
// a crash; a fault ends the run with exitProgramFault and a log line.
void guardAgainstFaults();
