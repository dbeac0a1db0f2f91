#!/usr/bin/env python3
"""Points a PE image's load-configuration directory at its `.lcfg` section, which holds
the load-configuration record (GNU ld does not fill that directory entry itself).
  set_load_config.py IMAGE"""
import struct
import sys

LOAD_CONFIG_ENTRY = 10


def main():
    path = sys.argv[1]
    with open(path, "rb") as f:
        image = bytearray(f.read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        sys.exit("%s: not a PE image" % path)
    sections, optional_size = struct.unpack_from("<H", image, pe + 6)[0], struct.unpack_from("<H", image, pe + 20)[0]
    optional = pe + 24
    directories = optional + (96 if struct.unpack_from("<H", image, optional)[0] == 0x10B else 112)
    table = optional + optional_size
    for i in range(sections):
        name, _, address, raw_size, raw_offset = struct.unpack_from("<8sIIII", image, table + 40 * i)
        if name.rstrip(b"\0") == b".lcfg":
            record_size = struct.unpack_from("<I", image, raw_offset)[0]
            if record_size > raw_size:
                sys.exit("%s: the .lcfg section is smaller than its record" % path)
            struct.pack_into("<II", image, directories + 8 * LOAD_CONFIG_ENTRY, address, record_size)
            with open(path, "wb") as f:
                f.write(image)
            return
    sys.exit("%s: no .lcfg section" % path)


if __name__ == "__main__":
    main()
