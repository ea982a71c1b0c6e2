// What the billboard shows. Portable: the pacing of the copy advances it and
// is tested natively; the painting (billboard.h) only reads it.
#pragma once
#include <cstdint>

enum { billboardLines = 5, bulletTextSize = 80, themeTitleCount = 7, bulletTextCount = 30 };

struct BillboardRect {
    int left, top, right, bottom;
};

struct BillboardState {
    int lineCount;        // 5
    int percentPerTheme;  // 17
    uint32_t lineColors[billboardLines];  // COLORREF: 0x80 highlighted, 0 black
    char lineTexts[billboardLines][bulletTextSize];
    int themeIndex;
    int bulletCursor;     // next entry of bulletTexts to load
    int highlightLine;
    BillboardRect billboardRect;  // 130, 30, 570, 190 in client pixels
};

extern BillboardState billboard;

// Release data, generated from the release description.
extern const char *const themeTitles[themeTitleCount];
extern const char *const bulletTexts[bulletTextCount];
extern const char productTagLine[];
extern const char makerNoticeLine[];

void resetBillboardState();
void loadNextBullets();

// Invalidates billboardRect of the main window with erase and updates it at
// once. Provided by the window side; native tests provide their own.
void invalidateBillboard();
