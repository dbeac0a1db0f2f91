#!/usr/bin/env python3
"""Writes small hand-made 7z archives whose header checksums are right but whose
numbers no writer makes: huge counts, many salts, long coder chains, large blocks,
odd coder graphs, nested packed headers, streams that go on past their size.

  make_hostile.py FOLDER

Each archive is FOLDER/NAME.7z; FOLDER/cases.txt lists one case a line:
  NAME PASSWORD EXPECTED MAX_RESIDENT_MB MAX_VIRTUAL_MB MAX_CPU_S
EXPECTED is "ok" (everything extracts), "refused" (the archive does not open),
"errors:N" (it opens and N items fail) or "same" (the case is differential: it ends as the
7z command's test of it). PASSWORD is "-" for none.
"""
import lzma
import os
import struct
import subprocess
import sys
import zlib

SIGNATURE = b"7z\xbc\xaf\x27\x1c\x00\x04"
LZMA_ID, LZMA2_ID, COPY_ID, AES_ID = b"\x03\x01\x01", b"\x21", b"\x00", b"\x06\xf1\x07\x01"
MIB = 1 << 20


def num(value):
    """A 7z number: the count of high one bits in the first byte says how many bytes follow."""
    for extra in range(8):
        if value < 1 << (7 * (extra + 1)):
            first = ((0xFF << (8 - extra)) & 0xFF) | (value >> (8 * extra))
            return bytes([first]) + value.to_bytes(8, "little")[:extra]
    return b"\xff" + value.to_bytes(8, "little")


def archive(packed, header):
    """Packed streams, then the header, behind a start header with right checksums."""
    tail = struct.pack("<QQI", len(packed), len(header), zlib.crc32(header))
    return SIGNATURE + struct.pack("<I", zlib.crc32(tail)) + tail + packed + header


def lzma_stream(data, dictionary=1 << 16):
    """A raw LZMA stream (with its end mark) and the coder's five property bytes."""
    stream = lzma.compress(data, format=lzma.FORMAT_RAW,
                           filters=[{"id": lzma.FILTER_LZMA1, "dict_size": dictionary}])
    return stream, bytes([0x5D]) + struct.pack("<I", dictionary)


def coder(method, props=b""):
    return bytes([len(method) | (0x20 if props else 0)]) + method + (num(len(props)) + props if props else b"")


def folder(coders, bind_pairs=()):
    out = num(len(coders)) + b"".join(coders)
    for in_index, out_index in bind_pairs:
        out += num(in_index) + num(out_index)
    return out


def streams_info(pack_sizes, folders, unpack_sizes, crcs=None, pack_pos=0):
    """Pack info, unpack info (folders, their coders' sizes, the folders' checksums)."""
    out = b"\x06" + num(pack_pos) + num(len(pack_sizes)) + b"\x09" + b"".join(num(s) for s in pack_sizes) + b"\x00"
    out += b"\x07\x0b" + num(len(folders)) + b"\x00" + b"".join(folders)
    out += b"\x0c" + b"".join(num(s) for s in unpack_sizes)
    if crcs is not None:
        out += b"\x0a\x01" + b"".join(struct.pack("<I", c) for c in crcs)
    return out + b"\x00"


def names(count):
    text = b"".join(("f%d" % i).encode("utf-16-le") + b"\x00\x00" for i in range(count))
    return b"\x11" + num(len(text) + 1) + b"\x00" + text


def plain_header(streams, file_count):
    """A header of one stream per folder and `file_count` named files."""
    return b"\x01\x04" + streams + b"\x00\x05" + num(file_count) + names(file_count) + b"\x00\x00"


def packed_header(plain, packed_before, pad_to=0):
    """The header LZMA-packed behind `packed_before` bytes: (the packed bytes, its description)."""
    stream, props = lzma_stream(plain)
    stream += b"\x00" * max(0, pad_to - len(stream))
    description = b"\x17" + streams_info([len(stream)], [folder([coder(LZMA_ID, props)])], [len(plain)],
                                         [zlib.crc32(plain)], pack_pos=packed_before) + b"\x00"
    return stream, description


def with_packed_header(plain, pad_to=0):
    stream, description = packed_header(plain, 0, pad_to)
    return archive(stream, description)


def aes_props(power, salt, iv):
    first = power | (0x80 if salt else 0) | (0x40 if iv else 0)
    sizes = ((len(salt) - 1 if salt else 0) << 4) | (len(iv) - 1 if iv else 0)
    return bytes([first, sizes]) + salt + iv


def aes_encrypt(data, key, iv):
    return subprocess.run(["openssl", "enc", "-aes-256-cbc", "-nopad", "-K", key.hex(), "-iv", iv.hex()],
                          input=data, stdout=subprocess.PIPE, check=True).stdout


def encrypted_folders(sizes, salts, power=24):
    """One AES folder per size, its salt taken in turn from `salts`; the data is noise."""
    folders, packed = [], b""
    for i, size in enumerate(sizes):
        salt, iv = salts[i % len(salts)], bytes([i % 256]) * 16
        folders.append(folder([coder(AES_ID, aes_props(power, salt, iv))]))
        packed += os.urandom(size)
    return archive(packed, plain_header(streams_info(sizes, folders, sizes), len(sizes)))


