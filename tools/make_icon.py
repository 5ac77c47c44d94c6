#!/usr/bin/env python3
"""Writes the program icon (16 x 16 and 32 x 32, 32-bit with alpha) to the
path given as the only argument. The picture is drawn here, in code: a ring of
dots of rising brightness, the look of a busy cursor."""
import math
import struct
import sys


def draw(size):
    """Returns rows top-down of (b, g, r, a) tuples."""
    c = (size - 1) / 2.0
    ring = size * 0.34
    dot = max(1.2, size * 0.11)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            px = (0, 0, 0, 0)
            for k in range(8):
                ang = 2 * math.pi * k / 8
                dx = x - (c + ring * math.cos(ang))
                dy = y - (c + ring * math.sin(ang))
                d = math.hypot(dx, dy)
                if d <= dot + 0.5:
                    cover = min(1.0, dot + 0.5 - d)
                    shade = 60 + int(195 * k / 7)
                    px = (shade, int(shade * 0.55), 20, int(255 * cover))
                    break
            row.append(px)
        rows.append(row)
    return rows


def image(size):
    rows = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes(p) for row in reversed(rows) for p in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def main():
    images = [image(16), image(32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
