// The bench runner: starts one program, answers it at once as a user would,
// and measures it from outside. One line per run goes to a log.
//
//   bench_runner.exe LOG LABEL setup TARGET EXPECTED [MEDIUM]
//   bench_runner.exe LOG LABEL run TARGET|- EXPECTED|- PROGRAM [ARGUMENTS...]
//
// setup: SETUP.EXE of the demo medium (or of the folder MEDIUM), the medium
//   as current directory; the user dialog filled with TARGET as install
//   directory and the sample files ticked, Continue pressed, the completion
//   question answered No.
// run: PROGRAM started with ARGUMENTS and waited for; an argument with a
//   space is passed in double quotes, the rest as they are (NSIS reads its
//   /D= unquoted).
// Then TARGET must hold every file EXPECTED lists ("path<TAB>size" lines,
// relative to TARGET) at its size ("*": any size). Returns 0 only when the program ended
// with 0 and the target is complete; 1 otherwise; 2 on a bad command line.
//
// Log columns (tab-separated): label, mode, exit code of the program, ms from
// CreateProcess to the user dialog shown whole (-1 outside setup), ms from
// Continue to the completion question (-1 outside setup), ms from
// CreateProcess to the program's end, peak working set in KB, and "ok" or
// what went wrong. The peak working set is the largest PeakWorkingSetSize
// read while the program ran (every 10 ms); under Wine it is the Linux
// process's peak resident set (VmHWM), shared libraries included.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/driver.h"

using namespace e2e;

enum { pollMs = 10, dialogPollMs = 2, boxCheckEvery = 50 };
enum { dialogTimeoutMs = 30000, copyTimeoutMs = 300000, endTimeoutMs = 30000 };

static const char dialogTitle[] = "Provide Us with Some Information";
static const char completionCaption[] = "Installation Complete";

struct Measure {
    LARGE_INTEGER start;
    double dialogMs = -1;
    double copyMs = -1;
    double totalMs = -1;
    SIZE_T peakBytes = 0;
    DWORD exitCode = 259;  // STILL_ACTIVE until the program has ended
    std::string problem;
};

static double msSince(const LARGE_INTEGER &start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (double)(now.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

static void samplePeak(HANDLE process, Measure *measure)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process, &counters, sizeof counters) && counters.PeakWorkingSetSize > measure->peakBytes)
        measure->peakBytes = counters.PeakWorkingSetSize;
}

/* Waits for the program's end, sampling its memory; false on timeout. */
static bool waitForEnd(HANDLE process, Measure *measure, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += pollMs) {
        samplePeak(process, measure);
        if (WaitForSingleObject(process, pollMs) == WAIT_OBJECT_0) {
            measure->totalMs = msSince(measure->start);
            GetExitCodeProcess(process, &measure->exitCode);
            return true;
        }
    }
    measure->problem = "the program still runs after " + std::to_string(timeoutMs) + " ms";
    return false;
}

// A top-level window of the process. FindWindowEx filters by class in the
// server, so only the few dialogs' titles are read: light polling while the
// program under test works.
static HWND findOwnWindow(DWORD processId, const char *className, const char *title)
{
    HWND window = NULL;
    while ((window = FindWindowExA(NULL, window, className, title)) != NULL) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return window;
    }
    return NULL;
}

static bool ended(const SetupProcess &setup)
{
    return WaitForSingleObject(setup.process, 0) == WAIT_OBJECT_0;
}

static HWND waitForWholeDialog(const SetupProcess &setup, Measure *measure)
{
    for (int waited = 0; waited <= dialogTimeoutMs && !ended(setup); waited += dialogPollMs) {
        HWND dialog = findOwnWindow(setup.processId, "#32770", dialogTitle);
        // The template's last control is made last: once it exists the dialog is whole.
        if (dialog && IsWindowVisible(dialog) && GetDlgItem(dialog, dirField)) {
            measure->dialogMs = msSince(measure->start);
            return dialog;
        }
        Sleep(dialogPollMs);
    }
    measure->problem = "the user dialog was not shown";
    return NULL;
}

/* The completion question, or null with the problem noted (another box, the
 * program's end, a timeout). */
static HWND waitForCompletion(const SetupProcess &setup, Measure *measure)
{
    LARGE_INTEGER pressed;
    QueryPerformanceCounter(&pressed);
    for (int polls = 0; polls * pollMs <= copyTimeoutMs; polls++) {
        samplePeak(setup.process, measure);
        HWND box = findOwnWindow(setup.processId, "#32770", completionCaption);
        if (box && IsWindowVisible(box)) {
            measure->copyMs = msSince(pressed);
            return box;
        }
        if (ended(setup)) {
            measure->problem = "SETUP.EXE ended before the completion question";
            return NULL;
        }
        if (polls % boxCheckEvery == boxCheckEvery - 1) {
            HWND other = findMessageBox(setup);
            if (other && windowText(other) != completionCaption) {
                measure->problem = "unexpected message box \"" + windowText(other) + "\": " + controlText(other, 0xFFFF);
                return NULL;
            }
        }
        Sleep(pollMs);
    }
    measure->problem = "no completion question after " + std::to_string(copyTimeoutMs) + " ms";
    return NULL;
}

