// The switches SETUP.EXE takes, read from the arguments as the C runtime
// splits them (double quotes group words). A switch starts with / or -, its
// name is matched without regard to case, and a value follows "=".
#pragma once
#include "install/text.h"

enum CommandLineStatus {
    commandLineRead = 0,
    commandLineUnknown = -1,   // an argument that is no switch of ours
    commandLineBadValue = -2,  // a switch with a missing, empty or wrong value
    commandLineTooLong = -3,   // a value that does not fit a text: refused, never cut
};

struct CommandLine {
    int unattended;            // /S
    int uninstall;             // /UNINSTALL: remove the installation instead
    int helpWanted;            // /? or /HELP
    int ignoreSpace;           // /IGNORESPACE: go on when the drive looks too small
    int verifyWanted;          // /VERIFY: read the medium against the release, install nothing
    int nameGiven, departmentGiven, organisationGiven, installDirGiven, samplesGiven;
    char userName[textSize];   // /NAME=
    char department[textSize]; // /DEPT=
    char organisation[textSize]; // /ORG=
    char installDir[textSize]; // /DIR=
    int installSamples;        // /SAMPLES=0|1
    char answersPath[textSize];     // /ANSWERS=file, "" when not given
    char saveAnswersPath[textSize]; // /SAVEANSWERS=file, "" when not given
    int logWanted;             // /LOG or /LOG=file
    char logPath[textSize];    // "" with /LOG alone: the TEMP folder's default name
    int status;                // a CommandLineStatus
    char badArgument[textSize]; // the first argument not understood, as far as it fits
};

// Reads argv[1 .. argc-1] into line. Returns line->status: commandLineRead,
// or the first problem, with badArgument naming the argument. Every other
// switch is read all the same (a /LOG says where to report the problem), but
// a caller installs nothing then.
int readCommandLine(int argc, const char *const *argv, CommandLine *line);

// What a problem status means, for the log and the usage box.
const char *commandLineProblem(int status);

// The switches, one per line, for the help box and the log.
extern const char commandLineUsage[];

// 1 when dir names one folder whatever the current directory and drive:
// "X:\" or "\\server\share\" and at least one folder name below it. A
// relative path (QMREL, C:QMREL, \QMROOTED) or a root (C:, C:\, a share)
// gives 0.
int isFullFolder(const char *dir);
