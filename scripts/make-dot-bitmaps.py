#!/usr/bin/env python3
"""Writes content/on.bmp and content/off.bmp: the telop's 5 x 5 lit and unlit dots,
24-bit uncompressed BMP. Each dot has a black frame, a coloured 3 x 3 face and a white
highlight pixel at the face's top left."""
import struct
import sys
from pathlib import Path

BLACK, WHITE = (0, 0, 0), (255, 255, 255)
LIT, UNLIT = (0, 255, 0), (0, 88, 0)


def dot(face):
    rows = []
    for y in range(5):
        row = []
        for x in range(5):
            if x in (0, 4) or y in (0, 4):
                row.append(BLACK)
            elif (x, y) == (1, 1):
                row.append(WHITE)
            else:
                row.append(face)
        rows.append(row)
    return rows


def bmp(rows):
    width, height = len(rows[0]), len(rows)
    stride = (width * 3 + 3) & ~3
    pixels = b""
    for row in reversed(rows):  # bottom-up
        line = b"".join(bytes((b, g, r)) for r, g, b in row)
        pixels += line + b"\0" * (stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(pixels), 0, 0, 14 + len(header))
    return file_header + header + pixels


if __name__ == "__main__":
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "content")
    (out / "on.bmp").write_bytes(bmp(dot(LIT)))
    (out / "off.bmp").write_bytes(bmp(dot(UNLIT)))
