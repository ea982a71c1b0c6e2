#include "shell/billboard_state.h"

#include "install/text.h"

static const BillboardState initialBillboard = {
    billboardLines,
    17,
    {0x000080, 0, 0, 0, 0},  // line 0 highlighted in RGB(128, 0, 0)
    {},
    0,
    0,
    0,
    {130, 30, 570, 190},
};

BillboardState billboard = initialBillboard;

void resetBillboardState()
{
    billboard = initialBillboard;
}

/*
 * Fills the lines with the next lineCount entries of bulletTexts. Past the
 * last entry the lines are empty, but the cursor still moves on, so the
 * pacing's arithmetic on it stays the same for every theme.
 */
void loadNextBullets()
{
    for (int i = 0; i < billboard.lineCount && i < billboardLines; i++) {
        const char *entry = "";
        int cursor = billboard.bulletCursor;
        if (cursor >= 0 && cursor < bulletTextCount && bulletTexts[cursor])
            entry = bulletTexts[cursor];
        // A release text is at most 79 characters; a longer one shows as empty.
        copyText(billboard.lineTexts[i], bulletTextSize, entry);
        billboard.bulletCursor++;
    }
}
