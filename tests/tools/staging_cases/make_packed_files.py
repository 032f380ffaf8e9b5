#!/usr/bin/env python3
"""Writes the packed resource files that the staging cases' resource scripts name,
into OUT_DIR: whole ones (gaps.rc) and damaged ones (damaged.rc).

Usage: make_packed_files.py OUT_DIR
"""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[3] / "resources"))
import pack_resource  # noqa: E402

CULTURES = ["ru", "pl", "de", "pt-BR", "zh", "fr", "ja", "ko", "es", "es-MX", "it"]
FRONT_END = b"front end " * 100


def packed_files():
    files = {f"{culture}.kz": pack_resource.pack(f"{culture} translation".encode()) for culture in CULTURES}
    files["image.kz"] = pack_resource.pack(b"PNG image")
    # Inflates to nothing: the mapping of an empty file fails, as for any empty block.
    files["empty.kz"] = pack_resource.pack(b"")
    whole = pack_resource.pack(FRONT_END)
    # The header records one byte more than the stream holds.
    size = int.from_bytes(whole[4:8], "little")
    files["front_end_longer.kz"] = whole[:4] + (size + 1).to_bytes(4, "little") + whole[8:]
    files["front_end_shorter.kz"] = whole[:4] + (size - 1).to_bytes(4, "little") + whole[8:]
    # The stream ends early: the download was cut off.
    files["fr_cut.kz"] = files["fr.kz"][:-5]
    # A flipped byte inside the stream: its check sum no longer matches.
    flipped = bytearray(whole)
    flipped[-6] ^= 0x01
    files["front_end_flipped.kz"] = bytes(flipped)
    # No packed resource at all, and one whose size deflate could never reach.
    files["unpacked.kz"] = b"PNG image"
    files["huge.kz"] = whole[:4] + (0xFFFFFFF0).to_bytes(4, "little") + whole[8:]
    return files


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    out = pathlib.Path(argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for name, data in packed_files().items():
        path = out / name
        # Rewritten only when it changes, so that a new configure rebuilds nothing.
        if not path.exists() or path.read_bytes() != data:
            path.write_bytes(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
