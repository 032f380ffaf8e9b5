#!/usr/bin/env python3
"""Packs a file for the bootstrapper's resources: "KZ01", the file's size
(32 bits, little-endian), then the file as a zlib stream (level 9 unless told;
level 0 stores it in uncompressed blocks). Staging inflates it back byte for byte
(src/staging/packed_resource.h). The same input and level give the same bytes.

Usage: pack_resource.py [--level N] IN OUT
"""
import os
import struct
import sys
import zlib

MAGIC = b"KZ01"


def pack(data, level=9):
    if len(data) > 0xFFFFFFFF:
        raise ValueError("a packed file must fit a 32-bit size")
    return MAGIC + struct.pack("<I", len(data)) + zlib.compress(data, level)


def unpack(stored):
    """The content of a packed resource; ValueError when it is not one or is damaged."""
    if stored[:4] != MAGIC or len(stored) < 8:
        raise ValueError("no packed resource")
    (size,) = struct.unpack_from("<I", stored, 4)
    try:
        content = zlib.decompress(stored[8:])
    except zlib.error as error:
        raise ValueError(f"damaged stream: {error}") from error
    if len(content) != size:
        raise ValueError(f"inflates to {len(content)} bytes, records {size}")
    return content


def main(argv):
    level = 9
    if len(argv) == 5 and argv[1] == "--level" and argv[2].isdigit() and int(argv[2]) <= 9:
        level = int(argv[2])
        argv = argv[:1] + argv[3:]
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], "rb") as source:
        packed = pack(source.read(), level)
    # Written whole or not at all, so that make never sees half a file as done.
    temporary = argv[2] + ".tmp"
    with open(temporary, "wb") as target:
        target.write(packed)
    os.replace(temporary, argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
