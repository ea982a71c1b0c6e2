// Painting of the main window's billboard.
#pragma once
#include <windows.h>

#include "shell/billboard_state.h"

void paintBillboard(HWND window);
// The display changed: the grid's mapping is worked out again at the next paint.
void forgetBillboardMapping();
void drawBackgroundImage(HDC dc);
void drawBitmapAt(HBITMAP bitmap, HDC dc, int x, int y);
void drawFooterLine(HDC dc, int y, const char *text);
