#include "install/install_state.h"

#include <cstring>

#define QM_DEFAULT_DIR "C:\\QUILLMRK"
#define QM_SHORT_QUIT "Do you want to quit?"

InstallState installState = {"", "", "", QM_DEFAULT_DIR, 0, 1, 'a', "", "", "", "", QM_SHORT_QUIT, "", 0, 0};

const char productName[] = "Quillmark Professional";
const char productShortName[] = "Quillmark";
const char defaultInstallDir[] = QM_DEFAULT_DIR;
const char shortQuitPrompt[] = QM_SHORT_QUIT;
const char longQuitPrompt[] =
    "Do you want to quit?\n\nWarning: If you quit now, your existing\n"
    "copy of the software may not work reliably.";

void resetInstallState()
{
    memset(&installState, 0, sizeof installState);
    copyText(installState.installDir, textSize, defaultInstallDir);
    installState.directorySource = 1;
    installState.sourceDrive = 'a';
    copyText(installState.quitPrompt, textSize, shortQuitPrompt);
}
