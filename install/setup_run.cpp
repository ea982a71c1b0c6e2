// The record of the run and the exit code it has earned.
#include "install/setup_run.h"

#include "install/exit_codes.h"

SetupRun setupRun;

int setupExitCode()
{
    if (setupRun.stopCode) return setupRun.stopCode;
    if (setupRun.cancelled) return exitCancelled;
    return setupRun.incomplete ? exitIncomplete : exitInstalled;
}
