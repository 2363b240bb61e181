#!/usr/bin/env python3
"""Draws the page's tab icon: a spindle on a label, as a 32x32 and a 16x16 image with a
16-colour palette each, written as one .ico file (the path is the only argument)."""
import struct
import sys

# The standard 16-colour palette, as (blue, green, red, 0).
PALETTE = [(0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128), (128, 128, 0),
           (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255), (255, 0, 0),
           (255, 0, 255), (255, 255, 0), (255, 255, 255)]
TRANSPARENT, OUTLINE, LABEL, THREAD, SPINDLE = None, 0, 15, 12, 6  # palette indices (RGB order)


def pixel(size, x, y):
    """The colour index at (x, y), y from the top, or None where the icon is transparent."""
    s = size / 32.0
    left, right, top, bottom = 3 * s, 29 * s, 7 * s, 25 * s
    if not (left <= x < right and top <= y < bottom):
        return TRANSPARENT
    if x < left + s or x >= right - s or y < top + s or y >= bottom - s:
        return OUTLINE
    cx, cy = 16 * s, 16 * s
    # the spindle: a diamond of thread wound round an axle
    if abs(x - cx) * 0.5 + abs(y - cy) < 6 * s:
        return THREAD if int(y / max(1, s * 2)) % 2 else SPINDLE
    if abs(y - cy) < s and left + 2 * s <= x < right - 2 * s:
        return OUTLINE
    return LABEL


def image(size):
    def bgr(index):
        r, g, b = PALETTE[index]
        return bytes((b, g, r, 0))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bgr(i) for i in range(16))
    rows, mask_rows = [], []
    for y in range(size - 1, -1, -1):  # bottom-up
        nibbles = [pixel(size, x, y) for x in range(size)]
        row = bytearray()
        for x in range(0, size, 2):
            a, b = (nibbles[x] or 0), (nibbles[x + 1] or 0)
            row.append((a << 4) | b)
        while len(row) % 4:
            row.append(0)
        rows.append(bytes(row))
        mask = bytearray()
        for x in range(0, size, 8):
            byte = 0
            for bit in range(8):
                if nibbles[x + bit] is None:
                    byte |= 0x80 >> bit
            mask.append(byte)
        while len(mask) % 4:
            mask.append(0)
        mask_rows.append(bytes(mask))
    return header + palette + b"".join(rows) + b"".join(mask_rows)


images = [image(32), image(16)]
out = struct.pack("<HHH", 0, 1, len(images))
offset = 6 + 16 * len(images)
for size, data in zip((32, 16), images):
    out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
    offset += len(data)
with open(sys.argv[1], "wb") as f:
    f.write(out + b"".join(images))
