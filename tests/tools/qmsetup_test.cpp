// QMSETUP.EXE, the configuration program the installer offers to start: it
// shows its window and notes every start in qmsetup.log beside itself.
// Runs in the folder of the build's product parts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/driver.h"

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
    std::string all = readFile(path);
    if (all == "<missing>") return lines;
    size_t start = 0, end;
    while ((end = all.find("\r\n", start)) != std::string::npos) {
        lines.push_back(all.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, all.size()) << "every line ends in CR LF";
    return lines;
}

// Starts the program with the given current directory, waits for its window,
// closes it and returns the exit code (-1: no window, -2: did not end).
int runAndClose(const std::string &program, const std::string &current)
{
    e2e::SetupProcess process = {};
    if (!e2e::startSetup(program, current, &process)) return -3;
    int result = -1;
    HWND window = NULL;
    if (e2e::waitForWindow(process, "QuillmarkConfiguration", "Quillmark Configuration", &window)) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        DWORD code = 0;
        result = e2e::waitForExit(&process, &code, 10000) ? (int)code : -2;
    }
    e2e::stopSetup(&process);
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
