#!/usr/bin/env python3
"""Draws the program icon: a blue dictionary with pages, a ribbon and a "K".

Writes kebumini-32.png, kebumini-16.png (4-bit palette PNGs, 16 colours, the
fuchsia entry transparent) and kebumini.ico (both sizes as 16-colour bitmaps
with an AND mask) beside this script. Standard library only; run it again
after changing the drawing and commit the images.
"""
import os
import struct
import zlib

# The 16 colours of the classic 4-bit palette.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, NAVY, SILVER, GRAY = 0, 1, 4, 7, 8
RED, YELLOW, BLUE, CLEAR, WHITE = 9, 11, 12, 13, 15


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[CLEAR] * size for _ in range(size)]

    def set(self, x, y, c):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = c

    def fill(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def line(self, x0, y0, x1, y1, c, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0))
        for i in range(steps + 1):
            x = x0 + round((x1 - x0) * i / steps)
            y = y0 + round((y1 - y0) * i / steps)
            for d in range(width):
                self.set(x + d, y, c)


def draw32():
    c = Canvas(32)
    # Page block behind the cover, showing on the right and at the bottom.
    c.fill(7, 5, 28, 29, WHITE)
    for y in range(7, 28, 2):
        c.line(26, y, 27, y, SILVER)
    for x in range(9, 26, 3):
        c.set(x, 28, SILVER)
    c.frame(7, 5, 28, 29, BLACK)
    # Cover with its spine.
    c.fill(3, 2, 24, 26, BLUE)
    c.fill(3, 2, 7, 26, NAVY)
    c.line(8, 3, 8, 25, GRAY)
    c.frame(3, 2, 24, 26, BLACK)
    c.line(4, 5, 6, 5, YELLOW)
    c.line(4, 23, 6, 23, YELLOW)
    # The letter K.
    c.line(12, 7, 12, 19, YELLOW, 2)
    c.line(20, 7, 14, 13, YELLOW, 2)
    c.line(15, 13, 20, 19, YELLOW, 2)
    # A line of title under it.
    c.line(12, 22, 21, 22, SILVER)
    # Ribbon hanging out at the bottom.
    c.fill(18, 26, 20, 30, RED)
    c.set(19, 30, CLEAR)
    c.line(18, 26, 18, 29, MAROON)
    return c


def draw16():
    c = Canvas(16)
    c.fill(3, 3, 14, 15, WHITE)
    c.line(13, 5, 13, 12, SILVER)
    c.frame(3, 3, 14, 15, BLACK)
    c.fill(1, 1, 12, 13, BLUE)
    c.fill(1, 1, 3, 13, NAVY)
    c.frame(1, 1, 12, 13, BLACK)
    c.line(6, 4, 6, 10, YELLOW)
    c.line(10, 4, 7, 7, YELLOW)
    c.line(7, 7, 10, 10, YELLOW)
    c.fill(9, 13, 10, 15, RED)
    return c


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(canvas, path):
    n = canvas.size
    raw = bytearray()
    for row in canvas.px:
        raw.append(0)  # filter: none
        for x in range(0, n, 2):
            raw.append((row[x] << 4) | row[x + 1])
    data = b"\x89PNG\r\n\x1a\n"
    data += png_chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 4, 3, 0, 0, 0))
    data += png_chunk(b"PLTE", bytes(v for rgb in PALETTE for v in rgb))
    data += png_chunk(b"tRNS", bytes(0 if i == CLEAR else 255 for i in range(16)))
    data += png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += png_chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def bmp_entry(canvas):
    n = canvas.size
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = bytes(v for (r, g, b) in PALETTE for v in (b, g, r, 0))
    xor = bytearray()
    mask = bytearray()
    xor_stride = ((n * 4 + 31) // 32) * 4
    mask_stride = ((n + 31) // 32) * 4
    for row in reversed(canvas.px):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(mask_stride)
        for x, c in enumerate(row):
            value = BLACK if c == CLEAR else c
            line[x // 2] |= value << (4 if x % 2 == 0 else 0)
            if c == CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def write_ico(canvases, path):
    images = [bmp_entry(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.size, c.size, 16, 0, 1, 4, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    with open(path, "wb") as f:
        f.write(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    big, small = draw32(), draw16()
    write_png(big, os.path.join(here, "kebumini-32.png"))
    write_png(small, os.path.join(here, "kebumini-16.png"))
    write_ico([big, small], os.path.join(here, "kebumini.ico"))


if __name__ == "__main__":
    main()
