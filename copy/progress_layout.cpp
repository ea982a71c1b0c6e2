// Every quotient is an integer division of its own, taken before the sums,
// so the parts land on the same pixels at every window size.
#include "copy/progress_layout.h"

void layoutOnCreate(ProgressLayout *layout, int width, int height, int charWidth, int lineHeight)
{
    int w = width, h = height;
    layout->windowWidth = w;
    layout->windowHeight = h;
    layout->charWidth = charWidth;
    layout->lineHeight = lineHeight;
    layout->refreshRect = {w / 8, h / 2 - h / 6 - h / 20, 7 * w / 8, h / 2 + h / 10 - h / 20};
    layout->midY = h / 2;
    layout->cancelWidth = 9 * charWidth + 10;
    layout->cancelHeight = 7 * lineHeight / 5 + 10;
    layout->cancelX = w / 2 - (9 * charWidth) / 2 - 10;
    layout->cancelY = h - 4 * lineHeight + 15;
    layout->cancelButtonRect = {0, 0, layout->cancelWidth, layout->cancelHeight};
}

void layoutOnSize(ProgressLayout *layout, int width, int height)
{
    int w = width, h = height;
    layout->windowWidth = w;
    layout->windowHeight = h;
    layout->refreshRect = {w / 8, h / 2 - h / 3 + 10, 7 * w / 8, h / 2 + h / 10 - h / 20};
    layout->midY = h / 2;
    // A window too low for the bar above the button pushes the bar up.
    if (h / 2 + 10 > h - 4 * layout->lineHeight) layout->midY = h - 4 * layout->lineHeight - 10;
}

LayoutPoint labelPosition(const ProgressLayout *layout)
{
    return {layout->windowWidth / 2 - 75, layout->midY - layout->windowHeight / 3 - 12};
}

LayoutPoint fileNamePosition(const ProgressLayout *layout)
{
    return {layout->windowWidth / 2 - 60, layout->midY - layout->windowHeight / 3 + 10};
}

LayoutPoint percentPosition(const ProgressLayout *layout)
{
    return {layout->windowWidth / 2 - 15, layout->midY - layout->windowHeight / 6};
}

LayoutRect barRect(const ProgressLayout *layout)
{
    int w = layout->windowWidth, h = layout->windowHeight;
    return {w / 8, layout->midY - h / 20, 7 * w / 8, layout->midY + h / 10 - h / 20};
}

int fillWidth(int windowWidth, int percentDone)
{
    // The factor is single precision, a little below 0.0075, so a full bar
    // is one pixel short of the 3/4 width: 149 of 150 at 200 pixels.
    const float factor = 0.0075f;
    return (int)((double)windowWidth * (double)factor * percentDone);
}
