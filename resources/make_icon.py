#!/usr/bin/env python3
"""Makes Icon.png (18x18) and Icon@2x.png (36x36), the status-bar image: a
black padlock on a transparent ground, drawn as a template image (only the
alpha channel carries the shape). Standard library only; the output is
repeatable."""

import math
import os
import struct
import zlib

SAMPLES = 4  # per pixel and axis, for smooth edges


def inside_padlock(x, y):
    """Whether the point (x, y) of the unit square lies on the padlock."""
    # Body: a rounded rectangle in the lower part.
    left, right, top, bottom, radius = 0.17, 0.83, 0.44, 0.94, 0.08
    if left <= x <= right and top <= y <= bottom:
        cx = min(max(x, left + radius), right - radius)
        cy = min(max(y, top + radius), bottom - radius)
        if (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2:
            # Keyhole: a small disc and a slot, left transparent.
            if (x - 0.5) ** 2 + (y - 0.63) ** 2 <= 0.07 ** 2:
                return False
            if abs(x - 0.5) <= 0.03 and 0.63 <= y <= 0.80:
                return False
            return True
    # Shackle: half a ring above the body, with straight legs down to it.
    cx, cy, outer, inner = 0.5, 0.30, 0.24, 0.14
    if y <= cy:
        d = math.hypot(x - cx, y - cy)
        return inner <= d <= outer
    if cy < y < top:
        return inner <= abs(x - cx) <= outer
    return False


def render(size):
    rows = []
    for py in range(size):
        row = bytearray([0])  # filter type: none
        for px in range(size):
            hits = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    hits += inside_padlock(x, y)
            alpha = round(255 * hits / (SAMPLES * SAMPLES))
            row += bytes([0, 0, 0, alpha])
        rows.append(bytes(row))
    return b"".join(rows)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(size):
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(render(size), 9)) + chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, size in (("Icon.png", 18), ("Icon@2x.png", 36)):
        with open(os.path.join(here, name), "wb") as out:
            out.write(png(size))


if __name__ == "__main__":
    main()
