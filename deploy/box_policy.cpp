// The policy table: every box the install flow can show, what an unattended
// run answers, and which exit code the box stands for.
#include "deploy/box_policy.h"

#include <cstring>

#include "deploy/exit_codes.h"
#include "deploy/setup_run.h"
#include "install/run_state.h"
#include "install/setup_log.h"
#include "install/text.h"

enum BoxKind {
    question,      // nothing is wrong; the answer only steers
    refusal,       // the run cannot go on: the exit code ends it unattended
    fileFault,     // a file or directory of the installation: the system's error text is logged
};

enum { retryAnswer = -1 };  // Retry a few times, then Ignore

struct BoxRule {
    const char *caption;    // exact; null matches any caption
    const char *textStart;  // the text starts so
    UINT style;             // matched exactly when matchStyle
    int matchStyle;
    int answer;             // the unattended answer
    int exitCode;           // noted when the unattended answer is given (0: none)
    int kind;
    const char *advice;     // for the log when the unattended answer ends the run
};

// First match wins. A copy that fails after the destination was made says so
// in a box of the source as text, the destination as caption and no icon:
// the last rule.
static const BoxRule rules[] = {
    {"Information Missing", "", 0, 0, IDOK, exitInformationMissing, refusal,
     "give /NAME= and /DIR= (or /ANSWERS=)"},
    {"Error", "There is a problem in creating this directory", 0, 0, IDOK, exitDirectoryUnusable, fileFault,
     "give a /DIR= that can be made and written"},
    {"Error", "Setup cannot install from the folder", 0, 0, IDOK, exitSourceMissing, refusal,
     "copy the medium to a folder with a shorter path"},
    {"Error", "Error in creating : ", 0, 0, retryAnswer, exitIncomplete, fileFault, nullptr},
    {"Error", "Error in opening : ", 0, 0, IDCANCEL, exitSourceMissing, fileFault,
     "the medium lacks this file: copy it whole"},
    {"Warning", "Directory already exists", 0, 0, IDYES, 0, question, nullptr},
    {"", "Drive Letter not specified.", 0, 0, IDOK, 0, question, nullptr},
    {"Not enough disk space", "", 0, 0, IDNO, exitNoSpace, refusal,
     "free some room, or give /IGNORESPACE to install all the same"},
    {"Insert Disk", "", 0, 0, IDOK, 0, question, nullptr},
    {"Incorrect Disk", "", 0, 0, IDCANCEL, exitNextDisk, refusal,
     "an unattended installation reads a folder or a share: copy every disk into one folder and start "
     "SETUP.EXE there"},
    {"Terminate Setup?", "", 0, 0, IDYES, 0, question, nullptr},
    {"Installation Cancelled", "", 0, 0, IDOK, 0, question, nullptr},
    {"Installation Complete", "", 0, 0, IDNO, 0, question, nullptr},
    {"QMSETUP program can not start", "", 0, 0, IDOK, exitIncomplete, question, nullptr},
    {nullptr, "", MB_OK, 1, IDOK, exitIncomplete, fileFault, nullptr},
};

enum { creationRetries = 4, retryPauseMs = 750 };

static const BoxRule *ruleFor(const char *text, const char *caption, UINT style)
{
    for (const BoxRule &rule : rules) {
        if (rule.caption && strcmp(rule.caption, caption) != 0) continue;
        if (strncmp(text, rule.textStart, strlen(rule.textStart)) != 0) continue;
        if (rule.matchStyle && rule.style != style) continue;
        return &rule;
    }
    return nullptr;
}

// A box the table does not know: the answer that commits to nothing.
static int cautiousAnswer(UINT style)
{
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_RETRYCANCEL:
        return IDCANCEL;
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDNO;
    case MB_ABORTRETRYIGNORE:
        return IDIGNORE;
    default:
        return IDOK;
    }
}

/* A file that cannot be created is often held by a program that is being
 * closed: the same box is retried a few times over some seconds before the
 * file is passed over. */
static int retryThenIgnore(const char *text)
{
    static char lastText[2 * textSize];  // the box being retried
    static int retries;
    if (strcmp(lastText, text) != 0) {
        // A text too long to keep could not be told from the next: no retry.
        if (copyText(lastText, sizeof lastText, text) != 0) return IDIGNORE;
        retries = 0;
    }
    if (retries >= creationRetries) return IDIGNORE;
    retries++;
    Sleep(retryPauseMs);
    return IDRETRY;
}

int answerByPolicy(HWND, const char *text, const char *caption, UINT style)
{
    const BoxRule *rule = ruleFor(text, caption, style);
    if (!rule) return cautiousAnswer(style);
    if (rule->answer == retryAnswer) return retryThenIgnore(text);
    if (rule->exitCode == exitNoSpace && setupRun.commandLine.ignoreSpace) return IDYES;
    return rule->answer;
}

static const char *answerName(int answer)
{
    switch (answer) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return "none (the box could not be shown)";
    }
}

// 1 when the answer leaves a file of the installation unwritten and goes on.
static int passesOver(const BoxRule *rule, int answer)
{
    if (!rule || (rule->exitCode != exitIncomplete && rule->exitCode != exitSourceMissing)) return 0;
    if (rule->answer == retryAnswer) return answer != IDRETRY && answer != IDABORT;
    if (rule->exitCode == exitSourceMissing) return answer != IDCANCEL;
    return 1;
}

void noteBoxAnswer(const char *text, const char *caption, UINT style, int answer, DWORD error)
{
    const BoxRule *rule = ruleFor(text, caption, style);
    char systemText[textSize] = "";
    if (setupLogOpen() && rule && rule->kind == fileFault && error != 0)
        systemErrorText(error, systemText, sizeof systemText);
    writeLog("Box \"%s\": %s%s%s -> %s%s", caption, text, systemText[0] ? " | system: " : "", systemText,
             answerName(answer), runState.unattended ? " (policy)" : "");
    if (passesOver(rule, answer)) {
        runState.incomplete = 1;
        return;
    }
    // Unattended, a refusal ends the run with its own code; the first one counts.
    if (runState.unattended && rule && rule->exitCode && rule->exitCode != exitIncomplete &&
        answer == rule->answer && !setupRun.stopCode) {
        setupRun.stopCode = rule->exitCode;
        writeLog("Stopped, exit code %d: %s", rule->exitCode, rule->advice);
    }
}
