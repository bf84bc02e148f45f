#!/usr/bin/env python3
"""Writes the button pictures the control tests embed (run from this folder)."""
import struct
import zlib


def png(width, height, pixel):
    """An 8-bit RGBA PNG; pixel(x, y) gives (r, g, b, a)."""
    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


# Cells of 10 x 10 pixels, one solid colour each: normal red, hover green, pushed blue,
# disabled grey.
CELLS = [(255, 0, 0, 255), (0, 255, 0, 255), (0, 0, 255, 255), (128, 128, 128, 255)]
with open("four_cells_40x10.png", "wb") as f:
    f.write(png(40, 10, lambda x, y: CELLS[x // 10]))
with open("three_cells_30x10.png", "wb") as f:
    f.write(png(30, 10, lambda x, y: CELLS[x // 10]))
