// SETUP.EXE's entry point: the command line decides how the run goes.
#include "install/setup_start.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    return startSetup(instance, showCommand);
}
