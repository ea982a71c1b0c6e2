// SETUP.EXE's entry point: the command line decides how the run goes. With
// the uninstall switch it removes the installation instead (its copy in the
// install directory is the uninstaller).
#include "deploy/setup_start.h"
#include "uninstall/uninstall_command.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    if (uninstallWanted()) return runUninstallCommand();
    return startSetup(instance, showCommand);
}
