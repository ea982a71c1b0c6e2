#include "copy/phase_times.h"

#ifdef QM_PHASE_TIMES
#include <windows.h>

#include <cstdio>

static LARGE_INTEGER lastMark;
static LONGLONG spent[phaseCount];
static long files;

void phaseStart()
{
    QueryPerformanceCounter(&lastMark);
}

void phaseEnd(int phase)
{
    // Transfers outside the walk (the owner data, the program's own copy)
    // come before its first mark and are not the walk's.
    if (lastMark.QuadPart == 0) return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    spent[phase] += now.QuadPart - lastMark.QuadPart;
    if (phase == phaseOpen) files++;
    lastMark = now;
}

void phaseReport()
{
    static const char *const names[phaseCount] = {"open", "create", "expand, check, write",
                                                  "date, source closed", "read back", "commit",
                                                  "paint, drain"};
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("QM_PHASE_LOG", path, sizeof path);
    if (n == 0 || n >= sizeof path || files == 0) return;
    FILE *log = fopen(path, "a");
    if (!log) return;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < phaseCount; i++)
        fprintf(log, "%s\t%.1f ms\t%.1f us per file\n", names[i], 1000.0 * spent[i] / frequency.QuadPart,
                1e6 * spent[i] / frequency.QuadPart / files);
    fprintf(log, "files\t%ld\n", files);
    fclose(log);
    lastMark.QuadPart = 0;
}
#endif
