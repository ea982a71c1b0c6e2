#include "transaction/run_lock.h"

#include <windows.h>

// Global\ reaches every session of a terminal server; systems without
// sessions refuse the prefix, and the plain name is machine-wide there.
static const char globalLockName[] = "Global\\QuillmarkSetupRun";
static const char plainLockName[] = "QuillmarkSetupRun";

static HANDLE runLock;  // the mutex, owned by this run until it ends

int takeRunLock()
{
    if (runLock) return 1;
    HANDLE lock = CreateMutexA(NULL, FALSE, globalLockName);
    if (!lock) lock = CreateMutexA(NULL, FALSE, plainLockName);
    if (!lock) return 1;  // no lock can be made: nothing could hold it either
    // A run that was killed while holding it leaves it abandoned: taken at once.
    DWORD waited = WaitForSingleObject(lock, 0);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(lock);
        return 0;
    }
    runLock = lock;
    return 1;
}
