#include "uninstall/uninstall_command.h"

#include <windows.h>
#include <cstdlib>
#include <cstring>

#include "copy/manifest.h"
#include "deploy/command_line.h"
#include "deploy/exit_codes.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "install/setup_log.h"
#include "transaction/journal.h"
#include "transaction/run_lock.h"
#include "uninstall/removal_copy.h"
#include "uninstall/uninstaller.h"

// The arguments, read once by uninstallWanted.
static CommandLine line;
// The installation the running copy removes ("": this is no such copy).
static char copyOf[textSize];

int uninstallWanted()
{
    const char *first = __argc > 1 && __argv[1] ? __argv[1] : "";
    size_t length = strlen(removalCopySwitch);
    copyOf[0] = '\0';
    // The copy's own switch comes first and is no switch of the user's.
    if (strlen(first) > length && strncmp(first, removalCopySwitch, length) == 0 &&
        copyText(copyOf, sizeof copyOf, first + length) == 0) {
        readCommandLine(__argc - 1, __argv + 1, &line);
        return line.uninstall;
    }
    readCommandLine(__argc, __argv, &line);
    return line.uninstall;
}

int runUninstallCommand()
{
    int status = line.status;
    char dir[textSize];
    unsigned long copied = 0;
    // The removal runs from a copy in TEMP; this program waits for it and
    // gives its exit code (the copy writes the log). Without a copy, it
    // removes on its own and leaves its file to the next start.
    if (status == commandLineRead && !copyOf[0] && findInstallation(dir, sizeof dir) == installationFound &&
        removeFromCopy(dir, &copied))
        return (int)copied;
    if (line.logWanted) openLogOrFallBack(line.logPath);
    writeLog("%s %s, removal: %s", productName, releaseVersion, GetCommandLineA());
    int code;
    if (status != commandLineRead) {
        writeLog("Not understood: %s (%s); nothing removed; exit code %d", line.badArgument,
                 commandLineProblem(status), exitCommandLine);
        if (!line.unattended) showMessage(NULL, commandLineUsage, "Remove Quillmark", MB_ICONINFORMATION | MB_OK);
        code = exitCommandLine;
    } else if (!takeRunLock()) {
        writeLog("Stopped, exit code %d: another installation or removal of Quillmark is in progress", exitAnotherRun);
        if (!line.unattended)
            showMessage(NULL, "Another installation or removal of Quillmark is in progress.\n\nWait until it ends, "
                        "then remove Quillmark again.", "Remove Quillmark", MB_ICONEXCLAMATION | MB_OK);
        code = exitAnotherRun;
    } else {
        recoverInterruptedRun();
        code = runUninstall(line.unattended, copyOf[0] ? copyOf : NULL);
    }
    closeSetupLog();
    return withLogFailure(code);
}
