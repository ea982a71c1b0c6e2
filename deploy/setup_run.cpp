// The record of the run and the exit code it has earned.
#include "deploy/setup_run.h"

#include "deploy/exit_codes.h"

SetupRun setupRun;

int setupExitCode()
{
    if (setupRun.stopCode) return setupRun.stopCode;
    if (setupRun.cancelled) return exitCancelled;
    if (setupRun.mediumDamaged) return exitMediumDamaged;
    return setupRun.incomplete ? exitIncomplete : exitInstalled;
}
