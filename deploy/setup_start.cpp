// The whole program as a deployment tool sees it: the command line, the log,
// the interactive or unattended installation, and the exit code.
#include "deploy/setup_start.h"

#include <cstdlib>
#include <cstring>

#include "deploy/answers.h"
#include "deploy/box_policy.h"
#include "deploy/exit_codes.h"
#include "deploy/fault_guard.h"
#include "deploy/medium_check.h"
#include "deploy/program_check.h"
#include "deploy/setup_run.h"
#include "install/install_flow.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "install/paths.h"
#include "install/program_image.h"
#include "install/run_state.h"
#include "install/setup_log.h"
#include "install/user_dialog.h"
#include "shell/shell.h"
#include "transaction/journal.h"
#include "transaction/run_lock.h"

static const char usageCaption[] = "Quillmark Setup";
static const char programDamagedText[] = "The setup program is damaged: copy the medium again.";
static const char anotherRunText[] =
    "Another installation or removal of Quillmark is in progress.\n\nWait until it ends, then start Setup again.";

/* The file version from the program's own version resource, "" when it has
 * none: the fixed part starts with the signature 0xFEEF04BD, the two
 * version numbers follow it. */
static void readProgramVersion(char *text, int size)
{
    copyText(text, size, "");
    HRSRC found = FindResourceA(NULL, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
    HGLOBAL loaded = found ? LoadResource(NULL, found) : NULL;
    const unsigned char *bytes = loaded ? (const unsigned char *)LockResource(loaded) : nullptr;
    DWORD length = found ? SizeofResource(NULL, found) : 0;
    for (DWORD at = 0; bytes && at + 16 <= length; at += 4) {
        DWORD word[4];
        memcpy(word, bytes + at, sizeof word);
        if (word[0] != 0xFEEF04BDu) continue;
        formatText(text, size, "%lu.%lu.%lu", (unsigned long)HIWORD(word[2]), (unsigned long)LOWORD(word[2]),
                   (unsigned long)HIWORD(word[3]));
        return;
    }
}

// The switches, line by line, into the log.
static void logUsage()
{
    const char *line = commandLineUsage;
    while (*line != '\0') {
        const char *end = strchr(line, '\n');
        int length = end ? (int)(end - line) : (int)strlen(line);
        if (length > 0) writeLog("Usage: %.*s", length, line);
        line += length + (end ? 1 : 0);
    }
}

static int showHelp()
{
    if (runState.unattended)
        logUsage();
    else
        showMessage(NULL, commandLineUsage, usageCaption, MB_ICONINFORMATION | MB_OK);
    writeLog("Result: the switches listed, nothing installed, exit code 0");
    return exitInstalled;
}

// Anything not understood: nothing is installed.
static int refuseCommandLine()
{
    const CommandLine *line = &setupRun.commandLine;
    char text[2 * textSize + 2048];  // the argument, the problem and the switches
    formatText(text, sizeof text, "The command line is not understood: %s (%s).\n\n%s", line->badArgument,
               commandLineProblem(line->status), commandLineUsage);
    writeLog("Command line not understood: %s (%s); nothing installed", line->badArgument,
             commandLineProblem(line->status));
    if (runState.unattended)
        logUsage();
    else
        showMessage(NULL, text, usageCaption, MB_ICONEXCLAMATION | MB_OK);
    return exitCommandLine;
}

/* Whether SETUP.EXE's own file is whole: read once, here, and kept for the
 * uninstaller. A file that cannot be read at all is not held against it. */
static int programIsWhole()
{
    keepProgramImage();
    unsigned long size = 0;
    const unsigned char *image = keptProgramImage(&size);
    return !image || (programChecksumHolds(image, size) && programSealHolds(image, size));
}

// Its tables cannot be trusted: nothing is installed.
static int refuseDamagedProgram()
{
    writeLog("%s Nothing installed", programDamagedText);
    if (!runState.unattended) showMessage(NULL, programDamagedText, usageCaption, MB_ICONHAND | MB_OK);
    return exitProgramDamaged;
}

static void keepFocus(HWND, int)
{
}

/* Unattended, the directory must mean one folder wherever the deployment
 * tool started the program: a relative path or a drive's root is refused
 * (the dialog takes them, and its user sees where they lead). */
static int directoryIsFull()
{
    if (isFullFolder(installState.installDir)) return 1;
    writeLog("Stopped, exit code %d: the install directory \"%s\" is relative or a root; give /DIR= a full "
             "folder, e.g. /DIR=C:\\QUILLMRK",
             exitDirectoryUnusable, installState.installDir);
    setupRun.stopCode = exitDirectoryUnusable;
    return 0;
}

/* The install flow with no window: the dialog's checks on the values it
 * would show, then what its Continue starts, every box answered by policy. */
static int runUnattended()
{
    setMessageBoxHook(answerByPolicy);
    setFocusHook(keepFocus);
    detectSourceMode();
    char problem[2 * textSize];
    if (loadStartValues(problem, sizeof problem) != 0) {
        writeLog("Command line not understood: %s; nothing installed", problem);
        return exitCommandLine;
    }
    logValues();
    if (!sourceFolderUsable(NULL) || !fieldsComplete(NULL) || !directoryIsFull() || !prepareTarget(NULL)) {
        writeLog("Nothing installed");
        return setupExitCode();
    }
    saveAnswersIfAsked();
    installPreparedTarget();
    return setupExitCode();
}

static int runInteractive(HINSTANCE instance, int showCommand)
{
    char problem[2 * textSize];
    // A bad answers file or value is found before any window opens; the
    // dialog then lays the same values over its prefill.
    if (loadStartValues(problem, sizeof problem) != 0) {
        writeLog("Command line not understood: %s; nothing installed", problem);
        showMessage(NULL, problem, usageCaption, MB_ICONEXCLAMATION | MB_OK);
        return exitCommandLine;
    }
    setDialogHooks(layCheckedStartValues, saveAnswersIfAsked);
    // The shell ends at once, with 1, only when its window cannot be made.
    if (runSetup(instance, showCommand) == 0) return setupExitCode();
    writeLog("Stopped, exit code %d: the setup's window cannot be made (no display); install with /S", exitNoDisplay);
    return exitNoDisplay;
}

/* One run at a time: the first thing an installation does, then it
 * finishes what a killed run left. 1 to go on; 0 when another run holds the
 * lock (the user has been told). */
static int runAlone()
{
    if (!takeRunLock()) {
        writeLog("Stopped, exit code %d: another installation or removal of Quillmark is in progress", exitAnotherRun);
        if (!runState.unattended) showMessage(NULL, anotherRunText, usageCaption, MB_ICONEXCLAMATION | MB_OK);
        return 0;
    }
    recoverInterruptedRun();
    return 1;
}

// A run that ends in any way without its commit leaves the machine as it was.
static int takeBackUncommitted(int code)
{
    undoInstallation();
    return code;
}

static const char *resultText(int code)
{
    switch (code) {
    case exitInstalled: return "installed completely";
    case exitCommandLine: return "command line not understood";
    case exitInformationMissing: return "information missing";
    case exitDirectoryUnusable: return "install directory cannot be made or used";
    case exitNoSpace: return "not enough disk space";
    case exitIncomplete:
        if (!runState.incomplete) return "installed, but the answers file could not be written";
        return runState.unattended ? "a file could not be written; nothing changed"
                                   : "installed, but some files were not written";
    case exitSourceMissing: return "a file of the medium cannot be opened";
    case exitNextDisk: return "the next disk of the disk set is needed";
    case exitCancelled: return "cancelled";
    case exitMediumDamaged: return "a file of the medium is damaged";
    case exitProgramDamaged: return "the setup program is damaged";
    case exitNoDisplay: return "no display for the setup's window";
    case exitAnotherRun: return "another installation or removal is in progress; nothing done";
    case exitRestartNeeded: return "installed; restart Windows to finish";
    default: return "stopped";
    }
}

int startSetup(HINSTANCE instance, int showCommand)
{
    // Without any argument the program is the interactive installer alone,
    // whose every way out ends with the quit message's 0; a damaged copy of
    // it still installs nothing.
    if (__argc <= 1) {
        if (!programIsWhole()) {
            refuseDamagedProgram();
            return exitInstalled;
        }
        if (!runAlone()) return exitInstalled;
        return takeBackUncommitted(runSetup(instance, showCommand));
    }

    guardAgainstFaults();
    CommandLine *line = &setupRun.commandLine;
    readCommandLine(__argc, __argv, line);
    runState.unattended = line->unattended;
    if (line->logWanted) openLogOrFallBack(line->logPath);
    char version[32];
    readProgramVersion(version, sizeof version);
    writeLog("%s Setup %s, command line: %s", productName, version, GetCommandLineA());

    int code;
    if (!programIsWhole())
        code = refuseDamagedProgram();
    else if (line->status != commandLineRead)
        code = refuseCommandLine();
    else if (line->helpWanted)
        code = showHelp();
    else if (line->verifyWanted)
        code = verifyMedium();
    else if (!runAlone())
        code = exitAnotherRun;
    else if (runState.unattended)
        code = takeBackUncommitted(runUnattended());
    else
        code = takeBackUncommitted(runInteractive(instance, showCommand));
    if (!line->helpWanted || line->status != commandLineRead || code == exitProgramDamaged)
        writeLog("Result: %s, exit code %d",
                 line->verifyWanted && code == exitInstalled ? "the medium is whole" : resultText(code),
                 withLogFailure(code));
    closeSetupLog();
    return withLogFailure(code);
}
