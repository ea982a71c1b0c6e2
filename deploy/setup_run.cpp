// The record of the run and the exit code it has earned.
#include "deploy/setup_run.h"

#include "deploy/exit_codes.h"
#include "install/run_state.h"
#include "transaction/journal.h"

SetupRun setupRun;

int setupExitCode()
{
    if (setupRun.stopCode) return setupRun.stopCode;
    if (runState.stopReason == stopSourceFolder) return exitSourceMissing;
    if (runState.cancelled) return exitCancelled;
    if (runState.mediumDamaged) return exitMediumDamaged;
    if (runState.incomplete || setupRun.answersUnsaved) return exitIncomplete;
    return restartNeeded() ? exitRestartNeeded : exitInstalled;
}
