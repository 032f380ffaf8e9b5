#!/usr/bin/env python3
"""Draws the installer's artwork: icon.png (128 x 128 RGBA, shown by the front end)
and application.ico (the application icon, 17 images).

Run it from anywhere; it rewrites both files beside itself. Python standard library
only. The icon's images keep a fixed order and fixed sizes: the staged icon.ico
copies them in group order, and its first image must start at offset 278
(6 + 17 x 16). All images are 32 bits per pixel, one plane, each a PNG stream:
Windows Vista and later read PNG icon images of any size, and as bitmaps with their
AND masks the 17 images took 452 KiB of a download that now carries 32 KiB of them.
"""
import math
import pathlib
import struct
import zlib

HERE = pathlib.Path(__file__).resolve().parent

# Width (= height) of each icon image, in the order the icon group lists them.
ICON_SIZES = (112, 128, 144, 16, 160, 20, 24, 256, 28, 32, 40, 48, 56, 64, 72, 80, 96)
IMAGE_SIZE = 128

TOP = (0x2B, 0xC4, 0xD6)
BOTTOM = (0x35, 0x4C, 0xB8)
MARK = (0xFF, 0xFF, 0xFF)
ACCENT = (0xFF, 0xC1, 0x3A)


def rounded_box(x, y, half, radius):
    """Signed distance to a square of half-width `half` with rounded corners."""
    qx = abs(x) - half + radius
    qy = abs(y) - half + radius
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def capsule(x, y, ax, ay, bx, by, radius):
    """Signed distance to a stroke from a to b with round ends."""
    px, py = x - ax, y - ay
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, (px * dx + py * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - dx * t, py - dy * t) - radius


def coverage(distance, pixel):
    return max(0.0, min(1.0, 0.5 - distance / pixel))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def shade(u, v, pixel):
    """Straight-alpha RGBA of the point (u, v) of the unit square, y downwards."""
    x, y = u - 0.5, v - 0.5
    tile = coverage(rounded_box(x, y, 0.45, 0.13), pixel)
    if tile == 0.0:
        return (0, 0, 0, 0)
    colour = mix(TOP, BOTTOM, max(0.0, min(1.0, v)))
    # A stylised K: the stem and two arms, a little thicker on small images.
    stroke = max(0.055, 1.1 * pixel)
    mark = min(
        capsule(u, v, 0.35, 0.25, 0.35, 0.75, stroke),
        capsule(u, v, 0.38, 0.53, 0.66, 0.25, stroke),
        capsule(u, v, 0.47, 0.45, 0.67, 0.75, stroke),
    )
    colour = mix(colour, MARK, coverage(mark, pixel))
    if pixel <= 1.0 / 24:
        # The accent dot would only blur the K on the smallest images.
        dot = math.hypot(u - 0.70, v - 0.50) - 0.06
        colour = mix(colour, ACCENT, coverage(dot, pixel))
    return tuple(int(round(c)) for c in colour) + (int(round(255 * tile)),)


def render(size):
    """Rows of RGBA tuples, top row first."""
    pixel = 1.0 / size
    return [[shade((x + 0.5) * pixel, (y + 0.5) * pixel, pixel) for x in range(size)] for y in range(size)]


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def encode_png(rows):
    height, width = len(rows), len(rows[0])
    raw = bytearray()
    previous = bytes(width * 4)
    for row in rows:
        line = bytes(channel for pixel in row for channel in pixel)
        # Filter "up": the tile is a vertical gradient, so rows differ little.
        raw.append(2)
        raw.extend((line[i] - previous[i]) & 0xFF for i in range(len(line)))
        previous = line
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def encode_ico(images):
    """images: (size, bytes) in directory order; data follows the directory in that order."""
    directory = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        edge = 0 if size == 256 else size
        directory.extend(struct.pack("<BBBBHHII", edge, edge, 0, 0, 1, 32, len(data), offset))
        offset += len(data)
    return bytes(directory) + b"".join(data for _, data in images)


def main():
    images = []
    for size in ICON_SIZES:
        rows = render(size)
        images.append((size, encode_png(rows)))
    (HERE / "application.ico").write_bytes(encode_ico(images))
    (HERE / "icon.png").write_bytes(encode_png(render(IMAGE_SIZE)))


if __name__ == "__main__":
    main()
