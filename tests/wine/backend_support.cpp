#include "tests/wine/backend_support.h"

#include "install/install_state.h"
#include "install/paths.h"
#include "shell/shell.h"
#include "transaction/journal.h"

std::string currentDirectory()
{
    char dir[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof dir, dir);
    return length > 0 && length < sizeof dir ? dir : "<unknown>";
}

// Taken before any test moves the current directory.
static const std::string startDir = currentDirectory();

std::string startDirectory()
{
    return startDir;
}

std::string mediaPath(const std::string &name)
{
    return startDir + "\\media\\" + name;
}

std::string root(char drive, const std::string &rest)
{
    return std::string(1, drive) + ":\\" + rest;
}

std::string shortPath(const std::string &path)
{
    char result[MAX_PATH];
    DWORD length = GetShortPathNameA(path.c_str(), result, sizeof result);
    return length > 0 && length < sizeof result ? result : "<none>";
}

char unusedDrive()
{
    DWORD used = GetLogicalDrives();
    for (char drive = 'Y'; drive >= 'D'; drive--) {
        if (!(used & (1u << (drive - 'A'))) && GetDriveTypeA(root(drive).c_str()) == DRIVE_NO_ROOT_DIR) return drive;
    }
    return '?';
}

void BackendTest::SetUp()
{
    resetInstallState();
    mainWindow = fakeMainWindow;
    setProgramFileName(NULL);
    WriteProfileStringA("Quillmark", NULL, NULL);
    SetCurrentDirectoryA(startDir.c_str());
    recordBoxes({});
    removeScratch();
}

void BackendTest::TearDown()
{
    // What the test's steps changed goes back, and their journal with it.
    undoInstallation();
    stopRecording();
    setProgramFileName(NULL);
    WriteProfileStringA("Quillmark", NULL, NULL);
    SetCurrentDirectoryA(startDir.c_str());
    mainWindow = NULL;
    removeScratch();
}