def lzma2_blocks(block_size, blocks, dictionary_prop=0):
    """An LZMA2 stream of independent blocks (each resets the dictionary), as a writer on
    several threads makes it; 4 KiB dictionary by default."""
    stream = b""
    for i in range(blocks):
        part = lzma.compress(bytes([i]) * block_size, format=lzma.FORMAT_RAW,
                             filters=[{"id": lzma.FILTER_LZMA2, "dict_size": 4096}])
        stream += part[:-1]  # without the end byte
    return stream + b"\x00", bytes([dictionary_prop])


def cases():
    # Counts: the header claims millions of records; before reading them, the old reader
    # sized its arrays by the claim.
    folders = 16_700_000
    yield "many-folders", "-", "refused", 128, 256, 30, with_packed_header(
        b"\x01\x04\x07\x0b" + num(folders) + b"\x00" + bytes(folders + 16), pad_to=24 * 1024)
    yield "many-files", "-", "refused", 128, 256, 30, with_packed_header(
        b"\x01\x05" + num(4_190_000) + bytes(MIB), pad_to=1100)
    yield "many-pack-streams", "-", "refused", 128, 256, 30, with_packed_header(
        b"\x01\x04\x06\x00" + num(folders) + b"\x09" + bytes(folders + 8), pad_to=24 * 1024)
    # Keys: empty folders need no key; 64 salts cost the archive's 8 derivations of 2^24
    # rounds, and the other 56 items fail.
    salts = [bytes([1]) * 16, bytes([2]) * 16]
    yield "aes-empty-folders", "pw", "ok", 64, 256, 8, encrypted_folders([0] * 64, salts)
    yield "aes-many-salts", "pw", "errors:56", 64, 256, 12, encrypted_folders(
        [16] * 64, [bytes([i]) * 16 for i in range(64)])
    # A direct key (power 0x3F): salt and password bytes are the key.
    data, salt, iv = b"direct key, salt and password!!\n", b"salt", bytes(range(16))
    key = (salt + "pw".encode("utf-16-le")).ljust(32, b"\x00")
    packed = aes_encrypt(data, key, iv)
    yield "aes-direct-key", "pw", "same", 64, 256, 8, archive(packed, plain_header(streams_info(
        [len(packed)], [folder([coder(AES_ID, aes_props(0x3F, salt, iv))])], [len(data)], [zlib.crc32(data)]), 1))
    # Coders: 32 LZMA coders of 1 GiB dictionaries each in one folder.
    big = bytes([0x5D]) + struct.pack("<I", 1 << 30)
    chain = folder([coder(LZMA_ID, big)] * 32, [(i, i + 1) for i in range(31)])
    yield "dictionary-chain", "-", "errors:1", 64, 2048, 8, archive(
        b"\x00" * 64, plain_header(streams_info([64], [chain], [1 << 30] * 32), 1))
    # Threaded LZMA2: a 4 KiB dictionary with blocks of 63 MiB each.
    stream, props = lzma2_blocks(63 * MIB, 3)
    yield "lzma2-large-blocks", "-", "ok", 176, 512, 60, archive(stream, plain_header(streams_info(
        [len(stream)], [folder([coder(LZMA2_ID, props)])], [3 * 63 * MIB]), 1))
    # Strictness, against the 7z command: coders in a cycle that nothing reads...
    cycle = folder([coder(COPY_ID)] * 3, [(1, 2), (2, 1)])
    yield "coder-cycle", "-", "same", 64, 256, 8, archive(b"abc", plain_header(streams_info(
        [3], [cycle], [3, 3, 3], [zlib.crc32(b"abc")]), 1))
    # ...a packed header inside a packed header...
    plain = plain_header(streams_info([3], [folder([coder(COPY_ID)])], [3], [zlib.crc32(b"abc")]), 1)
    inner, inner_description = packed_header(plain, 3)
    outer, outer_description = packed_header(inner_description, 3 + len(inner))
    yield "nested-header", "-", "same", 64, 256, 8, archive(b"abc" + inner + outer, outer_description)
    # ...and an LZMA stream that goes on past its size, next to one that ends there.
    text = b"an LZMA stream that goes on after the size its folder gives\n" * 40
    stream, props = lzma_stream(text)
    for name, size in (("lzma-past-its-size", len(text) // 2), ("lzma-at-its-size", len(text))):
        yield name, "-", "same", 64, 256, 8, archive(stream, plain_header(streams_info(
            [len(stream)], [folder([coder(LZMA_ID, props)])], [size], [zlib.crc32(text[:size])]), 1))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "cases.txt"), "w") as listing:
        for name, password, expected, rss, virtual, cpu, data in cases():
            with open(os.path.join(out, name + ".7z"), "wb") as f:
                f.write(data)
            listing.write("%s %s %s %d %d %d\n" % (name, password, expected, rss, virtual, cpu))


if __name__ == "__main__":
    main()
