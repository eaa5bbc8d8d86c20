#!/usr/bin/env python3
"""Writes the project's bitmaps, all uncompressed BMP:

- content/on.bmp, content/off.bmp: the telop's 5 x 5 lit and unlit dots, 24-bit. Each dot has
  a black frame, a coloured 3 x 3 face and a white highlight pixel at the face's top left.
- telop/resources/toolbox.bmp: the control's 16 x 15 toolbox picture, 8-bit (256 colours).
- telop/resources/about.bmp: the about box's 32 x 32 icon, 4-bit (16 colours).
- player/resources/picBar.bmp: the player's 17 x 768 button bar strip, 24-bit.
- player/resources/lumaret.bmp: the player window's 32 x 32 icon, 24-bit.

The two pictures show a small dot-matrix board: a grey frame around black, with green dots,
some of them lit."""
import struct
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BLACK, WHITE, GREY = (0, 0, 0), (255, 255, 255), (128, 128, 128)
LIT, UNLIT = (0, 255, 0), (0, 88, 0)


def dot(face):
    return [[BLACK if x in (0, 4) or y in (0, 4) else WHITE if (x, y) == (1, 1) else face
             for x in range(5)] for y in range(5)]


def bmp_file(width, height, bits, pixels, palette):
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 3780, 3780,
                       len(palette) // 4, 0)
    offset = 14 + len(info) + len(palette)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + info + palette + pixels


def bmp24(rows):
    width, height = len(rows[0]), len(rows)
    stride = (width * 3 + 3) & ~3
    pixels = b""
    for row in reversed(rows):  # bottom-up
        line = b"".join(bytes((b, g, r)) for r, g, b in row)
        pixels += line + b"\0" * (stride - len(line))
    return bmp_file(width, height, 24, pixels, b"")


def bmp_indexed(rows, colours, bits):
    """rows hold colours; they are stored as indices into a palette of 2**bits entries."""
    width, height = len(rows[0]), len(rows)
    palette_colours = colours + [BLACK] * ((1 << bits) - len(colours))
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in palette_colours)
    stride = ((width * bits + 31) // 32) * 4
    pixels = b""
    for row in reversed(rows):
        indices = [colours.index(c) for c in row]
        if bits == 8:
            line = bytes(indices)
        else:  # 4 bits: two pixels a byte, the left one high
            indices += [0] * (len(indices) % 2)
            line = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))
        pixels += line + b"\0" * (stride - len(line))
    return bmp_file(width, height, bits, pixels, palette)


def board(width, height, pitch, lit):
    """A grey-framed black board with a dot every `pitch` pixels; lit(col, row) says which."""
    rows = [[BLACK] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            if x in (0, width - 1) or y in (0, height - 1):
                rows[y][x] = GREY
    for row, y in enumerate(range(2, height - 2, pitch)):
        for col, x in enumerate(range(2, width - 2, pitch)):
            rows[y][x] = LIT if lit(col, row) else UNLIT
    return rows


if __name__ == "__main__":
    (ROOT / "content/on.bmp").write_bytes(bmp24(dot(LIT)))
    (ROOT / "content/off.bmp").write_bytes(bmp24(dot(UNLIT)))
    colours = [BLACK, GREY, UNLIT, LIT]
    # A wave of lit dots on the toolbox picture, an arrow on the icon.
    toolbox = board(16, 15, 2, lambda c, r: r == (2 + (c % 4 if c % 8 < 4 else 3 - c % 4)))
    (ROOT / "telop/resources/toolbox.bmp").write_bytes(bmp_indexed(toolbox, colours, 8))
    arrow = lambda c, r: (c - 3 == abs(r - 7) and c < 11) or (r == 7 and 3 <= c <= 13)
    icon = board(32, 32, 2, arrow)
    (ROOT / "telop/resources/about.bmp").write_bytes(bmp_indexed(icon, colours, 4))
    # The bar: dark grey with a lighter left edge and a darker right edge.
    bar = [[(96, 96, 104) if x == 0 else (24, 24, 28) if x == 16 else (56, 56, 64) for x in range(17)]
           for _ in range(768)]
    (ROOT / "player/resources").mkdir(parents=True, exist_ok=True)
    (ROOT / "player/resources/picBar.bmp").write_bytes(bmp24(bar))
    # The window icon: a screen with a lit telop line.
    window_icon = [[(40, 40, 48) if x in (0, 31) or y in (0, 31) else
                    (40, 90, 200) if y < 22 else (0, 255, 0) if y in (25, 26) and x % 3 else (0, 60, 0)
                    for x in range(32)] for y in range(32)]
    (ROOT / "player/resources/lumaret.bmp").write_bytes(bmp24(window_icon))
