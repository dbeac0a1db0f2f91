#!/usr/bin/env python3
"""Renames items inside a 7z archive whose header is stored uncompressed (-mhc=off).

Each rename OLD=NEW replaces the UTF-16 name OLD by NEW of the same length, then the
two header checksums are computed again, so the library reads the archive as valid.
"""
import struct
import sys
import zlib


def main(path, renames):
    data = bytearray(open(path, "rb").read())
    offset, size = struct.unpack_from("<QQ", data, 12)
    start, end = 32 + offset, 32 + offset + size
    for rename in renames:
        old, new = rename.split("=", 1)
        old_b, new_b = old.encode("utf-16-le"), new.encode("utf-16-le")
        if len(old_b) != len(new_b):
            sys.exit(f"{old} and {new} differ in length")
        at = data.find(old_b, start, end)
        if at < 0:
            sys.exit(f"{old} not found in the header")
        data[at:at + len(new_b)] = new_b
    struct.pack_into("<I", data, 28, zlib.crc32(data[start:end]) & 0xFFFFFFFF)
    struct.pack_into("<I", data, 8, zlib.crc32(data[12:32]) & 0xFFFFFFFF)
    open(path, "wb").write(data)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
