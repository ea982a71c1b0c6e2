#include "uninstall/removal_copy.h"

#include <windows.h>

#include <cstring>

#include "install/program_image.h"
#include "install/text.h"
#include "uninstall/delayed_removal.h"

const char removalCopySwitch[] = "/REMOVALCOPY=";

// The command line after the program's name, as typed.
static const char *argumentsOf(const char *line)
{
    if (*line == '"') {
        const char *end = strchr(line + 1, '"');
        line = end ? end + 1 : line + strlen(line);
    } else {
        while (*line != '\0' && *line != ' ' && *line != '\t') line++;
    }
    while (*line == ' ' || *line == '\t') line++;
    return line;
}

/* The copy's command line: its name, the switch with dir, the arguments.
 * A backslash before the closing quote is doubled, or it would hide the
 * quote ("C:\" is a root). 0, or -1 when it does not fit. */
static int copyCommand(const char *copy, const char *dir, char *command, int size)
{
    size_t length = strlen(dir);
    const char *doubled = length > 0 && dir[length - 1] == '\\' ? "\\" : "";
    return formatText(command, size, "\"%s\" \"%s%s%s\" %s", copy, removalCopySwitch, dir, doubled,
                      argumentsOf(GetCommandLineA()));
}

// Starts command in folder, waits for its end: 1 with its exit code.
static int runToEnd(char *command, const char *folder, unsigned long *code)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, folder, &startup, &process)) return 0;
    CloseHandle(process.hThread);
    DWORD exitCode = 0;
    WaitForSingleObject(process.hProcess, INFINITE);
    int ended = GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    *code = ended ? exitCode : 5;
    return 1;
}

int removeFromCopy(const char *dir, unsigned long *code)
{
    char temp[MAX_PATH + 1], copy[MAX_PATH + 1], program[programPathSize], command[4 * textSize];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp || runningProgramPath(program, sizeof program) != 0 ||
        !GetTempFileNameA(temp, "QMR", 0, copy))
        return 0;
    // Started from its own folder (a double-click), this program would keep
    // it from going: it waits in TEMP too.
    SetCurrentDirectoryA(temp);
    int ran = CopyFileA(program, copy, FALSE) && copyCommand(copy, dir, command, sizeof command) == 0 &&
              runToEnd(command, temp, code);
    // The copy has ended: its file can go now, or else at the next start.
    if (!DeleteFileA(copy)) removeAtRestart(copy);
    return ran;
}
