#!/usr/bin/env python3
"""Draws the uninstaller's icon (a printer struck out with a red cross) and writes
app/zevunins.ico: a 32x32 and a 16x16 image, 16 colours each. Standard library only."""

import os
import struct
import sys

# The standard 16-colour VGA palette, in the order Windows numbers it.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_RED, LIGHT_GRAY, DARK_GRAY, RED, GREEN, WHITE = 0, 1, 7, 8, 9, 10, 15
CLEAR = None  # transparent: AND mask bit set, colour index 0


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[CLEAR] * size for _ in range(size)]  # [y][x], top row first

    def put(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = colour

    def fill(self, left, top, right, bottom, colour):
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                self.put(x, y, colour)

    def box(self, left, top, right, bottom, fill, edge=BLACK):
        self.fill(left, top, right, bottom, edge)
        self.fill(left + 1, top + 1, right - 1, bottom - 1, fill)

    def stamp(self, left, top, rows, colours):
        """Lays a small picture given as text rows; '.' leaves what is underneath."""
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch != '.':
                    self.put(left + dx, top + dy, colours[ch])

    def cross(self, left, top, n, half_width):
        """A red X filling the n x n square at (left, top), edged in dark red."""
        for dy in range(n):
            for dx in range(n):
                d = min(abs(dx - dy), abs(dx + dy - (n - 1)))
                if d <= half_width:
                    self.put(left + dx, top + dy, RED)
                elif d <= half_width + 1:
                    self.put(left + dx, top + dy, DARK_RED)


def draw_32():
    c = Canvas(32)
    # Sheet waiting at the back.
    c.box(8, 1, 23, 10, WHITE)
    for y, right in ((3, 20), (5, 21), (7, 18)):
        c.fill(10, y, right, y, DARK_GRAY)
    # Body, lit from the top left.
    c.box(2, 9, 29, 21, LIGHT_GRAY)
    c.fill(3, 10, 28, 10, WHITE)
    c.fill(3, 10, 3, 20, WHITE)
    c.fill(4, 20, 28, 20, DARK_GRAY)
    c.fill(28, 11, 28, 20, DARK_GRAY)
    c.fill(23, 12, 25, 13, GREEN)
    # Output slot and the printed sheet coming out of it.
    c.fill(6, 15, 25, 15, BLACK)
    c.fill(6, 16, 25, 16, DARK_GRAY)
    c.box(8, 16, 23, 27, WHITE)
    for y, right in ((19, 20), (21, 21), (23, 17)):
        c.fill(10, y, right, y, DARK_GRAY)
    # Struck out.
    c.cross(17, 17, 15, 1)
    return c


def draw_16():
    c = Canvas(16)
    c.box(4, 0, 11, 5, WHITE)
    c.fill(5, 2, 9, 2, DARK_GRAY)
    c.box(1, 5, 14, 11, LIGHT_GRAY)
    c.fill(2, 6, 13, 6, WHITE)
    c.fill(2, 10, 13, 10, DARK_GRAY)
    c.put(12, 7, GREEN)
    c.fill(3, 8, 12, 8, BLACK)
    c.box(4, 9, 11, 14, WHITE)
    c.fill(5, 11, 9, 11, DARK_GRAY)
    # At this size a drawn cross blurs; this one is laid down by hand.
    c.stamp(8, 8, ("RR....RR",
                   "RRR..RRR",
                   ".RRRRRR.",
                   "..RRRR..",
                   "..RRRR..",
                   ".RRRRRR.",
                   "RRR..RRR",
                   "RR....RR"), {'R': RED})
    return c


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def icon_image(canvas):
    """BITMAPINFOHEADER, palette, 4-bit colour rows and 1-bit mask rows, bottom row first."""
    n = canvas.size
    xor_stride, and_stride = row_bytes(n * 4), row_bytes(n)
    xor, mask = bytearray(), bytearray()
    for y in reversed(range(n)):
        row = canvas.pixels[y]
        colour_row = bytearray(xor_stride)
        mask_row = bytearray(and_stride)
        for x, colour in enumerate(row):
            if colour is CLEAR:
                mask_row[x // 8] |= 0x80 >> (x % 8)
                colour = 0
            colour_row[x // 2] |= colour << (4 if x % 2 == 0 else 0)
        xor += colour_row
        mask += mask_row
    # An icon's header counts the colour and mask halves together: height is doubled.
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def icon_file(canvases):
    images = [icon_image(c) for c in canvases]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for canvas, image in zip(canvases, images):
        out += struct.pack('<BBBBHHII', canvas.size, canvas.size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return out + b''.join(images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'app', 'zevunins.ico')
    with open(target, 'wb') as f:
        f.write(icon_file([draw_32(), draw_16()]))


if __name__ == '__main__':
    main()
