#!/usr/bin/python3
"""Writes src/app/resources/quorvin.ico, the program's icon: a folder with a globe before it.

The icon holds ten images, in this order: 16, 32 and 48 pixels at 4 bits per pixel, the same at
8 bits per pixel (both palettised, with a transparency mask), and 16, 32, 48, 128 and 256 pixels
at 32 bits per pixel (the 256-pixel image stored as PNG). The shapes are drawn here with signed
distance functions, so every size is rendered from the same geometry; icotool (Debian's
icoutils) assembles the images into the .ico file.

Usage:
  tools/gen_icons.py [--output src/app/resources/quorvin.ico]

Needs python3 and icotool only. The generated file is committed; building the program never runs
this script.
"""

import argparse
import math
import struct
import subprocess
import tempfile
import zlib
from pathlib import Path

# Flat colours of the drawing; the 4-bit images use exactly these.
FOLDER_BACK = (0xC8, 0x86, 0x12)
FOLDER_FRONT = (0xF6, 0xC4, 0x45)
GLOBE = (0x2F, 0x74, 0xD0)
GLOBE_RIM = (0x17, 0x47, 0x8C)
LINES = (0xFF, 0xFF, 0xFF)

GLOBE_CENTRE = (0.695, 0.675)
GLOBE_RADIUS = 0.285


def rounded_box(x, y, left, top, right, bottom, radius):
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius
    qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def circle(x, y, cx, cy, r):
    return math.hypot(x - cx, y - cy) - r


def ellipse_outline(x, y, cx, cy, rx, ry):
    dx, dy = (x - cx) / rx, (y - cy) / ry
    g = math.hypot(dx, dy)
    if g == 0:
        return min(rx, ry)
    grad = math.hypot(dx / rx, dy / ry) / g
    return abs(g - 1) / grad


def layers(x, y, line, size):
    """(colour, signed distance) of each layer, back to front, at one point."""
    gx, gy = GLOBE_CENTRE
    globe = circle(x, y, gx, gy, GLOBE_RADIUS)
    inside = globe + line * 0.5  # lines stop at the rim
    meridian = ellipse_outline(x, y, gx, gy, GLOBE_RADIUS * 0.42, GLOBE_RADIUS)
    equator = abs(y - gy)
    axis = abs(x - gx)
    latitude = min(abs(y - (gy - GLOBE_RADIUS * 0.5)), abs(y - (gy + GLOBE_RADIUS * 0.5)))
    # The smallest images keep only the meridian and the equator, which stay legible.
    grid = min(meridian, equator) if size <= 16 else min(meridian, equator, axis, latitude)
    grid -= line / 2
    return [
        (FOLDER_BACK, min(rounded_box(x, y, 0.05, 0.12, 0.40, 0.30, 0.05),
                          rounded_box(x, y, 0.05, 0.18, 0.86, 0.80, 0.06))),
        (FOLDER_FRONT, rounded_box(x, y, 0.05, 0.29, 0.86, 0.80, 0.06)),
        (GLOBE_RIM, globe),
        (GLOBE, globe + line * 1.1),
        (LINES, max(grid, inside)),
    ]


def render(size, hard):
    """RGBA rows; `hard` gives whole pixels of flat colours (for the palettised images)."""
    line = max(0.028, 1.15 / size)
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            x, y = (px + 0.5) / size, (py + 0.5) / size
            r = g = b = a = 0.0
            for colour, distance in layers(x, y, line, size):
                cover = min(max(0.5 - distance * size, 0.0), 1.0)
                if hard:
                    cover = 1.0 if cover >= 0.5 else 0.0
                # Premultiplied "over".
                r = colour[0] * cover + r * (1 - cover)
                g = colour[1] * cover + g * (1 - cover)
                b = colour[2] * cover + b * (1 - cover)
                a = cover + a * (1 - cover)
            if a > 0:
                row.append((round(r / a), round(g / a), round(b / a), round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def palettised(rows, limit):
    """Whole transparency and at most `limit` colours (coarser steps until they fit)."""
    step = 1
    while True:
        out = []
        colours = set()
        for row in rows:
            new = []
            for r, g, b, a in row:
                if a < 128:
                    new.append((0, 0, 0, 0))
                    continue
                q = tuple(min(255, round(c / step) * step) for c in (r, g, b))
                colours.add(q)
                new.append(q + (255,))
            out.append(new)
        if len(colours) < limit:
            return out
        step += 1


def write_png(path, rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    Path(path).write_bytes(png)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", default="src/app/resources/quorvin.ico")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        command = ["icotool", "--create", "--output", str(Path(args.output).resolve())]
        for depth, limit in ((4, 16), (8, 256)):
            command.append(f"--bit-depth={depth}")
            for size in (16, 32, 48):
                path = f"{work}/{size}-{depth}.png"
                write_png(path, palettised(render(size, hard=depth == 4), limit))
                command.append(path)
        command.append("--bit-depth=32")
        for size in (16, 32, 48, 128):
            path = f"{work}/{size}-32.png"
            write_png(path, render(size, hard=False))
            command.append(path)
        path = f"{work}/256-32.png"
        write_png(path, render(256, hard=False))
        command.append(f"--raw={path}")
        subprocess.run(command, check=True)


if __name__ == "__main__":
    main()
