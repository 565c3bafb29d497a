#!/usr/bin/env python3
"""Draws Trellisan's icon (32x32 and 16x16) and the About box picture (95x27), all 16 colours.

Run from anywhere; writes trellisan.ico and about.bmp next to this script.
"""
import os
import struct

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREEN, DARK_CYAN, SILVER, GREY = 0, 2, 6, 7, 8
GREEN, YELLOW, BLUE, CYAN, WHITE = 10, 11, 12, 14, 15
TRANSPARENT = None


def trellis(size):
    """A lattice of green laths crossing on a transparent ground, with a yellow wave."""
    pixels = [[TRANSPARENT] * size for _ in range(size)]
    step = size // 4
    for y in range(size):
        for x in range(size):
            on_lath = (x + y) % step == 0 or (x - y) % step == 0
            if on_lath:
                pixels[y][x] = DARK_GREEN if (x + y) % 2 else GREEN
    border = size - 1
    for i in range(size):
        for x, y in ((i, 0), (i, border), (0, i), (border, i)):
            pixels[y][x] = DARK_CYAN
    # A sound wave across the middle: a coarse triangle wave.
    mid = size // 2
    amplitude = size // 5
    for x in range(1, size - 1):
        phase = x % (2 * amplitude)
        offset = phase if phase < amplitude else 2 * amplitude - phase
        y = mid - amplitude // 2 + offset
        pixels[y][x] = YELLOW
        pixels[min(y + 1, size - 2)][x] = YELLOW
    return pixels


def packed_rows(pixels, width, background):
    """4-bit rows bottom-up, each padded to four bytes."""
    rows = []
    for row in reversed(pixels):
        values = [background if p is None else p for p in row]
        if len(values) % 2:
            values.append(0)
        data = bytes((values[i] << 4) | values[i + 1] for i in range(0, len(values), 2))
        data += b"\0" * (-len(data) % 4)
        rows.append(data)
    return b"".join(rows)


def mask_rows(pixels, width):
    """1-bit AND mask rows bottom-up (1 = transparent), each padded to four bytes."""
    rows = []
    for row in reversed(pixels):
        bits = 0
        data = bytearray()
        for i, p in enumerate(row):
            bits = (bits << 1) | (1 if p is None else 0)
            if i % 8 == 7:
                data.append(bits)
                bits = 0
        if width % 8:
            data.append(bits << (8 - width % 8))
        data += b"\0" * (-len(data) % 4)
        rows.append(bytes(data))
    return b"".join(rows)


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def info_header(width, height):
    stride = ((width * 4 + 31) // 32) * 4
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, stride * abs(height),
                       0, 0, 16, 0)


def icon_image(size):
    pixels = trellis(size)
    return (info_header(size, 2 * size) + palette_bytes()
            + packed_rows(pixels, size, BLACK) + mask_rows(pixels, size))


def write_icon(path):
    images = [(32, icon_image(32)), (16, icon_image(16))]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, "wb") as out:
        out.write(header + entries + b"".join(data for _, data in images))


def about_picture(width, height):
    """A lattice band with the wave running through it, framed in grey."""
    pixels = [[SILVER] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            if (x + y) % 9 == 0 or (x - y) % 9 == 0:
                pixels[y][x] = DARK_GREEN
    for x in range(width):
        phase = x % 16
        offset = phase if phase < 8 else 16 - phase
        y = 9 + offset
        for dy in (0, 1):
            pixels[y + dy][x] = BLUE
    for x in range(width):
        pixels[0][x] = pixels[height - 1][x] = GREY
    for y in range(height):
        pixels[y][0] = pixels[y][width - 1] = GREY
    return pixels


def write_bitmap(path, width, height):
    data = info_header(width, height) + palette_bytes() + packed_rows(
        about_picture(width, height), width, SILVER)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(data), 0, 0, 14 + 40 + 64)
    with open(path, "wb") as out:
        out.write(file_header + data)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_icon(os.path.join(here, "trellisan.ico"))
    write_bitmap(os.path.join(here, "about.bmp"), 95, 27)
