// The medium check of /VERIFY: the disk loop's walk, reading only.
#include "deploy/medium_check.h"

#include "copy/disk_loop.h"
#include "copy/manifest.h"
#include "deploy/box_policy.h"
#include "deploy/exit_codes.h"
#include "deploy/setup_run.h"
#include "install/install_state.h"
#include "install/message_box.h"
#include "install/paths.h"
#include "install/run_state.h"
#include "install/setup_log.h"
#include "install/text.h"

static const char checkCaption[] = "Quillmark Setup";

/* The one box of an interactive check, or the log's line alone with /S.
 * firstFault is the first file found damaged or missing, named where no log
 * names them all. */
static void reportCheck(int faults, const char *firstFault)
{
    char text[2 * textSize];
    if (faults == 0)
        formatText(text, sizeof text, "The medium is whole: every file is the release's.");
    else if (setupLogOpen())
        formatText(text, sizeof text, "The medium is damaged: %d file%s damaged or missing (named in the log %s). "
                   "Copy the medium again.", faults, faults == 1 ? "" : "s", setupLogPath());
    else
        formatText(text, sizeof text, "The medium is damaged: %d file%s damaged or missing, the first %s (/LOG "
                   "names them all). Copy the medium again.", faults, faults == 1 ? "" : "s", firstFault);
    writeLog("%s", text);
    if (!runState.unattended)
        showMessage(NULL, text, checkCaption, MB_OK | (faults ? MB_ICONEXCLAMATION : MB_ICONINFORMATION));
}

/* A disk set is changed in its drive, which the installation has left for
 * the install directory by then: the check leaves it for the Windows
 * directory, where no disk is held as the current directory. */
static void leaveTheDrive()
{
    char windows[textSize];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length > 0 && length < sizeof windows) SetCurrentDirectoryA(windows);
}

int verifyMedium()
{
    if (runState.unattended) setMessageBoxHook(answerByPolicy);
    detectSourceMode();
    if (prepareSource() != 0) {
        writeLog("The folder of SETUP.EXE cannot be read from: nothing checked");
        return exitSourceMissing;
    }
    if (installState.directorySource) {
        writeLog("Checking the medium in the folder %s", installState.sourceDir);
    } else {
        writeLog("Checking the disk set in drive %c:", installState.sourceDrive);
        leaveTheDrive();
    }
    int faults = 0;
    char firstFault[textSize] = "";
    for (int d = 1; d <= diskTable.diskCount && d <= maxDisks; d++) {
        if (verifyDisk(installState.sourceDrive, d, &faults, firstFault) != 0) {
            writeLog("Stopped at disk %d: nothing more checked", d);
            return setupRun.stopCode ? setupRun.stopCode : exitCancelled;
        }
    }
    reportCheck(faults, firstFault);
    return faults ? exitMediumDamaged : exitInstalled;
}
