// The three markers of the install manifest. The tables themselves are
// generated from the release description; the markers are the program's own
// and are compared with the whole entry, letter case included.
#include "copy/manifest.h"

const char dirStartMarker[] = "[DIR_START]";
const char dirEndMarker[] = "[DIR_END]";
const char finishedMarker[] = "Finished";
