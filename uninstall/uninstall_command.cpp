#include "uninstall/uninstall_command.h"

#include <windows.h>
#include <cstdlib>

#include "copy/manifest.h"
#include "deploy/command_line.h"
#include "deploy/exit_codes.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "install/setup_log.h"
#include "uninstall/uninstaller.h"

// The arguments, read once by uninstallWanted.
static CommandLine line;

int uninstallWanted()
{
    readCommandLine(__argc, __argv, &line);
    return line.uninstall;
}

int runUninstallCommand()
{
    int status = line.status;
    if (line.logWanted) openSetupLog(line.logPath);
    writeLog("%s %s, removal: %s", productName, releaseVersion, GetCommandLineA());
    int code;
    if (status != commandLineRead) {
        writeLog("Not understood: %s (%s); nothing removed; exit code %d", line.badArgument,
                 commandLineProblem(status), exitCommandLine);
        if (!line.unattended) showMessage(NULL, commandLineUsage, "Remove Quillmark", MB_ICONINFORMATION | MB_OK);
        code = exitCommandLine;
    } else {
        code = runUninstall(line.unattended);
    }
    closeSetupLog();
    return setupLogFailed() ? code + exitLogFailed : code;
}
