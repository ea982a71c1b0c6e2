// A save writes a temporary file beside its target and puts it in the
// target's place only once it is whole, so a save that fails halfway leaves
// the old file as it was.
#pragma once
#include <cstddef>

// 0 when the target does not exist or may be written, else -1.
int targetWritable(const char *target);
// A name in the target's directory that no file has yet; 0, or -1 when none
// fits in size characters.
int makeTempName(const char *target, char *tempName, size_t size);
enum { replaceKeptNew = -2 };
// Moves tempName over target, replacing it: 0; -1 with both as they were; or
// replaceKeptNew when the old target is gone and the new file could not take
// its name: the new file then stays, whole, under tempName.
int replaceFile(const char *tempName, const char *target);
// Makes replaceFile remove the target and then move, as it must where the
// system cannot replace a file in one step (Windows 95 and 98); for tests.
void useTwoStepReplace(int on);
