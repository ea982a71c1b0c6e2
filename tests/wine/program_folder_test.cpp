// The program's own folder, whatever the length of its file name: used
// when every file of the medium can be named in it, refused otherwise.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "install/install_state.h"
#include "install/paths.h"
#include "tests/wine/backend_support.h"

namespace {

class ProgramFolder : public BackendTest {};

struct FolderCase {
    const char *name;
    std::string program;
    bool usable;
    std::string sourceDir;  // after preparePaths; "" where it is left alone
};

static std::string folderOf(size_t length)
{
    return "D:\\" + std::string(length - 3, 'F');
}

TEST_F(ProgramFolder, UsableWhenEveryFileOfTheMediumCanBeNamedInIt)
{
    const FolderCase cases[] = {
        {"this test program", "", true, startDirectory() + "\\"},
        {"a short folder", "D:\\INSTALL\\SETUP.EXE", true, "D:\\INSTALL\\"},
        {"242 characters", folderOf(242) + "\\SETUP.EXE", true, folderOf(242) + "\\"},
        {"243 characters", folderOf(243) + "\\SETUP.EXE", false, folderOf(243) + "\\"},
        {"a program name past 255", folderOf(200) + "\\" + std::string(100, 'P') + ".EXE", true,
         folderOf(200) + "\\"},
        {"300 characters", folderOf(300) + "\\SETUP.EXE", false, ""},
        {"a name of 40,000 characters", folderOf(39990) + "\\SETUP.EXE", false, ""},
        {"no folder at all", "SETUP.EXE", false, ""},
    };
    for (const FolderCase &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        installState.directorySource = 0;
        if (!c.program.empty()) setProgramFileName(c.program.c_str());

        EXPECT_EQ(c.usable ? 1 : 0, programFolderUsable());
        EXPECT_EQ(0, preparePaths());
        EXPECT_EQ(c.sourceDir, installState.sourceDir);
        TearDown();
    }
}

}  // namespace
