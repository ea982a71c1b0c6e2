// The log file: one handle for the run, each line written whole with one
// call, so that nothing waits in a buffer when the program ends abruptly.
#include "install/setup_log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "install/install_state.h"
#include "install/text.h"
#include "ownerdata/characters.h"

enum { lineSize = 1024 };  // a box's text with two paths and the date fits

static struct {
    HANDLE file;            // the open log, or INVALID_HANDLE_VALUE
    int failed;             // 1 once the open or a write failed
    char path[textSize];    // the log's full path, or ""
} setupLog = {INVALID_HANDLE_VALUE, 0, ""};

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

int openSetupLog(const char *path)
{
    closeSetupLog();
    char chosen[textSize];
    int named = path && path[0] ? copyText(chosen, sizeof chosen, path) : defaultLogPath(chosen, sizeof chosen);
    // Other installations may write the same log on a share at once: each
    // line goes to the end as it stands then.
    if (named == 0)
        setupLog.file = CreateFileA(chosen, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
    if (setupLog.file == INVALID_HANDLE_VALUE) {
        setupLog.failed = 1;
        return -1;
    }
    // Named as the program will find it later, whatever the current directory.
    DWORD length = GetFullPathNameA(chosen, sizeof setupLog.path, setupLog.path, NULL);
    if (length == 0 || length >= sizeof setupLog.path) copyText(setupLog.path, sizeof setupLog.path, chosen);
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
    int start = snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d ", now.wYear, now.wMonth, now.wDay,
                         now.wHour, now.wMinute, now.wSecond);
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
    if (SetFilePointer(setupLog.file, 0, NULL, FILE_END) == INVALID_SET_FILE_POINTER ||
        !WriteFile(setupLog.file, line, length, &written, NULL) || written != length)
        setupLog.failed = 1;
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
