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
// Moves tempName over target, replacing it; 0, or -1 with both as they were.
int replaceFile(const char *tempName, const char *target);
