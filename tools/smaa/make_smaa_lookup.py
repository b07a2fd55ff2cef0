#!/usr/bin/env python3
"""Makes the two lookup images of the engine's SMAA passes (data/textures).

AreaTexDX9.png (128 x 128, RGBA, 8 bits): the blending weights of an orthogonal edge line, read
by SMAA-2-BlendingWeightCalculation.fx. The image is 4 x 4 tiles of 32 x 32 texels; tile (e1, e2)
holds the lines whose near end (left or top) has the crossing code e1 and whose far end (right or
bottom) has e2, and texel (d1, d2) of a tile the pixel that is d1 pixels from the near end and d2
pixels from the far end (each 0 to 31). A crossing code says on which side of the line an edge
leaves at that end: 0 none, 1 the first side (above, or left), 2 the second side (below, or right),
3 both.

The line is put back together as in morphological anti-aliasing: at an end with a crossing on one
side it starts half a pixel into that side and runs back to the edge at the middle of the line; an
end without a crossing, or with crossings on both sides, stays on the edge. Red is the area of the
pixel's own span that the line leaves to the second side (the share of the pixel below or right of
the edge that takes the colour across it), green the area it leaves to the first side (the share
of the pixel above or left that takes the colour across). Both are at most 0.5.

SearchTex.png (4 x 4, RGBA, 8 bits): the crossing code of each pair of edge flags, as 85 x code in
red (texel (first side, second side)); it lets the weights pass turn two edge reads into a tile
column with one lookup.

  make_smaa_lookup.py [folder]          writes both images into the folder (default data/textures)
  make_smaa_lookup.py --check [folder]  exits 1 when the images there differ from what it makes
"""

import os
import struct
import sys
import zlib

TILE = 32
CODES = 4


def end_height(code):
    """Height of the line at an end with this crossing code: + into the first side."""
    return {0: 0.0, 1: 0.5, 2: -0.5, 3: 0.0}[code]


def areas(e1, e2, d1, d2):
    """(second-side area, first-side area) of the pixel d1 from the near end of a line of length
    d1 + d2 + 1."""
    length = d1 + d2 + 1
    half = length / 2.0
    h1, h2 = end_height(e1), end_height(e2)

    def height(x):
        return h1 * (1.0 - x / half) if x <= half else h2 * (x - half) / half

    # The height is linear on each half of the line: integrate exactly with the trapezoid rule on
    # the pixel's span cut at the middle.
    a, b = float(d1), float(d1 + 1)
    cuts = [a, b] if not (a < half < b) else [a, half, b]
    first = second = 0.0
    for lo, hi in zip(cuts, cuts[1:]):
        area = (height(lo) + height(hi)) * 0.5 * (hi - lo)
        if area > 0:
            first += area
        else:
            second -= area
    return second, first


def byte(v):
    return max(0, min(255, int(round(v * 255.0))))


def area_image():
    size = TILE * CODES
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            e1, d1 = divmod(x, TILE)
            e2, d2 = divmod(y, TILE)
            second, first = areas(e1, e2, d1, d2)
            row += bytes((byte(second), byte(first), 0, 255))
        rows.append(bytes(row))
    return size, size, rows


def search_image():
    rows = []
    for second in range(4):
        row = bytearray()
        for first in range(4):
            code = (1 if first else 0) + (2 if second else 0)
            row += bytes((code * 85, 0, 0, 255))
        rows.append(bytes(row))
    return 4, 4, rows


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + r for r in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main(argv):
    check = "--check" in argv
    args = [a for a in argv if a != "--check"]
    here = os.path.dirname(os.path.abspath(__file__))
    folder = args[0] if args else os.path.join(here, "..", "..", "data", "textures")
    images = {"AreaTexDX9.png": png(*area_image()), "SearchTex.png": png(*search_image())}
    status = 0
    for name, data in images.items():
        path = os.path.join(folder, name)
        if check:
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                print("%s differs from what make_smaa_lookup.py makes" % path)
                status = 1
        else:
            with open(path, "wb") as f:
                f.write(data)
            print("written: %s" % path)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