static void runSetup(const std::string &medium, const char *target, Measure *measure)
{
    SetupProcess setup = {};
    QueryPerformanceCounter(&measure->start);
    testing::AssertionResult started = startSetup(medium + "\\SETUP.EXE", medium, &setup);
    if (!started) {
        measure->problem = started.message();
        return;
    }
    HWND dialog = waitForWholeDialog(setup, measure);
    if (dialog) {
        fillUserDialog(dialog, "Bench Runner", "Speed", "Quillmark Bench", target, true);
        HWND box = waitForCompletion(setup, measure);
        if (box) {
            samplePeak(setup.process, measure);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), (LPARAM)GetDlgItem(box, IDNO));
            waitForEnd(setup.process, measure, endTimeoutMs);
        }
    }
    stopSetup(&setup);
}

/* An argument as the program's C runtime will split it out again. None of
 * the bench's arguments holds a double quote. */
static std::string quotedIfSpaced(const char *argument)
{
    if (!strchr(argument, ' ')) return argument;
    return std::string("\"") + argument + "\"";
}

static void runProgram(int argc, char **argv, Measure *measure)
{
    std::string commandLine = std::string("\"") + argv[0] + "\"";
    for (int i = 1; i < argc; i++) commandLine += " " + quotedIfSpaced(argv[i]);
    std::string command = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    QueryPerformanceCounter(&measure->start);
    if (!CreateProcessA(argv[0], &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        measure->problem = "cannot start " + commandLine + ": error " + std::to_string(GetLastError());
        return;
    }
    CloseHandle(info.hThread);
    if (!waitForEnd(info.hProcess, measure, copyTimeoutMs)) TerminateProcess(info.hProcess, 99);
    CloseHandle(info.hProcess);
}

/* Empty when every listed file is in target at its size, else the first
 * file that is not. */
static std::string checkTarget(const char *target, const char *expected)
{
    FILE *list = fopen(expected, "r");
    if (!list) return std::string("cannot read ") + expected;
    std::string problem;
    int files = 0;
    char line[1024];
    while (problem.empty() && fgets(line, sizeof line, list)) {
        char *tab = strchr(line, '\t');
        if (!tab) continue;
        *tab = '\0';
        bool anySize = tab[1] == '*';
        unsigned long long size = strtoull(tab + 1, NULL, 10);
        std::string path = std::string(target) + "\\" + line;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            problem = "missing " + path;
        else if (!anySize && ((unsigned long long)data.nFileSizeHigh << 32 | data.nFileSizeLow) != size)
            problem = "wrong size " + path;
        files++;
    }
    fclose(list);
    if (problem.empty() && files == 0) problem = std::string("no files listed in ") + expected;
    return problem;
}

static void writeLog(const char *log, const char *label, const char *mode, const Measure &measure)
{
    FILE *file = fopen(log, "a");
    if (!file) return;
    fprintf(file, "%s\t%s\t%lu\t%.1f\t%.1f\t%.1f\t%lu\t%s\n", label, mode, measure.exitCode, measure.dialogMs,
            measure.copyMs, measure.totalMs, (unsigned long)(measure.peakBytes / 1024),
            measure.problem.empty() ? "ok" : measure.problem.c_str());
    fclose(file);
}

int main(int argc, char **argv)
{
    if (argc < 6) return 2;
    const char *log = argv[1], *label = argv[2], *mode = argv[3], *target = argv[4], *expected = argv[5];
    Measure measure;
    if (strcmp(mode, "setup") == 0 && (argc == 6 || argc == 7))
        runSetup(argc == 7 ? argv[6] : mediumDir(), target, &measure);
    else if (strcmp(mode, "run") == 0 && argc > 6)
        runProgram(argc - 6, argv + 6, &measure);
    else
        return 2;
    if (measure.problem.empty() && measure.exitCode != 0)
        measure.problem = "exit code " + std::to_string(measure.exitCode);
    if (measure.problem.empty() && strcmp(expected, "-") != 0) measure.problem = checkTarget(target, expected);
    writeLog(log, label, mode, measure);
    if (!measure.problem.empty()) fprintf(stderr, "bench_runner %s: %s\n", label, measure.problem.c_str());
    return measure.problem.empty() ? 0 : 1;
}
