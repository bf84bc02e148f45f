#!/usr/bin/env python3
"""Writes the small pictures the resource and skin tests embed (run from this folder)."""
import struct
import zlib


def png(width, height, pixel):
    """An 8-bit RGBA PNG; pixel(x, y) gives (r, g, b, a)."""
    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def dib32(size, colour):
    """A 32-bit icon image: header with doubled height, bottom-up pixels, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    r, g, b, a = colour
    pixels = bytes([b, g, r, a]) * (size * size)
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    return header + pixels + mask


def ico(images):
    """images: list of (size, bits, data)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(d for _, _, d in images)


CELLS = [(255, 0, 0, 255), (0, 255, 0, 255), (0, 0, 255, 255)]
with open("close_90x30.png", "wb") as f:  # three 30-pixel state cells: red, green, blue
    f.write(png(90, 30, lambda x, y: CELLS[x // 30]))
with open("icon_21.png", "wb") as f:  # white, alpha 128
    f.write(png(21, 21, lambda x, y: (255, 255, 255, 128)))
with open("logo.ico", "wb") as f:  # 16 px red (bitmap), 32 px green (PNG), 48 px blue (bitmap)
    f.write(ico([(16, 32, dib32(16, (255, 0, 0, 255))),
                 (32, 32, png(32, 32, lambda x, y: (0, 255, 0, 255))),
                 (48, 32, dib32(48, (0, 0, 255, 255)))]))
