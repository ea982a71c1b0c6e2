// The five answers of the user dialog kept in a file, to record one careful
// installation and replay it on other PCs. The file is an INI file:
//   [Answers]
//   Name="..."  Dept="..."  Org="..."  Dir="..."  Samples=0|1
#pragma once
#include "deploy/command_line.h"

// Takes the answers that the file at path holds (a key left out keeps its
// value; *samplesGiven becomes 1 when it chooses the samples). 0, or -1 when it is no readable regular file, has no [Answers]
// section, or has a line the format does not allow (neither a section, a
// key=value line nor a comment; one of the five keys twice; a value too
// long; Samples other than 0 or 1); problem then says which, naming the file
// and the line. Other keys are logged and left alone.
int readAnswersFile(const char *path, int *samplesGiven, char *problem, int problemSize);
// The values a run with switches starts with: the dialog's prefill, then the
// answers file and the switches over them; where neither chooses the
// samples, the choice the completed installation in that directory kept. 0, or -1 when the answers file cannot be used or a
// name, department or organisation is longer than the owner data file keeps
// (problem says why).
int loadStartValues(char *problem, int problemSize);
// The same over the dialog's prefill, once loadStartValues has passed: the
// dialog's prefill hook.
void layCheckedStartValues();
// Writes the five values to the file at path. 0, or -1 when it cannot.
int writeAnswersFile(const char *path);
// The values confirmed with Continue (or, unattended, checked), to
// /SAVEANSWERS's file when given.
void saveAnswersIfAsked();
