// SETUP.EXE /S against the faults of the other scenarios (the same drives and
// media): each ends with its exit code and says why in its log. And answers
// saved by an interactive run replayed unattended.
#include "tests/robustness/robust_support.h"
#include "tests/support/uninstaller_files.h"

namespace robust {
namespace {

const char logPath[] = "C:\\QMSETUP.LOG";
const char answersPath[] = "C:\\QMANSWER.INI";

class Unattended : public Robust {
protected:
    void SetUp() override
    {
        Robust::SetUp();
        DeleteFileA(logPath);
        DeleteFileA(answersPath);
    }

    // Runs SETUP.EXE of medium with arguments to its end: the exit code.
    DWORD run(const std::string &medium, const std::string &arguments)
    {
        DWORD code = 1234;
        EXPECT_TRUE(startSetup(medium + "\\SETUP.EXE", medium, &setup, arguments));
        EXPECT_TRUE(waitForExit(&setup, &code));
        stopSetup(&setup);
        return code;
    }
};

TEST_F(Unattended, EachFaultEndsWithItsCodeAndItsLogLine)
{
    std::string damaged;
    ASSERT_TRUE(copyTinyMedium("unattended", &damaged));
    ASSERT_TRUE(DeleteFileA((damaged + "\\README.TXT").c_str()));
    std::string selfDamaged;
    ASSERT_TRUE(copyTinyMedium("unattended-program", &selfDamaged));
    const std::string program = selfDamaged + "\\SETUP.EXE";
    // Its last byte: a byte of code could crash the program before any check.
    ASSERT_TRUE(flipBit(program, (long)fileBytes(program).size() - 1));
    struct Row {
        std::string medium, arguments;
        DWORD code;
        std::string logLine;    // a line of the log holds this
        const char *target;     // where the installation went, when it went anywhere
    };
    const std::string log = std::string(" /LOG=") + logPath;
    const Row rows[] = {
        {tinyMedium(), "/S /BOGUS" + log, 1, "Command line not understood: /BOGUS (unknown argument); nothing", nullptr},
        {tinyMedium(), "/S /SAMPLES=2" + log, 1, "Command line not understood: /SAMPLES=2 (missing or wrong value)", nullptr},
        {tinyMedium(), "/S" + log, 2, "Box \"Information Missing\": You must supply your name. -> OK (policy)", nullptr},
        {tinyMedium(), "/S /NAME=Ada /DIR=" + std::string(readOnlyTarget) + log, 3,
         "Box \"Error\": There is a problem in creating this directory, Check your read/write", nullptr},
        {tinyMedium(), "/S /NAME=Ada /DIR=" + std::string(fullTarget) + log, 4,
         "Box \"Not enough disk space\": You may not have enough disk space to install.", nullptr},
        {tinyMedium(), "/s -name=Ada -dir=" + std::string(fullTarget) + " /IgnoreSpace" + log, 5,
         "Box \"" + std::string(fullTarget) + "\\", fullTarget},
        {damaged, "/S /NAME=Ada" + log, 6, "Box \"Error\": Error in opening : " + damaged + "\\README.TXT | system: ",
         nullptr},
        {tinyMedium(), "/S /NAME=Ada /LOG=R:\\QMSETUP.LOG", 16, "", defaultTarget},
        {selfDamaged, "/S /NAME=Ada" + log, 12, "The setup program is damaged: copy the medium again.", nullptr},
        {tinyMedium(), "/S /VERIFY" + log, 0, "The medium is whole: every file is the release's.", nullptr},
        {damaged, "/S /VERIFY" + log, 11, "File " + damaged + "\\README.TXT missing from the medium", nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.arguments);
        SetUp();
        EXPECT_EQ(row.code, run(row.medium, row.arguments));
        const std::string written = readFile(logPath);
        EXPECT_NE(std::string::npos, written.find(row.logLine)) << written;
        const std::string result = ", exit code " + std::to_string(row.code) + "\r\n";
        EXPECT_EQ(!row.logLine.empty(), written.find(result) != std::string::npos) << written;
        EXPECT_EQ(row.target ? row.target : "", winIniValue("BinDirectory"));
        TearDown();
    }
}

// A file held by a program that is being closed: the policy retries, and
// once the file is let go the installation ends complete.
TEST_F(Unattended, AFileInUseIsRetriedUntilItIsLetGo)
{
    const std::string held = std::string(defaultTarget) + "\\QUILLMRK.EXE";
    ASSERT_TRUE(CreateDirectoryA(defaultTarget, NULL));
    ASSERT_TRUE(writeFile(held, "old"));
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    ASSERT_TRUE(startSetup(tinyMedium() + "\\SETUP.EXE", tinyMedium(), &setup,
                           std::string("/S /NAME=Ada /LOG=") + logPath));
    const std::string retried = "Box \"Error\": Error in creating : " + held;
    for (int waited = 0; readFile(logPath).find(retried) == std::string::npos && waited < windowTimeoutMs; waited += 20)
        Sleep(20);
    CloseHandle(holder);
    DWORD code = 1234;
    EXPECT_TRUE(waitForExit(&setup, &code));
    EXPECT_EQ(0u, code);
    EXPECT_NE(std::string::npos, readFile(logPath).find(" -> Retry (policy)\r\n"));
    EXPECT_TRUE(installedExactly(defaultTarget, true, withUninstaller({"quillmrk.dat"})));
}

// Without /S a command line not understood, /? and /VERIFY are boxes of
// their own.
TEST_F(Unattended, InteractivelyTheSwitchesAreShownInABox)
{
    struct Row {
        const char *arguments;
        std::string start;  // of the box's text
        DWORD code;
    };
    const Row rows[] = {
        {"/BOGUS", "The command line is not understood: /BOGUS (unknown argument).", 1},
        {"/?", "SETUP.EXE [/S] [/NAME=name]", 0},
        {"/VERIFY", "The medium is whole: every file is the release's.", 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.arguments);
        ASSERT_TRUE(startSetup(tinyMedium() + "\\SETUP.EXE", tinyMedium(), &setup, row.arguments));
        HWND box = NULL;
        SeenBox seen;
        ASSERT_TRUE(waitForBox(&box, &seen));
        EXPECT_EQ("Quillmark Setup", seen.caption);
        EXPECT_EQ(row.start, seen.text.substr(0, row.start.size()));
        press(box, IDOK);
        DWORD code = 1234;
        EXPECT_TRUE(waitForExit(&setup, &code));
        EXPECT_EQ(row.code, code);
        stopSetup(&setup);
    }
    EXPECT_FALSE(directoryExists(defaultTarget));
}

TEST_F(Unattended, AnswersSavedInteractivelyAreReplayedUnattended)
{
    startIn(tinyMedium(), std::string("/SAVEANSWERS=") + answersPath);
    fillUserDialog(dialog, "Ada Lovelace", " Analytical Engines ", "\"Babbage\" & Co", longTarget, false);
    expectCompletedEnd();
    const std::vector<std::string> values = ownerDataLines(std::string(longTarget) + "\\quillmrk.dat");
    EXPECT_EQ("User=Ada Lovelace", values.at(0));
    const TreeBytes installed = treeBytes(longTarget);

    removeTree(longTarget);
    clearWinIniSection();
    EXPECT_EQ(0u, run(tinyMedium(), std::string("/S /ANSWERS=") + answersPath));
    EXPECT_EQ(values, ownerDataLines(std::string(longTarget) + "\\quillmrk.dat"));
    EXPECT_TRUE(installedExactly(longTarget, false, withUninstaller({"quillmrk.dat"})));
    EXPECT_EQ(installed, treeBytes(longTarget));
    // A switch overrides the file.
    EXPECT_EQ(0u, run(tinyMedium(), std::string("/S /NAME=Grace /ANSWERS=") + answersPath));
    EXPECT_EQ("User=Grace", ownerDataLines(std::string(longTarget) + "\\quillmrk.dat").at(0));
}

}  // namespace
}  // namespace robust
