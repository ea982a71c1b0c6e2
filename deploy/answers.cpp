// The dialog's answers from and to an answers file, and from the switches.
#include "deploy/answers.h"

#include <windows.h>

#include <cstring>

#include "deploy/setup_run.h"
#include "install/install_state.h"
#include "install/paths.h"
#include "install/settings.h"
#include "install/setup_log.h"

static const char section[] = "Answers";
enum { listSize = 1024, valueSize = 4 * textSize };

void loadPrefilledValues()
{
    loadUserDefaults();
    char longForm[textSize];
    canonicalizeDir(installState.installDir, longForm, textSize);
    copyText(installState.installDir, textSize, longForm);
    installState.installSamples = 1;
}

// The profile calls look for a bare name in the Windows directory: the
// path is made full against the current directory first.
static int fullPathOf(const char *path, char *full, int size)
{
    DWORD length = GetFullPathNameA(path, size, full, NULL);
    return length == 0 || length >= (DWORD)size ? -1 : 0;
}

// 1 when keys, the section's key names one after another, holds key.
static int listsKey(const char *keys, const char *key)
{
    for (const char *k = keys; *k != '\0'; k += strlen(k) + 1)
        if (equalsIgnoringCase(k, key)) return 1;
    return 0;
}

// Reads key into text when the section has it: 0, or -1 when too long.
static int readAnswer(const char *file, const char *keys, const char *key, char *text)
{
    if (!listsKey(keys, key)) return 0;
    char value[valueSize];
    GetPrivateProfileStringA(section, key, "", value, sizeof value, file);
    return copyText(text, textSize, value);
}

int readAnswersFile(const char *path, char *problem, int problemSize)
{
    char file[textSize];
    char keys[listSize] = "";
    if (fullPathOf(path, file, sizeof file) != 0 || GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) {
        formatText(problem, problemSize, "the answers file %s cannot be found", path);
        return -1;
    }
    GetPrivateProfileStringA(section, NULL, "", keys, sizeof keys, file);
    if (readAnswer(file, keys, "Name", installState.userName) != 0 ||
        readAnswer(file, keys, "Dept", installState.department) != 0 ||
        readAnswer(file, keys, "Org", installState.organisation) != 0 ||
        readAnswer(file, keys, "Dir", installState.installDir) != 0) {
        formatText(problem, problemSize, "a value of %s is longer than 255 characters", file);
        return -1;
    }
    char samples[textSize] = "";
    if (readAnswer(file, keys, "Samples", samples) != 0 || (listsKey(keys, "Samples") &&
        !equalsIgnoringCase(samples, "0") && !equalsIgnoringCase(samples, "1"))) {
        formatText(problem, problemSize, "Samples in %s is neither 0 nor 1", file);
        return -1;
    }
    if (samples[0] != '\0') installState.installSamples = samples[0] - '0';
    writeLog("Answers read from %s", file);
    return 0;
}

static void applySwitches(const CommandLine *line)
{
    if (line->nameGiven) copyText(installState.userName, textSize, line->userName);
    if (line->departmentGiven) copyText(installState.department, textSize, line->department);
    if (line->organisationGiven) copyText(installState.organisation, textSize, line->organisation);
    if (line->installDirGiven) copyText(installState.installDir, textSize, line->installDir);
    if (line->samplesGiven) installState.installSamples = line->installSamples;
}

int loadStartValues(char *problem, int problemSize)
{
    const CommandLine *line = &setupRun.commandLine;
    loadPrefilledValues();
    if (line->answersPath[0] != '\0' && readAnswersFile(line->answersPath, problem, problemSize) != 0) return -1;
    applySwitches(line);
    return 0;
}

// Quoted, so that blanks at either end come back as they were written.
static int writeAnswer(const char *file, const char *key, const char *value)
{
    char quoted[textSize + 2];
    if (formatText(quoted, sizeof quoted, "\"%s\"", value) != 0) return -1;
    return WritePrivateProfileStringA(section, key, quoted, file) ? 0 : -1;
}

int writeAnswersFile(const char *path)
{
    char file[textSize];
    if (fullPathOf(path, file, sizeof file) != 0) return -1;
    int status = writeAnswer(file, "Name", installState.userName) | writeAnswer(file, "Dept", installState.department) |
                 writeAnswer(file, "Org", installState.organisation) | writeAnswer(file, "Dir", installState.installDir);
    if (!WritePrivateProfileStringA(section, "Samples", installState.installSamples ? "1" : "0", file)) status = -1;
    // Windows 95/98/Me keep the last profile in memory until it is flushed.
    WritePrivateProfileStringA(NULL, NULL, NULL, file);
    return status;
}

void saveAnswersIfAsked()
{
    const char *path = setupRun.commandLine.saveAnswersPath;
    if (path[0] == '\0') return;
    if (writeAnswersFile(path) == 0) {
        writeLog("Answers saved to %s", path);
        return;
    }
    // The installation goes on; the file missing is reported in the exit code.
    setupRun.incomplete = 1;
    writeLog("Problem: the answers file %s could not be written; passed over", path);
}
