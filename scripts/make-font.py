#!/usr/bin/env python3
"""Writes the engine's default text font, data/fonts/kolm-sans.png: an image font of the 3D
library (characters 32 to 126 in order, each framed by an upper-left marker pixel of the colour
of pixel (0, 0) and a lower-right marker of the colour of pixel (1, 0); pixel (2, 0) is the
background, made transparent when the font loads).

The glyphs are drawn on a 5 x 9 grid (rows 0-6 capitals, 2-6 small letters, 7-8 descenders)
and scaled by SCALE. Usage: scripts/make-font.py [output.png]
"""
import struct
import sys
import zlib

SCALE = 2
GLYPHS = {
    ' ': "",
    '!': "..X.. ..X.. ..X.. ..X.. ..X.. ..... ..X..",
    '"': ".X.X. .X.X.",
    '#': ".X.X. .X.X. XXXXX .X.X. XXXXX .X.X. .X.X.",
    '$': "..X.. .XXXX X.X.. .XXX. ..X.X XXXX. ..X..",
    '%': "XX... XX..X ...X. ..X.. .X... X..XX ...XX",
    '&': ".XX.. X..X. X.X.. .X... X.X.X X..X. .XX.X",
    "'": "..X.. ..X..",
    '(': "...X. ..X.. .X... .X... .X... ..X.. ...X.",
    ')': ".X... ..X.. ...X. ...X. ...X. ..X.. .X...",
    '*': "..... ..X.. X.X.X .XXX. X.X.X ..X..",
    '+': "..... ..X.. ..X.. XXXXX ..X.. ..X..",
    ',': "..... ..... ..... ..... ..... .XX.. ..X.. .X...",
    '-': "..... ..... ..... XXXXX",
    '.': "..... ..... ..... ..... ..... .XX.. .XX..",
    '/': "....X ....X ...X. ..X.. .X... X.... X....",
    '0': ".XXX. X...X X..XX X.X.X XX..X X...X .XXX.",
    '1': "..X.. .XX.. ..X.. ..X.. ..X.. ..X.. .XXX.",
    '2': ".XXX. X...X ....X ...X. ..X.. .X... XXXXX",
    '3': "XXXXX ...X. ..X.. ...X. ....X X...X .XXX.",
    '4': "...X. ..XX. .X.X. X..X. XXXXX ...X. ...X.",
    '5': "XXXXX X.... XXXX. ....X ....X X...X .XXX.",
    '6': "..XX. .X... X.... XXXX. X...X X...X .XXX.",
    '7': "XXXXX ....X ...X. ..X.. .X... .X... .X...",
    '8': ".XXX. X...X X...X .XXX. X...X X...X .XXX.",
    '9': ".XXX. X...X X...X .XXXX ....X ...X. .XX..",
    ':': "..... .XX.. .XX.. ..... .XX.. .XX..",
    ';': "..... .XX.. .XX.. ..... .XX.. ..X.. .X...",
    '<': "...X. ..X.. .X... X.... .X... ..X.. ...X.",
    '=': "..... ..... XXXXX ..... XXXXX",
    '>': ".X... ..X.. ...X. ....X ...X. ..X.. .X...",
    '?': ".XXX. X...X ....X ...X. ..X.. ..... ..X..",
    '@': ".XXX. X...X ....X .XX.X X.X.X X.X.X .XXX.",
    'A': ".XXX. X...X X...X XXXXX X...X X...X X...X",
    'B': "XXXX. X...X X...X XXXX. X...X X...X XXXX.",
    'C': ".XXX. X...X X.... X.... X.... X...X .XXX.",
    'D': "XXX.. X..X. X...X X...X X...X X..X. XXX..",
    'E': "XXXXX X.... X.... XXXX. X.... X.... XXXXX",
    'F': "XXXXX X.... X.... XXXX. X.... X.... X....",
    'G': ".XXX. X...X X.... X.XXX X...X X...X .XXXX",
    'H': "X...X X...X X...X XXXXX X...X X...X X...X",
    'I': ".XXX. ..X.. ..X.. ..X.. ..X.. ..X.. .XXX.",
    'J': "..XXX ...X. ...X. ...X. ...X. X..X. .XX..",
    'K': "X...X X..X. X.X.. XX... X.X.. X..X. X...X",
    'L': "X.... X.... X.... X.... X.... X.... XXXXX",
    'M': "X...X XX.XX X.X.X X.X.X X...X X...X X...X",
    'N': "X...X X...X XX..X X.X.X X..XX X...X X...X",
    'O': ".XXX. X...X X...X X...X X...X X...X .XXX.",
    'P': "XXXX. X...X X...X XXXX. X.... X.... X....",
    'Q': ".XXX. X...X X...X X...X X.X.X X..X. .XX.X",
    'R': "XXXX. X...X X...X XXXX. X.X.. X..X. X...X",
    'S': ".XXXX X.... X.... .XXX. ....X ....X XXXX.",
    'T': "XXXXX ..X.. ..X.. ..X.. ..X.. ..X.. ..X..",
    'U': "X...X X...X X...X X...X X...X X...X .XXX.",
    'V': "X...X X...X X...X X...X X...X .X.X. ..X..",
    'W': "X...X X...X X...X X.X.X X.X.X X.X.X .X.X.",
    'X': "X...X X...X .X.X. ..X.. .X.X. X...X X...X",
    'Y': "X...X X...X .X.X. ..X.. ..X.. ..X.. ..X..",
    'Z': "XXXXX ....X ...X. ..X.. .X... X.... XXXXX",
    '[': ".XXX. .X... .X... .X... .X... .X... .XXX.",
    '\\': "X.... X.... .X... ..X.. ...X. ....X ....X",
    ']': ".XXX. ...X. ...X. ...X. ...X. ...X. .XXX.",
    '^': "..X.. .X.X. X...X",
    '_': "..... ..... ..... ..... ..... ..... ..... XXXXX",
    '`': ".X... ..X..",
    'a': "..... ..... .XXX. ....X .XXXX X...X .XXXX",
    'b': "X.... X.... XXXX. X...X X...X X...X XXXX.",
    'c': "..... ..... .XXX. X.... X.... X...X .XXX.",
    'd': "....X ....X .XXXX X...X X...X X...X .XXXX",
    'e': "..... ..... .XXX. X...X XXXXX X.... .XXX.",
    'f': "..XX. .X..X .X... XXX.. .X... .X... .X...",
    'g': "..... ..... .XXXX X...X X...X X...X .XXXX ....X .XXX.",
    'h': "X.... X.... XXXX. X...X X...X X...X X...X",
    'i': "..X.. ..... .XX.. ..X.. ..X.. ..X.. .XXX.",
    'j': "...X. ..... ..XX. ...X. ...X. ...X. ...X. X..X. .XX..",
    'k': "X.... X.... X..X. X.X.. XX... X.X.. X..X.",
    'l': ".XX.. ..X.. ..X.. ..X.. ..X.. ..X.. .XXX.",
    'm': "..... ..... XX.X. X.X.X X.X.X X.X.X X.X.X",
    'n': "..... ..... XXXX. X...X X...X X...X X...X",
    'o': "..... ..... .XXX. X...X X...X X...X .XXX.",
    'p': "..... ..... XXXX. X...X X...X X...X XXXX. X.... X....",
    'q': "..... ..... .XXXX X...X X...X X...X .XXXX ....X ....X",
    'r': "..... ..... X.XX. XX..X X.... X.... X....",
    's': "..... ..... .XXXX X.... .XXX. ....X XXXX.",
    't': ".X... .X... XXX.. .X... .X... .X..X ..XX.",
    'u': "..... ..... X...X X...X X...X X..XX .XX.X",
    'v': "..... ..... X...X X...X X...X .X.X. ..X..",
    'w': "..... ..... X...X X...X X.X.X X.X.X .X.X.",
    'x': "..... ..... X...X .X.X. ..X.. .X.X. X...X",
    'y': "..... ..... X...X X...X X...X X...X .XXXX ....X .XXX.",
    'z': "..... ..... XXXXX ...X. ..X.. .X... XXXXX",
    '{': "...X. ..X.. ..X.. .X... ..X.. ..X.. ...X.",
    '|': "..X.. ..X.. ..X.. ..X.. ..X.. ..X.. ..X..",
    '}': ".X... ..X.. ..X.. ...X. ..X.. ..X.. .X...",
    '~': "..... ..... .X... X.X.X ...X.",
}

