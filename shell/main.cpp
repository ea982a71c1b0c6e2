// SETUP.EXE's entry point. The command line is not read.
#include "shell/shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    return runSetup(instance, showCommand);
}
