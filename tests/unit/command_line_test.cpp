// The switches as the C runtime hands them over (one argument per switch,
// quotes already removed): a table of command lines and what each must set.
#include "deploy/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Row {
    std::vector<std::string> args;  // after the program's own name
    int status;
    const char *name;     // expected /NAME= value, or null when not given
    const char *dir;      // expected /DIR= value, or null when not given
    std::string bad;      // expected badArgument
};

CommandLine readRow(const std::vector<std::string> &args)
{
    std::vector<const char *> argv = {"SETUP.EXE"};
    for (const std::string &a : args) argv.push_back(a.c_str());
    CommandLine line;
    readCommandLine((int)argv.size(), argv.data(), &line);
    return line;
}

const std::string longValue(255, 'x');

// "ソフト" and "表" in code page 932: ソ and 表 end in 0x5C, the backslash.
const Row rows[] = {
    {{}, commandLineRead, nullptr, nullptr, ""},
    {{"/S", "/NAME=John Doe", "/DIR=C:\\Program Files\\QM"}, commandLineRead, "John Doe", "C:\\Program Files\\QM", ""},
    {{"-s", "/name=Ann", "-Dir=D:\\Q"}, commandLineRead, "Ann", "D:\\Q", ""},
    {{"/NAME=", "/DIR=C:\\A=B"}, commandLineRead, "", "C:\\A=B", ""},
    {{"/NAME=\x83\x5C\x83\x74\x83\x67", "/DIR=C:\\\x95\x5C"}, commandLineRead, "\x83\x5C\x83\x74\x83\x67", "C:\\\x95\x5C", ""},
    {{"/NAME=" + longValue}, commandLineRead, longValue.c_str(), nullptr, ""},
    {{"/S", "/QUIET"}, commandLineUnknown, nullptr, nullptr, "/QUIET"},
    {{"/S", "C:\\QM"}, commandLineUnknown, nullptr, nullptr, "C:\\QM"},
    {{"/S=1"}, commandLineUnknown, nullptr, nullptr, "/S=1"},
    {{"/"}, commandLineUnknown, nullptr, nullptr, "/"},
    {{"/=x"}, commandLineUnknown, nullptr, nullptr, "/=x"},
    {{"/SAMPLES=2"}, commandLineBadValue, nullptr, nullptr, "/SAMPLES=2"},
    {{"/SAMPLES=01"}, commandLineBadValue, nullptr, nullptr, "/SAMPLES=01"},
    {{"/LOG="}, commandLineBadValue, nullptr, nullptr, "/LOG="},
    {{"/ANSWERS="}, commandLineBadValue, nullptr, nullptr, "/ANSWERS="},
    // Too long to show whole: cut at 252 bytes, for showing only.
    {{"/DIR=C:\\" + longValue}, commandLineTooLong, nullptr, nullptr, ("/DIR=C:\\" + longValue).substr(0, 252) + "..."},
    {{"/BOGUS=" + longValue}, commandLineUnknown, nullptr, nullptr, ("/BOGUS=" + longValue).substr(0, 252) + "..."},
};

TEST(CommandLine, TableOfCommandLines)
{
    for (const Row &row : rows) {
        std::string shown;
        for (const std::string &a : row.args) shown += "[" + a.substr(0, 40) + "]";
        SCOPED_TRACE(shown);
        CommandLine line = readRow(row.args);
        EXPECT_EQ(row.status, line.status);
        EXPECT_EQ(row.name != nullptr, line.nameGiven != 0);
        EXPECT_STREQ(row.name ? row.name : "", line.userName);
        EXPECT_EQ(row.dir != nullptr, line.installDirGiven != 0);
        EXPECT_STREQ(row.dir ? row.dir : "", line.installDir);
        EXPECT_EQ(row.bad, line.badArgument);
    }
}

TEST(CommandLine, EverySwitchAndItsValue)
{
    CommandLine line = readRow({"/s", "/DEPT=Sales", "/Org=Example Ltd", "/SAMPLES=0", "/answers=a.ini",
                                "/SaveAnswers=b.ini", "/LOG=C:\\setup.log", "/IgnoreSpace", "/Verify"});
    ASSERT_EQ(commandLineRead, line.status);
    EXPECT_TRUE(line.unattended && line.ignoreSpace && line.logWanted && !line.helpWanted && line.verifyWanted);
    EXPECT_STREQ("Sales", line.department);
    EXPECT_STREQ("Example Ltd", line.organisation);
    EXPECT_TRUE(line.samplesGiven);
    EXPECT_EQ(0, line.installSamples);
    EXPECT_STREQ("a.ini", line.answersPath);
    EXPECT_STREQ("b.ini", line.saveAnswersPath);
    EXPECT_STREQ("C:\\setup.log", line.logPath);

    // Samples are wanted unless refused; /LOG alone is the default place.
    line = readRow({"/LOG=x.log", "/LOG", "-?"});
    EXPECT_EQ(1, line.installSamples);
    EXPECT_FALSE(line.samplesGiven);
    EXPECT_TRUE(line.logWanted && line.helpWanted);
    EXPECT_STREQ("", line.logPath);
    EXPECT_TRUE(readRow({"/help"}).helpWanted);

    // A mistake is kept, the first one; a /LOG after it is read all the same.
    line = readRow({"/BOGUS", "/SAMPLES=7", "/LOG=C:\\x.log"});
    EXPECT_EQ(commandLineUnknown, line.status);
    EXPECT_STREQ("/BOGUS", line.badArgument);
    EXPECT_STREQ("C:\\x.log", line.logPath);
}

// Unattended, the install directory must name one folder wherever the
// program was started.
TEST(CommandLine, OnlyAFullFolderBelowARootIsAFullFolder)
{
    const struct {
        const char *dir;
        int full;
    } rows[] = {
        {"C:\\QUILLMRK", 1}, {"c:\\A B\\C\\", 1}, {"C:\\\x95\x5C", 1}, {"\\\\server\\share\\QM", 1},
        {"QMREL", 0}, {"C:QMREL", 0}, {"\\QMROOTED", 0}, {"C:", 0}, {"C:\\", 0}, {"C:\\\\", 0},
        {"C:\\.\\..", 0}, {"\\\\server\\share", 0}, {"\\\\server\\share\\", 0}, {"\\\\server", 0},
        {"\\\\\\share\\QM", 0}, {"1:\\QM", 0}, {"", 0},
    };
    for (const auto &row : rows) EXPECT_EQ(row.full, isFullFolder(row.dir)) << row.dir;
}

#ifdef _WIN32
// Run in a process of code page 932 (command_line_test_ja_jp).
TEST(CommandLineCodePage932, ValuesKeepTheirCharactersAndAreCutOnlyBetweenThem)
{
    std::string kana;
    for (int i = 0; i < 130; i++) kana += "\x83\x5C";  // ソ
    CommandLine line = readRow({"/NAME=" + kana.substr(0, 254), "/BOGUS=" + kana});
    EXPECT_EQ(commandLineUnknown, line.status);
    EXPECT_EQ(kana.substr(0, 254), line.userName);
    // 252 bytes would end inside a character: 251 do, with "...".
    EXPECT_EQ("/BOGUS=" + kana.substr(0, 244) + "...", line.badArgument);
}
#endif

}  // namespace
