#!/usr/bin/env python3
"""Draws the program's small pictures: the computer bitmap of the progress
window, the pointing hand of the billboard and the program icon. All three
use the standard 16-colour palette at 4 bits per pixel.

    mkresources.py OUTPUT_DIR
"""
import os
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, NAVY, SILVER, GREY, RED, GREEN, BLUE, CYAN, WHITE = 0, 1, 4, 7, 8, 9, 10, 12, 14, 15
LEGEND = {".": SILVER, "k": BLACK, "w": WHITE, "b": BLUE, "g": GREY}

# 36 x 19: a white-gloved hand pointing to the right, blue cuff on the left.
HAND = [
    "....................................",
    "....................................",
    "..........kkkkkkk...................",
    "bbbbbk...kwwwwwwwk..................",
    "bbbbbkkkkwwwwwwwwwkkkkkkkkkkkkkkkk..",
    "bbbbbkwwwwwwwwwwwwwwwwwwwwwwwwwwwwk.",
    "bbbbbkwwwwwwwwwwwwwwwwwwwwwwwwwwwwk.",
    "bbbbbkwwwwwwwwwwwwkkkkkkkkkkkkkkkk..",
    "bbbbbkwwwwwwwwwwwwwwwwk.............",
    "bbbbbkwwwwwwwwwwwwkkkkk.............",
    "bbbbbkwwwwwwwwwwwwwwwwk.............",
    "bbbbbkwwwwwwwwwwwwkkkkk.............",
    "bbbbbkwwwwwwwwwwwwwwwk..............",
    "bbbbbkwwwwwwwwwwwkkkkk..............",
    "bbbbbkkwwwwwwwwwwwwwk...............",
    "bbbbbk.kkkkkkkkkkkkk................",
    "....................................",
    "....................................",
    "....................................",
]


def canvas(width, height, colour):
    return [[colour] * width for _ in range(height)]


def fill(pixels, left, top, right, bottom, colour):
    for y in range(top, bottom):
        for x in range(left, right):
            pixels[y][x] = colour


def frame(pixels, left, top, right, bottom, colour):
    for x in range(left, right):
        pixels[top][x] = colour
        pixels[bottom - 1][x] = colour
    for y in range(top, bottom):
        pixels[y][left] = colour
        pixels[y][right - 1] = colour


def computer():
    """32 x 32: a monitor with a blue screen on a desktop case and a keyboard."""
    p = canvas(32, 32, SILVER)
    fill(p, 5, 2, 27, 19, WHITE)
    frame(p, 4, 1, 28, 20, BLACK)
    fill(p, 7, 4, 25, 16, NAVY)
    frame(p, 7, 4, 25, 16, GREY)
    for y in (6, 8, 10, 12):
        fill(p, 9, y, 9 + (y % 5) * 3 + 6, y + 1, CYAN)
    fill(p, 13, 20, 19, 22, GREY)
    fill(p, 3, 22, 29, 26, WHITE)
    frame(p, 2, 22, 30, 26, BLACK)
    fill(p, 20, 23, 26, 24, GREY)
    fill(p, 24, 24, 26, 25, GREEN)
    fill(p, 1, 27, 31, 31, WHITE)
    frame(p, 0, 27, 32, 31, BLACK)
    for x in range(3, 29, 3):
        fill(p, x, 28, x + 2, 30, GREY)
    return p


def quill_icon():
    """32 x 32: a page with lines of text and a maroon quill across it."""
    p = canvas(32, 32, SILVER)
    fill(p, 5, 2, 23, 30, WHITE)
    frame(p, 4, 1, 24, 31, BLACK)
    for y in range(6, 28, 3):
        fill(p, 7, y, 21, y + 1, GREY)
    for i in range(18):
        x, y = 12 + i, 25 - i
        if 0 <= x < 32 and 0 <= y < 32:
            p[y][x] = MAROON
            if x + 1 < 32:
                p[y][x + 1] = MAROON
            if y - 1 >= 0 and i > 6:
                p[y - 1][x] = RED
    p[26][11] = BLACK
    p[27][10] = BLACK
    return p


def from_art(rows):
    width = len(rows[0])
    for row in rows:
        if len(row) != width:
            raise SystemExit("mkresources: ragged picture row: %r" % row)
    return [[LEGEND[c] for c in row] for row in rows]


def dib_rows(pixels):
    """The 4-bit rows, bottom-up, each padded to 4 bytes."""
    out = b""
    width = len(pixels[0])
    stride = ((width * 4 + 31) // 32) * 4
    for row in reversed(pixels):
        data = bytearray()
        for x in range(0, width, 2):
            high = row[x]
            low = row[x + 1] if x + 1 < width else 0
            data.append((high << 4) | low)
        data.extend(b"\0" * (stride - len(data)))
        out += bytes(data)
    return out


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def info_header(width, height, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_size, 0, 0, 16, 16)


def bmp(pixels):
    width, height = len(pixels[0]), len(pixels)
    bits = dib_rows(pixels)
    offset = 14 + 40 + 64
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return header + info_header(width, height, len(bits)) + palette_bytes() + bits


def ico(pixels, transparent):
    width, height = len(pixels[0]), len(pixels)
    xor = dib_rows([[0 if c == transparent else c for c in row] for row in pixels])
    mask = b""
    for row in reversed(pixels):
        bits = 0
        for x, c in enumerate(row):
            if c == transparent:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    image = info_header(width, height * 2, len(xor) + len(mask)) + palette_bytes() + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width, height, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main():
    if len(sys.argv) != 2:
        raise SystemExit("usage: mkresources.py OUTPUT_DIR")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write(os.path.join(out, "bmimagesetup.bmp"), bmp(computer()))
    write(os.path.join(out, "bmimagefing.bmp"), bmp(from_art(HAND)))
    write(os.path.join(out, "setup.ico"), ico(quill_icon(), SILVER))


if __name__ == "__main__":
    main()
