// Where the progress window draws its parts, from its outer size and the
// metrics of the system fixed font. Portable so that it is tested natively.
#pragma once

struct LayoutRect {
    int left, top, right, bottom;
};

struct ProgressLayout {
    int windowWidth, windowHeight;  // outer size of the progress window
    int charWidth, lineHeight;      // system fixed font: average width, height + leading
    int midY;                       // vertical centre line of the drawing
    LayoutRect refreshRect;         // repainted on each refresh: name, percentage, bar
    int cancelX, cancelY, cancelWidth, cancelHeight;  // Cancel button in the window
    LayoutRect cancelButtonRect;    // the button's own client area
};

struct LayoutPoint {
    int x, y;
};

// WM_CREATE: everything, the Cancel button's place included.
void layoutOnCreate(ProgressLayout *layout, int width, int height, int charWidth, int lineHeight);
// WM_SIZE: the refresh area and the centre line again; the button keeps the
// place it was given at creation.
void layoutOnSize(ProgressLayout *layout, int width, int height);

LayoutPoint labelPosition(const ProgressLayout *layout);     // "Transferring:"
LayoutPoint fileNamePosition(const ProgressLayout *layout);
LayoutPoint percentPosition(const ProgressLayout *layout);
LayoutRect barRect(const ProgressLayout *layout);

// Pixels of the bar filled at percentDone; drawn only when above 2.
int fillWidth(int windowWidth, int percentDone);
