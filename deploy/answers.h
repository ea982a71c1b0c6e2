// The five answers of the user dialog kept in a file, to record one careful
// installation and replay it on other PCs. The file is an INI file:
//   [Answers]
//   Name="..."  Dept="..."  Org="..."  Dir="..."  Samples=0|1
#pragma once
#include "deploy/command_line.h"

// The values the dialog shows on opening: an earlier installation's, then
// the defaults; samples wanted.
void loadPrefilledValues();
// Takes the answers that the file at path holds (a key left out keeps its
// value). 0, or -1 when the file is missing or a value is wrong or too long;
// problem then says which, for the log.
int readAnswersFile(const char *path, char *problem, int problemSize);
// The values a run starts with: the prefilled ones, then the answers file
// and the switches of the command line over them. 0, or -1 when the answers
// file cannot be used (problem says why).
int loadStartValues(char *problem, int problemSize);
// Writes the five values to the file at path. 0, or -1 when it cannot.
int writeAnswersFile(const char *path);
// The values confirmed with Continue (or, unattended, checked), to
// /SAVEANSWERS's file when given.
void saveAnswersIfAsked();
