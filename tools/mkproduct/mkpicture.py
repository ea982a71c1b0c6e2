#!/usr/bin/env python3
"""Draws the billboard's background picture, newscr1.bmp.

    mkpicture.py OUTPUT.bmp

671 x 500 pixels, 8 bits a pixel with its own palette: pale paper with a
navy band on the left that carries a quill, a rule above the footer, and a
small stack of marked-up pages at the right. The texts of the billboard
stand on the paper (titles from x 145, lines from x 190, footers at y 430
and 450), so the paper stays light wherever text goes.
"""
import math
import struct
import sys

WIDTH, HEIGHT = 671, 500

# Palette ranges: (first index, count, top colour, bottom colour).
PAPER = (0, 64, (246, 248, 251), (220, 229, 240))
BAND = (64, 64, (24, 46, 78), (46, 88, 134))
FEATHER = (128, 32, (120, 160, 205), (236, 242, 250))
GREY = (160, 16, (250, 250, 250), (120, 128, 140))
HILITE = 176      # highlighter yellow
MARKUP = 177      # markup red
RULE = 178        # the rule over the footer
EDGE = 179        # the band's light edge


def ramp(count, top, bottom):
    colours = []
    for i in range(count):
        t = i / (count - 1)
        colours.append(tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)))
    return colours


def palette():
    colours = [(0, 0, 0)] * 256
    for first, count, top, bottom in (PAPER, BAND, FEATHER, GREY):
        colours[first:first + count] = ramp(count, top, bottom)
    colours[HILITE] = (255, 236, 120)
    colours[MARKUP] = (200, 40, 40)
    colours[RULE] = (150, 170, 196)
    colours[EDGE] = (170, 196, 226)
    return colours


def grey(level):
    """level 0 (near white) to 15 (darkest grey)."""
    return GREY[0] + max(0, min(15, level))


def draw():
    px = [bytearray(WIDTH) for _ in range(HEIGHT)]
    for y in range(HEIGHT):
        row = px[y]
        paper = PAPER[0] + y * PAPER[1] // HEIGHT
        band = BAND[0] + y * BAND[1] // HEIGHT
        for x in range(WIDTH):
            row[x] = band if x < 116 else paper
        row[116] = row[117] = EDGE
    draw_quill(px)
    for y in (414, 415):
        for x in range(140, 652):
            px[y][x] = RULE
    draw_pages(px)
    return px


def draw_quill(px):
    """A feather along a gentle curve from the nib (bottom) up the band."""
    nib = (38.0, 360.0)
    tip = (92.0, 70.0)
    steps = 600
    for s in range(steps + 1):
        t = s / steps
        # The spine bows a little to the right.
        x = nib[0] + (tip[0] - nib[0]) * t + 14 * math.sin(math.pi * t)
        y = nib[1] + (tip[1] - nib[1]) * t
        # The vane is widest two thirds of the way up and absent at the nib.
        width = 0 if t < 0.18 else 22 * math.sin(math.pi * min(1.0, (t - 0.18) / 0.82)) ** 0.8
        for dx in range(-int(width) - 1, int(width) + 2):
            xx = int(round(x + dx))
            if 0 <= xx < 116 and abs(dx) <= width:
                shade = FEATHER[0] + int((1 - abs(dx) / (width + 1)) * (FEATHER[1] - 1))
                # Fine barbs: a slanting stripe pattern.
                if (int(y) + abs(dx) * 2) % 9 == 0:
                    shade = max(FEATHER[0], shade - 10)
                px[int(y)][xx] = shade
        yy = int(y)
        for dx in (0, 1):
            xx = int(round(x)) + dx
            if 0 <= xx < 116:
                px[yy][xx] = FEATHER[0] + FEATHER[1] - 1
    # The nib: a small dark wedge below the shaft.
    for i in range(14):
        for dx in range(-max(0, 3 - i // 4), max(0, 3 - i // 4) + 1):
            px[360 + i][38 + dx - i // 3] = grey(15)


def rect(px, left, top, right, bottom, colour):
    for y in range(top, bottom):
        for x in range(left, right):
            px[y][x] = colour


def draw_pages(px):
    """Three pages fanned out, the top one with text lines, a highlight and
    a circled word."""
    for i, (left, top) in enumerate(((528, 226), (520, 234), (512, 242))):
        right, bottom = left + 118, top + 152
        rect(px, left + 4, top + 4, right + 4, bottom + 4, grey(4))   # shadow
        rect(px, left, top, right, bottom, grey(0))
        for x in range(left, right):
            px[top][x] = px[bottom - 1][x] = grey(9)
        for y in range(top, bottom):
            px[y][left] = px[y][right - 1] = grey(9)
    left, top = 512, 242
    for n in range(12):
        y = top + 16 + n * 10
        length = 96 if n % 4 != 3 else 58
        if n == 4:
            rect(px, left + 10, y - 3, left + 10 + 80, y + 4, HILITE)
        for x in range(left + 11, left + 11 + length):
            px[y][x] = grey(8)
    # The circled word on line 8.
    cx, cy, r = left + 64, top + 16 + 8 * 10, 16.0
    for a in range(720):
        ang = math.pi * a / 360
        for dr in (0.0, 0.7):
            x = int(round(cx + (r + dr) * 1.6 * math.cos(ang)))
            y = int(round(cy + (r + dr) * 0.6 * math.sin(ang)))
            px[y][x] = MARKUP


def write_bmp(path, px, colours):
    stride = (WIDTH + 3) // 4 * 4
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    offset = 14 + 40 + len(table)
    size = offset + stride * HEIGHT
    out = bytearray()
    out += struct.pack("<2sIHHI", b"BM", size, 0, 0, offset)
    out += struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, stride * HEIGHT,
                       2835, 2835, 256, 256)
    out += table
    pad = bytes(stride - WIDTH)
    for y in range(HEIGHT - 1, -1, -1):   # rows are stored bottom-up
        out += px[y] + pad
    with open(path, "wb") as f:
        f.write(out)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: mkpicture.py OUTPUT.bmp\n")
        return 64
    write_bmp(argv[1], draw(), palette())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
