// SETUP.EXE's entry point. With the uninstall switch it removes the
// installation instead (its copy in the install directory is the uninstaller).
#include "shell/shell.h"
#include "uninstall/uninstall_command.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    if (uninstallWanted()) return runUninstallCommand();
    return runSetup(instance, showCommand);
}
