#!/usr/bin/env python3
"""Writes grid.png: the example scene's ground texture, 64 x 64 pixels: four by four tiles in
two light greys with a darker line along their edges. Made by us; run from this folder."""
import struct
import zlib

SIZE = 64


def pixel(x, y):
    line = x % 16 == 0 or y % 16 == 0
    base = 150 if line else (225 if (x // 16 + y // 16) % 2 == 0 else 195)
    # A faint diagonal shading so the tiles do not look flat.
    shade = (x + y) // 16
    v = max(0, min(255, base - shade * 4))
    return bytes((v, v, min(255, v + 8)))


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


rows = b"".join(b"\x00" + b"".join(pixel(x, y) for x in range(SIZE)) for y in range(SIZE))
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)) +
       chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
with open("grid.png", "wb") as f:
    f.write(png)
