#include "copy/copy_state.h"

#include <cstring>

// Both pacing counters start at 1: the first theme turn comes at
// percentPerTheme * 1 percent, the first bullet step at bulletStep * 1.
CopyState copyState = {nullptr, 0, "", 0, 0, 0.0f, 0, 0, 1, 1};

void resetCopyState()
{
    memset(&copyState, 0, sizeof copyState);
    copyState.themeCounter = 1;
    copyState.bulletCounter = 1;
}
