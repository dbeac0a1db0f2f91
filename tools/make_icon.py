#!/usr/bin/env python3
"""Draws the stub's icon, the banner's leaf and berries on a transparent ground, as an
.ico file of four pictures: 16, 32 and 48 pixels as 16-colour bitmaps, 256 pixels as a
16-colour PNG. Nine colours are used, which keeps the icon small inside the fixed-size stub.

    make_icon.py PATH
"""
import struct
import sys
import zlib

from make_banner import W, leaf

SIDES = (16, 32, 48, 256)
# Index 0 is the transparent ground; then the leaf from its dark to its light edge, the
# midrib and the berries.
PALETTE = [(0, 0, 0)] + [(int(40 * k), int(150 * k), int(60 * k)) for k in (0.5, 0.6, 0.7, 0.8, 0.9, 1.0)] + [
    (20, 90, 30), (90, 20, 70)]
PALETTE += [(0, 0, 0)] * (16 - len(PALETTE))


def nearest(colour):
    return min(range(1, 9), key=lambda i: sum((a - b) ** 2 for a, b in zip(PALETTE[i], colour)))


def picture(side):
    """Rows of palette indices, top row first: a pixel is the leaf's where at least half of
    4 x 4 samples inside it fall on the leaf, their mean colour to the nearest palette entry."""
    n, scale = 4, W / side
    rows = []
    for y in range(side):
        row = []
        for x in range(side):
            hits = [c for c in (leaf((x + (i + 0.5) / n) * scale - 0.5, (y + (j + 0.5) / n) * scale - 0.5)
                                for i in range(n) for j in range(n)) if c]
            if 2 * len(hits) < n * n:
                row.append(0)
            else:
                row.append(nearest(tuple(sum(c[k] for c in hits) / len(hits) for k in range(3))))
        rows.append(row)
    return rows


def four_bit_rows(rows, pad_to):
    """Packs rows of indices two to a byte, each row padded to `pad_to` bytes (0: no padding)."""
    out = []
    for row in rows:
        packed = bytearray((row[i] << 4) | (row[i + 1] if i + 1 < len(row) else 0) for i in range(0, len(row), 2))
        if pad_to:
            packed += b"\0" * (-len(packed) % pad_to)
        out.append(bytes(packed))
    return out


def bitmap(rows):
    """A 16-colour icon bitmap: header (double height), palette, colour rows, then the
    transparency mask, both bottom-up."""
    side = len(rows)
    colour = b"".join(reversed(four_bit_rows(rows, 4)))
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray((side + 7) // 8)
        for x, index in enumerate(row):
            if index == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits + b"\0" * (-len(bits) % 4)
    header = struct.pack("<IiiHHIIiiII", 40, side, 2 * side, 1, 4, 0, len(colour) + len(mask), 0, 0, 0, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    return header + palette + colour + bytes(mask)


def png(rows):
    """A 16-colour PNG with index 0 transparent."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    side = len(rows)
    raw = b"".join(b"\0" + r for r in four_bit_rows(rows, 0))
    used = PALETTE[:9]
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 4, 3, 0, 0, 0)) +
            chunk(b"PLTE", b"".join(bytes(c) for c in used)) + chunk(b"tRNS", b"\0") +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(path):
    images = [(side, png(picture(side)) if side == 256 else bitmap(picture(side))) for side in SIDES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for side, data in images:
        directory += struct.pack("<BBBBHHII", side % 256, side % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(directory + b"".join(data for _, data in images))


if __name__ == "__main__":
    main(sys.argv[1])
