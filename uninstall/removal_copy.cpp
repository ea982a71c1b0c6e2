#include "uninstall/removal_copy.h"

#include <windows.h>

#include <cstring>

#include "deploy/exit_codes.h"
#include "install/paths.h"
#include "install/program_image.h"
#include "install/text.h"
#include "uninstall/checked_removal.h"
#include "uninstall/delayed_removal.h"
#include "uninstall/install_record.h"
#include "uninstall/record_paths.h"

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

/* 1 when folder (the TEMP folder, in normal form) is an install folder the
 * installation made, by the record in dir: the copy lying in it keeps it
 * from going, so it goes once the copy has. A record in a folder a user may
 * write (the first layout) names no install folder but its own. */
static int madeByInstallation(const char *dir, const char *folder)
{
    char record[textSize];
    RecordList entries = {};
    int installed = samePath(dir, folder), made = 0;
    if (pathInDir(dir, recordFileName, record, sizeof record) == 0 && readInstallRecord(record, &entries) == 0)
        for (int i = 0; i < entries.count; i++) {
            int same = samePath(entries.entries[i].path, folder);
            installed |= same && entries.entries[i].kind == recordedInstallation;
            made |= same && entries.entries[i].kind == recordedDirectory;
        }
    freeRecordList(&entries);
    return installed && made;
}

// The made folder the copy lay in, once empty and still a folder of its own.
static void removeTempFolder(const char *folder)
{
    char system[MAX_PATH + 1];
    CheckedFolder checked;
    // This program's current folder would keep it.
    if (GetSystemDirectoryA(system, sizeof system)) SetCurrentDirectoryA(system);
    if (checkInstallFolder(folder, &checked) == folderUsable) removeRecordedFolder(&checked, folder);
}

int removeFromCopy(const char *dir, unsigned long *code)
{
    char temp[MAX_PATH + 1], copy[MAX_PATH + 1], program[programPathSize], command[4 * textSize], normal[textSize];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp || runningProgramPath(program, sizeof program) != 0 ||
        !GetTempFileNameA(temp, "QMR", 0, copy))
        return 0;
    // Started from its own folder (a double-click), this program would keep
    // it from going: it waits in TEMP too.
    SetCurrentDirectoryA(temp);
    int made = normalFolderForm(temp, normal, sizeof normal) == 0 && madeByInstallation(dir, normal);
    int ran = CopyFileA(program, copy, FALSE) && copyCommand(copy, dir, command, sizeof command) == 0 &&
              runToEnd(command, temp, code);
    // The copy has ended: its file can go now, or else at the next start.
    if (!DeleteFileA(copy)) removeAtRestart(copy);
    else if (ran && (*code == exitInstalled || *code == exitRestartNeeded) && made)
        removeTempFolder(normal);
    return ran;
}
