#!/usr/bin/env python3
"""Draws the program's icon: a shield with an upward arrow, 32 x 32 pixels in
the 16 standard colours. Writes upgrader.ico (one 4-bit image, the form the
program embeds) and upgrader.png (the same picture for the desktop entry).
Run it again after changing the picture; both files are kept in the tree."""
import struct
import zlib
from pathlib import Path

PALETTE = [  # the 16 standard colours, RGB
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
TRANSPARENT, BLACK, NAVY, BLUE, WHITE, GREEN, LIME, SILVER = None, 0, 4, 12, 15, 2, 10, 7


def shield_half_width(y):
    """Half width of the shield at row y (0 at the top), or -1 outside it."""
    if y < 2 or y > 30:
        return -1
    if y < 18:
        return 13
    return max(0, 13 - (y - 18) * 13 // 12)


def draw():
    pixels = [[TRANSPARENT] * 32 for _ in range(32)]
    for y in range(32):
        half = shield_half_width(y)
        if half < 0:
            continue
        for x in range(16 - half - 1, 16 + half + 1):
            if 0 <= x < 32:
                edge = x in (16 - half - 1, 16 + half) or y in (2, 30)
                pixels[y][x] = BLACK if edge else (BLUE if x < 16 else NAVY)
    # the arrow: a head from row 6 to 14, a shaft down to row 24
    for y in range(6, 15):
        spread = y - 6
        for x in range(16 - spread - 1, 16 + spread + 1):
            pixels[y][x] = LIME if x < 16 else GREEN
    for y in range(15, 25):
        for x in range(13, 19):
            pixels[y][x] = LIME if x < 16 else GREEN
    return pixels


def ico(pixels):
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(32)):  # bottom-up rows
        row = [0 if p is None else p for p in pixels[y]]
        for x in range(0, 32, 2):
            xor.append(row[x] << 4 | row[x + 1])
        bits = 0
        for x in range(32):
            bits = bits << 1 | (pixels[y][x] is None)
        mask += bits.to_bytes(4, "big")
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = info + palette + xor + mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 6 + 16)
    return header + entry + image


def png(pixels):
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for p in row:
            raw += bytes((0, 0, 0, 0)) if p is None else bytes(PALETTE[p] + (255,))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 32, 32, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    here = Path(__file__).resolve().parent
    picture = draw()
    data = ico(picture)
    assert len(data) == 766, len(data)
    (here / "upgrader.ico").write_bytes(data)
    (here / "upgrader.png").write_bytes(png(picture))
