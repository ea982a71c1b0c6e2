// Removal of a file at the next start of Windows: what a running program
// does with its own file, which it cannot delete while it runs.
#pragma once

// Removes path (a file, or an empty directory on the NT family) when
// Windows next starts: 1 when that was arranged.
int removeAtRestart(const char *path);
// Takes back a removal of path arranged before (the NT family; Windows
// 95/98/Me keep theirs in WININIT.INI, which is left alone), every other
// pending operation kept as it was: 1 when one was taken back.
int cancelRemovalAtRestart(const char *path);
