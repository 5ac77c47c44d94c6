#!/usr/bin/env python3
"""Draws the bundled example: a 12-frame busy spinner, 32 x 32 pixels, 24 bits.

Writes frame01.bmp ... frame12.bmp, the build script build.txt (hotspot at
the centre, 5 jiffies per step) and the settings kinetor.ini (magenta is the transparent background) into the given
directory (default: examples/spinner beside this script's folder).

The dots are drawn with hard edges: a soft edge would blend them into the
magenta background and leave a pink fringe around every dot once magenta is
see-through.
"""
import math
import os
import struct
import sys

SIZE = 32
FRAMES = 12
DOTS = 12
BACKGROUND = (255, 0, 255)  # magenta, listed as transparent in kinetor.ini
OUTLINE = (24, 28, 36)
HEAD = (64, 170, 255)  # the leading dot
TAIL = (92, 100, 112)  # dots far behind the head


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def dot_colour(behind):
    """Colour of a dot `behind` steps after the head: bright, fading to grey."""
    t = min(behind / 7.0, 1.0)
    return mix(HEAD, TAIL, t * t * (3 - 2 * t))


def draw_frame(frame):
    pixels = [[BACKGROUND] * SIZE for _ in range(SIZE)]
    centre = (SIZE - 1) / 2.0
    ring = 10.5
    for dot in range(DOTS):
        angle = 2 * math.pi * dot / DOTS - math.pi / 2  # dot 0 at the top
        cx = centre + ring * math.cos(angle)
        cy = centre + ring * math.sin(angle)
        behind = (frame - dot) % DOTS
        radius = 3.1 if behind == 0 else 2.7 if behind < 4 else 2.3
        colour = dot_colour(behind)
        light = mix(colour, (255, 255, 255), 0.45)
        for y in range(SIZE):
            for x in range(SIZE):
                d = math.hypot(x - cx, y - cy)
                if d <= radius - 0.9:
                    # A light spot up and to the left gives the dot some depth.
                    spot = math.hypot(x - (cx - 0.8), y - (cy - 0.8)) < radius * 0.45
                    pixels[y][x] = light if spot else colour
                elif d <= radius + 0.1:
                    pixels[y][x] = OUTLINE
    return pixels


def bmp_bytes(pixels):
    height = len(pixels)
    width = len(pixels[0])
    row_bytes = (width * 3 + 3) // 4 * 4
    data = bytearray()
    for y in range(height - 1, -1, -1):  # rows bottom-up
        row = bytearray()
        for r, g, b in pixels[y]:
            row += bytes((b, g, r))
        row += bytes(row_bytes - len(row))
        data += row
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    offset = 14 + len(header)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + header + bytes(data)


def write(path, content):
    with open(path, "wb") as f:
        f.write(content)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "examples", "spinner")
    os.makedirs(out, exist_ok=True)
    names = []
    for frame in range(FRAMES):
        name = "frame%02d.bmp" % (frame + 1)
        write(os.path.join(out, name), bmp_bytes(draw_frame(frame)))
        names.append(name)
    # The hotspot is at the spinner's centre, which lies between pixels 15
    # and 16; a turn takes one second (12 steps of 5 jiffies).
    script = ["; The bundled example: scripts/run builds it from this folder.", "[Result]",
              "spinner.anim", "[BMP]"] + names + [
                  "[Hotspot]", "%d,%d" % (SIZE // 2, SIZE // 2), "[Rate]", "5"]
    write(os.path.join(out, "build.txt"), ("\r\n".join(script) + "\r\n").encode("ascii"))
    # COLORREF FF00FF is magenta.
    write(os.path.join(out, "kinetor.ini"), b"[Trans]\r\n[TransColors]\r\nFF00FF\r\n")


if __name__ == "__main__":
    main()
