#!/usr/bin/env python3
"""Draws the bundled example: a 12-frame busy spinner, 32 x 32 pixels, 24 bits.

Writes frame01.bmp ... frame12.bmp, the build script build.txt (hotspot at
the centre, 5 jiffies per step) and the settings kinetor.ini (magenta is the transparent background) into the given
directory (default: examples/spinner beside this script's folder).

The alpha variant: the same spinner with soft edges and a soft shadow, as
PNG frames with alpha (alpha/frame01.png ...), and alpha.txt, which builds
them at 64, 48 and 32 pixels.

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


def draw_soft_frame(frame, samples=4):
    """The spinner with anti-aliased dots over a soft shadow: RGBA rows, top first.

    Each pixel's coverage is the share of samples x samples points inside a
    dot; colour is not mixed with any background, so alpha alone carries the
    edge."""
    centre = (SIZE - 1) / 2.0
    ring = 10.5
    dots = []
    for dot in range(DOTS):
        angle = 2 * math.pi * dot / DOTS - math.pi / 2
        behind = (frame - dot) % DOTS
        radius = 3.3 if behind == 0 else 2.9 if behind < 4 else 2.5
        dots.append((centre + ring * math.cos(angle), centre + ring * math.sin(angle), radius,
                     dot_colour(behind)))
    rows = []
    for y in range(SIZE):
        row = bytearray()
        for x in range(SIZE):
            cover = 0.0
            shadow = 0.0
            colour = OUTLINE
            for sy in range(samples):
                for sx in range(samples):
                    px = x + (sx + 0.5) / samples - 0.5
                    py = y + (sy + 0.5) / samples - 0.5
                    for cx, cy, radius, c in dots:
                        if math.hypot(px - cx, py - cy) <= radius:
                            cover += 1
                            colour = c
                            break
                        if math.hypot(px - cx - 0.8, py - cy - 1.0) <= radius + 0.6:
                            shadow += 1
                            break
            n = samples * samples
            if cover > 0:
                # Dots cover their own shadow; what they leave shows it.
                a = cover / n + (shadow / n) * 0.35
                row += bytes(colour) + bytes((round(min(a, 1.0) * 255),))
            else:
                row += bytes((0, 0, 0, round(shadow / n * 0.35 * 255)))
        rows.append(bytes(row))
    return rows


def png_bytes(rows):
    """An 8-bit RGBA PNG, unfiltered, of the given rows."""
    import zlib

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", len(rows[0]) // 4, len(rows), 8, 6, 0, 0, 0)
    data = zlib.compress(b"".join(b"\0" + r for r in rows), 9)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", data) +
            chunk(b"IEND", b""))


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
    os.makedirs(os.path.join(out, "alpha"), exist_ok=True)
    soft = []
    for frame in range(FRAMES):
        name = "alpha/frame%02d.png" % (frame + 1)
        write(os.path.join(out, name), png_bytes(draw_soft_frame(frame)))
        soft.append(name)
    script = ["; The example with alpha: soft-edged PNG frames, each written at",
              "; 64, 48 and 32 pixels for high-DPI screens.", "[Result]", "spinner-alpha.anim",
              "[BMP]"] + soft + ["[Hotspot]", "%d,%d" % (SIZE // 2, SIZE // 2), "[Rate]", "5",
                                 "[Sizes]", "64, 48, 32"]
    write(os.path.join(out, "alpha.txt"), ("\r\n".join(script) + "\r\n").encode("ascii"))


if __name__ == "__main__":
    main()
