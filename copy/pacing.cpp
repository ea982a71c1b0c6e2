// The progress accounting that turns file lengths into the percentage, and
// the pacing of the billboard by that percentage. No window calls: the
// repaint goes through invalidateBillboard().
#include "copy/pacing.h"

#include "copy/copy_state.h"
#include "shell/billboard_state.h"

enum { highlightColor = 0x80, plainColor = 0 };  // RGB(128, 0, 0) and black

/* Adds a file of the given length to the percentage and returns its share in
 * percent. Files too small to make one percent are carried until, together
 * with a later one, they do. A very large file moves the highlight on before
 * its transfer starts. */
double accountFile(long length)
{
    double bytes = (double)length + copyState.carriedBytes;
    double share = bytes / copyState.bytesPerPercent;
    if (share >= 1.0) {
        copyState.percentExact += (float)share;
        copyState.carriedBytes = 0;
    } else {
        copyState.carriedBytes = (int)bytes;
    }
    if (share > 2.0 * copyState.bulletStep) {
        advanceHighlight();
        copyState.bulletCounter++;
    }
    return share;
}

static void turnTheme()
{
    copyState.themeCounter++;
    loadNextBullets();
    // The percentage stops at 100, so with 17 per theme the titles never run
    // out; the bound keeps other pacing values from passing the last title.
    if (billboard.themeIndex < themeTitleCount - 1) billboard.themeIndex++;
    billboard.highlightLine = -1;
    advanceHighlight();
    copyState.bulletCounter++;
}

/* After each transfer: the shown percentage, the debug line, and at most one
 * theme turn or one bullet step, so a jump over several thresholds catches up
 * on the following files. */
void progressStep()
{
    // Compared as a float first: converting a value past the int range is
    // undefined, and the sum may be large when a file is far over one percent.
    copyState.percentDone = copyState.percentExact >= 100.0f ? 100 : (int)copyState.percentExact;
    writeDebugLine("==>1\n");
    int done = copyState.percentDone;
    if (done >= billboard.percentPerTheme * copyState.themeCounter) {
        turnTheme();
    } else if (done >= copyState.bulletStep * copyState.bulletCounter) {
        copyState.bulletCounter++;
        advanceHighlight();
    }
}

/* Highlights the next bullet line; the last line stays highlighted until the
 * theme turns. */
void advanceHighlight()
{
    billboard.highlightLine++;
    if (billboard.highlightLine >= billboard.lineCount) billboard.highlightLine = billboard.lineCount - 1;
    for (int j = 0; j < billboard.lineCount && j < billboardLines; j++)
        billboard.lineColors[j] = j == billboard.highlightLine ? highlightColor : plainColor;
    invalidateBillboard();
}
