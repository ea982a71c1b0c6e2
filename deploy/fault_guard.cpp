// The platform's error mode and the process's last fault handler.
#include "deploy/fault_guard.h"

#include <windows.h>

#include "deploy/exit_codes.h"
#include "install/setup_log.h"

/* Ends the run at once: the program's state after a fault cannot be
 * trusted, so nothing more is done than the log's line. */
static LONG WINAPI endOnFault(EXCEPTION_POINTERS *fault)
{
    const EXCEPTION_RECORD *record = fault ? fault->ExceptionRecord : NULL;
    writeLog("Stopped, exit code %d: the setup program failed (exception %08lX at %p); copy the medium again",
             exitProgramFault, record ? (unsigned long)record->ExceptionCode : 0UL,
             record ? record->ExceptionAddress : NULL);
    writeLog("Result: the setup program failed, exit code %d", exitProgramFault);
    closeSetupLog();
    ExitProcess(exitProgramFault);
    return EXCEPTION_EXECUTE_HANDLER;
}

void guardAgainstFaults()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endOnFault);
}
