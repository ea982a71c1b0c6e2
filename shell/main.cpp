// SETUP.EXE's entry point: the command line decides how the run goes. With
// the uninstall switch it removes the installation instead (its copy in the
// install directory is the uninstaller).
#include "deploy/box_policy.h"
#include "deploy/setup_start.h"
#include "install/message_box.h"
#include "shell/dll_search.h"
#include "uninstall/uninstall_command.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    // Before anything can load a DLL: none from the program's own folder.
    loadDllsFromSystemOnly();
    // Every box of either is noted: for the log, and for whether an
    // installation is complete (only a complete one is registered).
    setBoxObserver(noteBoxAnswer);
    if (uninstallWanted()) return runUninstallCommand();
    return startSetup(instance, showCommand);
}
