// Turns file lengths into the percentage and paces the billboard by it.
#pragma once

double accountFile(long length);  // the file's share in percent
void progressStep();
void advanceHighlight();

// Sends a line to the debugger. Provided by the window side; native tests
// provide their own.
void writeDebugLine(const char *text);
