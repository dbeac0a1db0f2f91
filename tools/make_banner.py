#!/usr/bin/env python3
"""Draws the stub's banner, a bramble leaf on a sky gradient, as a 24-bit BMP: 50 x 50
pixels at 96 DPI, or SIDE x SIDE pixels for higher DPIs (the same picture, drawn finer).

    make_banner.py PATH [SIDE]
"""
import math
import struct
import sys

W = H = 50


def leaf(x, y):
    """The leaf's or a berry's colour at (x, y) of the 50-pixel picture, or None where
    the sky shows through."""
    colour = None
    # A leaf: an ellipse tilted by 40 degrees, with a darker midrib.
    cx, cy, a = 25.0, 25.0, math.radians(40)
    u = (x - cx) * math.cos(a) + (y - cy) * math.sin(a)
    v = -(x - cx) * math.sin(a) + (y - cy) * math.cos(a)
    if (u / 21) ** 2 + (v / 11) ** 2 <= 1:
        shade = 0.75 + 0.25 * (v / 11)
        colour = int(40 * shade), int(150 * shade), int(60 * shade)
        if abs(v) < 1.0:
            colour = 20, 90, 30
    # Three berries in the lower left corner.
    for bx, by in ((9, 40), (14, 44), (7, 46)):
        if (x - bx) ** 2 + (y - by) ** 2 <= 9:
            colour = 90, 20, 70
    return colour


def pixel(x, y):
    """The colour at (x, y) of the 50-pixel picture; x and y may fall between pixels."""
    # Sky from light blue (top) to white (bottom).
    t = min(max(y / (H - 1), 0.0), 1.0)
    return leaf(x, y) or (int(200 + 55 * t), int(225 + 30 * t), 255)


def drawn(x, y, side):
    """Pixel (x, y) of the picture drawn at `side` pixels: the 50-pixel picture itself,
    or, finer, the mean of 3 x 3 samples of it inside the pixel."""
    if side == W:
        return pixel(x, y)
    scale, n = W / side, 3
    samples = [pixel((x + (i + 0.5) / n) * scale - 0.5, (y + (j + 0.5) / n) * scale - 0.5)
               for i in range(n) for j in range(n)]
    return tuple(round(sum(c[k] for c in samples) / len(samples)) for k in range(3))


def main(path, side=W):
    row = (side * 3 + 3) & ~3
    data = bytearray()
    for y in range(side - 1, -1, -1):  # bottom-up rows
        line = bytearray()
        for x in range(side):
            r, g, b = drawn(x, y, side)
            line += bytes((b, g, r))
        data += line + b"\0" * (row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, side, side, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else W)
