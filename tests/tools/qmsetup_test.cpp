// QMSETUP.EXE, the configuration program the installer offers to start: it
// shows its window and notes every start in qmsetup.log beside itself.
// Runs in the folder of the build's product parts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string tempFolder(const char *name)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + name;
    CreateDirectoryA(folder.c_str(), NULL);
    return folder;
}

std::vector<std::string> logLines(const std::string &path)
{
    std::vector<std::string> lines;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return lines;
    std::string all;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, f)) > 0) all.append(buffer, got);
    fclose(f);
    size_t start = 0, end;
    while ((end = all.find("\r\n", start)) != std::string::npos) {
        lines.push_back(all.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, all.size()) << "every line ends in CR LF";
    return lines;
}

HWND waitForWindow(DWORD processId)
{
    for (int i = 0; i < 200; i++) {
        HWND window = FindWindowA(NULL, "Quillmark Configuration");
        DWORD owner = 0;
        if (window) GetWindowThreadProcessId(window, &owner);
        if (window && owner == processId) return window;
        Sleep(100);
    }
    return NULL;
}

// Starts the program with the given current directory, waits for its window,
// closes it and returns the exit code (-1: no window, -2: did not end).
int runAndClose(const std::string &program, const std::string &current)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + program + "\"";
    if (!CreateProcessA(program.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL,
                        current.c_str(), &startup, &process))
        return -3;
    int result = -1;
    HWND window = waitForWindow(process.dwProcessId);
    if (window) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        DWORD code = 0;
        result = WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0 &&
                         GetExitCodeProcess(process.hProcess, &code)
                     ? (int)code
                     : -2;
    }
    if (result < 0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

TEST(ConfigurationProgram, NotesEachStartBesideItselfAndEndsOnClose)
{
    std::string installed = tempFolder("qmsetup_installed");
    std::string elsewhere = tempFolder("qmsetup_elsewhere");
    std::string program = installed + "\\QMSETUP.EXE";
    std::string log = installed + "\\qmsetup.log";
    DeleteFileA(log.c_str());
    ASSERT_TRUE(CopyFileA("QMSETUP.EXE", program.c_str(), FALSE));

    EXPECT_EQ(runAndClose(program, installed), 0);
    EXPECT_EQ(runAndClose(program, elsewhere), 0);

    std::vector<std::string> lines = logLines(log);
    ASSERT_EQ(lines.size(), 2u);
    const std::string currents[] = {installed, elsewhere};
    for (int i = 0; i < 2; i++) {
        const std::string &line = lines[i];
        // "YYYY-MM-DD HH:MM:SS<TAB>program<TAB>current directory"
        int year, month, day, hour, minute, second;
        ASSERT_EQ(sscanf(line.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &year, &month, &day, &hour, &minute,
                         &second),
                  6)
            << line;
        EXPECT_GE(year, 2000);
        ASSERT_GT(line.size(), 19u);
        EXPECT_EQ(line.substr(19), "\t" + program + "\t" + currents[i]) << line;
    }
    DeleteFileA(log.c_str());
    DeleteFileA(program.c_str());
    RemoveDirectoryA(installed.c_str());
    RemoveDirectoryA(elsewhere.c_str());
}

}  // namespace
