// The log file: one handle for the run, each line written whole with one
// call, so that nothing waits in a buffer when the program ends abruptly.
// Many runs may append to one log on a share at once: the handle may only
// append, and each line is written under a lock that every run takes.
#include "install/setup_log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "deploy/exit_codes.h"
#include "install/install_state.h"
#include "install/text.h"
#include "ownerdata/characters.h"

enum { lineSize = 1024 };  // a box's text with two paths and the date fits

// The runs' lock: one byte far past any log's end, so that a reader of the
// log is never held by it.
enum { lockOffsetHigh = 0x7FFFFFFF, lockTries = 500, lockPauseMs = 10 };

static struct {
    HANDLE file;            // the open log, or INVALID_HANDLE_VALUE
    int failed;             // 1 once the open or a write failed
    char path[textSize];    // the log's full path, or ""
    char computer[MAX_COMPUTERNAME_LENGTH + 1];  // the PC's name, which every line carries
} setupLog = {INVALID_HANDLE_VALUE, 0, "", ""};

// The TEMP folder's file for today: "Quillmark Setup 2026-12-08.log".
static int defaultLogPath(char *path, int size)
{
    char folder[textSize];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) return -1;
    SYSTEMTIME now;
    GetLocalTime(&now);
    const char *last = lastCharacter(folder);
    return formatText(path, size, "%s%s%s Setup %04d-%02d-%02d.log", folder, last && *last == '\\' ? "" : "\\",
                      productShortName, now.wYear, now.wMonth, now.wDay);
}

/* Append access, where each write goes to the end as it stands then, never
 * over another run's line; read access lets the handle take the lock.
 * Windows 95/98/Me know only the generic rights: there the lock alone keeps
 * the lines apart. */
static DWORD logAccess()
{
    if (GetVersion() & 0x80000000u) return GENERIC_READ | GENERIC_WRITE;
    return FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE;
}

int openSetupLog(const char *path)
{
    closeSetupLog();
    char chosen[textSize];
    int named = path && path[0] ? copyText(chosen, sizeof chosen, path) : defaultLogPath(chosen, sizeof chosen);
    if (named == 0)
        setupLog.file = CreateFileA(chosen, logAccess(), FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
    if (setupLog.file == INVALID_HANDLE_VALUE) {
        setupLog.failed = 1;
        return -1;
    }
    // Many PCs may write to one log on a share: each line says which.
    DWORD nameSize = sizeof setupLog.computer;
    if (!GetComputerNameA(setupLog.computer, &nameSize)) copyText(setupLog.computer, sizeof setupLog.computer, "-");
    // Named as the program will find it later, whatever the current directory.
    DWORD length = GetFullPathNameA(chosen, sizeof setupLog.path, setupLog.path, NULL);
    if (length == 0 || length >= sizeof setupLog.path) copyText(setupLog.path, sizeof setupLog.path, chosen);
    return 0;
}

/* Takes the runs' lock, waiting for another run's line: 1, or 0 when it
 * cannot be had (the line is then written all the same: the append access
 * still puts it whole at the end on the NT family). */
static int lockLog()
{
    OVERLAPPED at = {};
    at.OffsetHigh = lockOffsetHigh;
    if (LockFileEx(setupLog.file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) return 1;
    // Windows 95/98/Me have no LockFileEx, and LockFile does not wait.
    for (int tries = 0; tries < lockTries; tries++) {
        if (LockFile(setupLog.file, 0, lockOffsetHigh, 1, 0)) return 1;
        Sleep(lockPauseMs);
    }
    return 0;
}

// Line breaks and tabs of a box's text become single blanks.
static void flatten(char *text)
{
    char *out = text;
    for (const char *in = text; *in != '\0';) {
        const char *next = nextCharacter(in);
        if (*in == '\r' || *in == '\n' || *in == '\t') {
            if (out == text || out[-1] != ' ') *out++ = ' ';
        } else {
            while (in < next) *out++ = *in++;
        }
        in = next;
    }
    *out = '\0';
}

void writeLog(const char *format, ...)
{
    if (setupLog.file == INVALID_HANDLE_VALUE) return;
    char line[lineSize];
    SYSTEMTIME now;
    GetLocalTime(&now);
    int start = snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d %s ", now.wYear, now.wMonth, now.wDay,
                         now.wHour, now.wMinute, now.wSecond, setupLog.computer);
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line + start, sizeof line - start, format, args);
    va_end(args);
    // Room is kept for "..." and the line end.
    if (n < 0 || n >= (int)sizeof line - start - 6) {
        line[start + wholeCharacterLength(line + start, sizeof line - start - 6)] = '\0';
        appendText(line, sizeof line, "...");
    }
    flatten(line + start);
    appendText(line, sizeof line, "\r\n");
    DWORD length = (DWORD)strlen(line), written = 0;
    int locked = lockLog();
    // Under the lock no other run writes: the end found here is where the line goes.
    if (SetFilePointer(setupLog.file, 0, NULL, FILE_END) == INVALID_SET_FILE_POINTER ||
        !WriteFile(setupLog.file, line, length, &written, NULL) || written != length)
        setupLog.failed = 1;
    if (locked) UnlockFile(setupLog.file, 0, lockOffsetHigh, 1, 0);
}

int systemErrorText(unsigned long error, char *text, int size)
{
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0, text, size, NULL) ==
        0) {
        formatText(text, size, "error %lu", error);
        return 0;
    }
    size_t length = strlen(text);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
        text[--length] = '\0';
    return 1;
}

int setupLogFailed()
{
    return setupLog.failed;
}

int setupLogOpen()
{
    return setupLog.file != INVALID_HANDLE_VALUE;
}

const char *setupLogPath()
{
    return setupLog.path;
}

void closeSetupLog()
{
    if (setupLog.file == INVALID_HANDLE_VALUE) return;
    if (!CloseHandle(setupLog.file)) setupLog.failed = 1;
    setupLog.file = INVALID_HANDLE_VALUE;
}

void openLogOrFallBack(const char *path)
{
    if (openSetupLog(path) == 0 || path[0] == '\0') return;
    DWORD error = GetLastError();
    char reason[textSize];
    systemErrorText(error, reason, sizeof reason);
    if (openSetupLog("") == 0) writeLog("The log %s cannot be written (%s): this log instead", path, reason);
}

int withLogFailure(int code)
{
    return setupLogFailed() && code != exitInstalled && code < exitLogFailed ? code + exitLogFailed : code;
}
