#!/usr/bin/env python3
"""Writes the engine's default particle image, "KeDefaultParticle.png": 64 x 64 RGBA, white,
with a round soft falloff in alpha (1 at the centre, 0 at the rim, smooth in between), so that
the particle colour and the blend mode decide the look.

Usage: make_default_particle.py OUTPUT.png
"""
import struct
import sys
import zlib

SIZE = 64


def alpha(x, y):
    # Distance from the centre in units of the radius, sampled at pixel centres.
    dx = (x + 0.5) / SIZE * 2.0 - 1.0
    dy = (y + 0.5) / SIZE * 2.0 - 1.0
    d2 = dx * dx + dy * dy
    if d2 >= 1.0:
        return 0
    f = 1.0 - d2
    return int(round(255.0 * f * f))


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    rows = bytearray()
    for y in range(SIZE):
        rows.append(0)  # filter: none
        for x in range(SIZE):
            rows += bytes((255, 255, 255, alpha(x, y)))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    with open(sys.argv[1], "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