GRID_W, GRID_H = 5, 9
CELL_W = 1 + GRID_W * SCALE + 1   # marker column, glyph, one column of spacing
CELL_H = 1 + GRID_H * SCALE + 1   # marker row, glyph, one row of spacing
PITCH_W, PITCH_H = CELL_W + 2, CELL_H + 2  # room for the lower-right marker between cells
PER_ROW = 16

TOP_LEFT = (255, 0, 0, 255)
LOWER_RIGHT = (255, 255, 0, 255)
BACKGROUND = (0, 0, 0, 255)
INK = (255, 255, 255, 255)


def build():
    chars = [chr(c) for c in range(32, 127)]
    assert set(chars) == set(GLYPHS), "one glyph per character 32..126"
    rows = (len(chars) + PER_ROW - 1) // PER_ROW
    width, height = PER_ROW * PITCH_W, rows * PITCH_H
    px = [[BACKGROUND] * width for _ in range(height)]
    for i, ch in enumerate(chars):
        x0, y0 = (i % PER_ROW) * PITCH_W, (i // PER_ROW) * PITCH_H
        lines = GLYPHS[ch].split()
        assert len(lines) <= GRID_H and all(len(l) == GRID_W for l in lines), ch
        for gy, line in enumerate(lines):
            for gx, bit in enumerate(line):
                if bit != 'X':
                    continue
                for sy in range(SCALE):
                    for sx in range(SCALE):
                        px[y0 + 1 + gy * SCALE + sy][x0 + 1 + gx * SCALE + sx] = INK
        px[y0][x0] = TOP_LEFT
        px[y0 + CELL_H][x0 + CELL_W] = LOWER_RIGHT
    # Pixel (1, 0) names the lower-right colour, (2, 0) the background (the loader clears both).
    px[0][1] = LOWER_RIGHT
    px[0][2] = BACKGROUND
    return width, height, px


def write_png(path, width, height, px):
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in px)

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "data/fonts/kolm-sans.png"
    write_png(out, *build())
