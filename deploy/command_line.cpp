// The switches of SETUP.EXE: pure text work over the arguments, so that it is
// tested natively as well as under Wine.
#include "deploy/command_line.h"

#include <cstring>

#include "ownerdata/characters.h"

const char commandLineUsage[] =
    "SETUP.EXE [/S] [/NAME=name] [/DEPT=department] [/ORG=organisation] [/DIR=directory]\n"
    "          [/SAMPLES=0|1] [/ANSWERS=file] [/SAVEANSWERS=file] [/LOG[=file]] [/IGNORESPACE]\n"
    "\n"
    "/S\tinstall unattended: no window, questions answered by policy\n"
    "/NAME= /DEPT= /ORG=\tthe user's name, department and organisation\n"
    "/DIR=\tthe install directory\n"
    "/SAMPLES=0|1\twithout or with the sample files\n"
    "/ANSWERS=file\tread the five values from file (switches override it)\n"
    "/SAVEANSWERS=file\tstore the values confirmed with Continue in file\n"
    "/LOG[=file]\tappend a log to file (alone: in the TEMP folder)\n"
    "/IGNORESPACE\tinstall even when the drive looks too small\n"
    "/UNINSTALL\tremove the installation (exit code 9: nothing to remove, 10: its record damaged)\n"
    "/VERIFY\tread every file of the medium, install nothing (exit code 11: damaged)\n"
    "/? or /HELP\tthis list\n"
    "\n"
    "Exit codes: 0 installed, 1 command line, 2 information missing, 3 directory,\n"
    "4 disk space, 5 a file not written, 6 file missing from the medium,\n"
    "7 next disk needed, 8 cancelled, 11 medium damaged, 12 SETUP.EXE damaged,\n"
    "13 SETUP.EXE failed, 14 no display for its window,\n"
    "1618 another installation running, 3010 installed: restart to finish;\n"
    "16 added to 1-14 when the log could not be written. A stopped run changes nothing.";

const char *commandLineProblem(int status)
{
    switch (status) {
    case commandLineRead:
        return "understood";
    case commandLineUnknown:
        return "unknown argument";
    case commandLineBadValue:
        return "missing or wrong value";
    default:
        return "value too long";
    }
}

enum { nameSize = 16 };  // longer than any switch name

// Keeps the argument that was not understood, cut at a whole character with
// "..." when it does not fit: it is only ever shown, never used.
static void refuse(CommandLine *line, const char *argument, int status)
{
    if (copyText(line->badArgument, textSize, argument) != 0) {
        size_t length = wholeCharacterLength(argument, textSize - 4);
        memcpy(line->badArgument, argument, length);
        memcpy(line->badArgument + length, "...", 4);
    }
    line->status = status;
}

// A value that does not fit is refused: cut, a directory would be another one.
static int takeText(char *text, const char *value, int *given)
{
    if (copyText(text, textSize, value) != 0) return commandLineTooLong;
    if (given) *given = 1;
    return commandLineRead;
}

// A file name must be there: an empty one names nothing to read or write.
static int takePath(char *text, const char *value)
{
    if (value[0] == '\0') return commandLineBadValue;
    return takeText(text, value, nullptr);
}

static int takeSwitchWithValue(CommandLine *line, const char *name, const char *value)
{
    if (equalsIgnoringCase(name, "NAME")) return takeText(line->userName, value, &line->nameGiven);
    if (equalsIgnoringCase(name, "DEPT")) return takeText(line->department, value, &line->departmentGiven);
    if (equalsIgnoringCase(name, "ORG")) return takeText(line->organisation, value, &line->organisationGiven);
    if (equalsIgnoringCase(name, "DIR")) return takeText(line->installDir, value, &line->installDirGiven);
    if (equalsIgnoringCase(name, "ANSWERS")) return takePath(line->answersPath, value);
    if (equalsIgnoringCase(name, "SAVEANSWERS")) return takePath(line->saveAnswersPath, value);
    if (equalsIgnoringCase(name, "LOG")) {
        line->logWanted = 1;
        return takePath(line->logPath, value);
    }
    if (equalsIgnoringCase(name, "SAMPLES")) {
        if ((value[0] != '0' && value[0] != '1') || value[1] != '\0') return commandLineBadValue;
        line->installSamples = value[0] - '0';
        line->samplesGiven = 1;
        return commandLineRead;
    }
    return commandLineUnknown;
}

// The switch that takes no value, or null.
static int *flagOf(CommandLine *line, const char *body)
{
    if (equalsIgnoringCase(body, "S")) return &line->unattended;
    if (equalsIgnoringCase(body, "?") || equalsIgnoringCase(body, "HELP")) return &line->helpWanted;
    if (equalsIgnoringCase(body, "IGNORESPACE")) return &line->ignoreSpace;
    if (equalsIgnoringCase(body, "LOG")) return &line->logWanted;
    if (equalsIgnoringCase(body, "UNINSTALL")) return &line->uninstall;
    if (equalsIgnoringCase(body, "VERIFY")) return &line->verifyWanted;
    return nullptr;
}

static int takeSwitch(CommandLine *line, const char *body)
{
    int *flag = flagOf(line, body);
    if (flag) {
        *flag = 1;
        // /LOG alone after /LOG=file: the default place again.
        if (flag == &line->logWanted) line->logPath[0] = '\0';
        return commandLineRead;
    }
    // The name is ASCII and the '=' ends it; the value may hold any
    // character, so the scan goes by character.
    const char *equals = body;
    while (*equals != '\0' && *equals != '=') equals = nextCharacter(equals);
    size_t nameLength = (size_t)(equals - body);
    if (*equals != '=' || nameLength == 0 || nameLength >= nameSize) return commandLineUnknown;
    char name[nameSize];
    memcpy(name, body, nameLength);
    name[nameLength] = '\0';
    return takeSwitchWithValue(line, name, equals + 1);
}

int readCommandLine(int argc, const char *const *argv, CommandLine *line)
{
    *line = CommandLine{};
    line->installSamples = 1;
    for (int i = 1; i < argc; i++) {
        const char *argument = argv[i] ? argv[i] : "";
        int status = commandLineUnknown;
        if (argument[0] == '/' || argument[0] == '-') status = takeSwitch(line, argument + 1);
        // The rest is read on: a /LOG after a mistake still says where the
        // mistake is reported.
        if (status != commandLineRead && line->status == commandLineRead) refuse(line, argument, status);
    }
    return line->status;
}

// A component of a path that names no folder of its own.
static int isDotName(const char *name, size_t length)
{
    return (length == 1 && name[0] == '.') || (length == 2 && name[0] == '.' && name[1] == '.');
}

int isFullFolder(const char *dir)
{
    // A drive's root with its backslash, or a share; never "C:" alone.
    int root = pathRootLength(dir);
    if (root == 0 || root == 2) return 0;
    const char *rest = dir + root;
    // At least one folder name below the root, "." and ".." not counted.
    while (*rest != '\0') {
        while (*rest == '\\') rest++;
        const char *start = rest;
        while (*rest != '\0' && *rest != '\\') rest = nextCharacter(rest);
        if (rest > start && !isDotName(start, (size_t)(rest - start))) return 1;
    }
    return 0;
}
