#!/usr/bin/env python3
"""Draws the application icon and writes velmyr.ico and its PNG renderings.

The picture: a white window with a cyan title bar seen at an angle, with a
small grey shadow at its lower right. The .ico holds three images, each with
a transparency mask: 32x32 in two colours, 32x32 and 16x16 in the standard
16-colour palette. The PNGs are the 16-colour images, and nearest-neighbour
scalings of the 32x32 one. Run it from any folder; it writes beside itself.
"""
import os
import struct
import zlib

# The standard 16-colour palette, as RGB.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, GREY, SILVER, TEAL, CYAN, WHITE = 0, 8, 7, 6, 14, 15
CLEAR = None


def inside(poly, x, y):
    """Point in a convex polygon given clockwise (in screen coordinates)."""
    n = len(poly)
    for i in range(n):
        (x1, y1), (x2, y2) = poly[i], poly[(i + 1) % n]
        if (x2 - x1) * (y - y1) - (y2 - y1) * (x - x1) < 0:
            return False
    return True


def lerp(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t)


def draw(size):
    """The picture at size x size as rows of palette indexes (None: clear)."""
    s = size / 32.0
    # The window, tilted: its top edge rises to the right, its sides lean.
    tl, tr, br, bl = (3 * s, 9 * s), (24 * s, 3 * s), (28 * s, 22 * s), (7 * s, 28 * s)
    window = [tl, tr, br, bl]
    bar_depth = 0.3  # share of the height taken by the title bar
    bar = [tl, tr, lerp(tr, br, bar_depth), lerp(tl, bl, bar_depth)]
    off = 2.0 * s
    shadow = [(x + off, y + off) for x, y in window]

    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            x, y = px + 0.5, py + 0.5
            if inside(window, x, y):
                edge = not all(inside(window, x + dx, y + dy)
                               for dx, dy in ((-0.8, 0), (0.8, 0), (0, -0.8), (0, 0.8)))
                if edge:
                    row.append(BLACK)
                elif inside(bar, x, y):
                    row.append(CYAN)
                else:
                    row.append(WHITE)
            elif inside(shadow, x, y):
                row.append(GREY)
            else:
                row.append(CLEAR)
        pixels.append(row)
    return pixels


def two_colour(pixels):
    """Black and white only: the bar and the shadow become black."""
    return [[None if p is None else (WHITE if p == WHITE else BLACK) for p in row]
            for row in pixels]


def bmp_rows(pixels, bits, index_of):
    """Bottom-up rows of packed pixels, each padded to 4 bytes."""
    out = b""
    for row in reversed(pixels):
        acc, nbits, data = 0, 0, bytearray()
        for p in row:
            acc = (acc << bits) | index_of(p)
            nbits += bits
            if nbits == 8:
                data.append(acc)
                acc, nbits = 0, 0
        if nbits:
            data.append(acc << (8 - nbits))
        while len(data) % 4:
            data.append(0)
        out += bytes(data)
    return out


def ico_image(pixels, colours):
    size = len(pixels)
    bits = 1 if colours == 2 else 4
    palette = [PALETTE[BLACK], PALETTE[WHITE]] if colours == 2 else PALETTE

    def index_of(p):
        if p is None:
            return 0
        return (1 if p == WHITE else 0) if colours == 2 else p

    xor = bmp_rows(pixels, bits, index_of)
    mask = bmp_rows(pixels, 1, lambda p: 1 if p is None else 0)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(xor) + len(mask),
                         0, 0, colours, 0)
    pal = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    return header + pal + xor + mask, bits


def write_ico(path, images):
    """images: list of (pixels, colours)."""
    blobs = [ico_image(p, c) + (len(p), c) for p, c in images]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for data, bits, size, colours in blobs:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours % 256, 0, 1, bits,
                           len(data), offset)
        offset += len(data)
    out += b"".join(data for data, _, _, _ in blobs)
    with open(path, "wb") as f:
        f.write(out)


def write_png(path, pixels):
    size = len(pixels)
    raw = b""
    for row in pixels:
        raw += b"\0" + b"".join(
            bytes((0, 0, 0, 0)) if p is None else bytes(PALETTE[p] + (255,)) for p in row)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def scaled(pixels, size):
    """Nearest-neighbour scaling."""
    src = len(pixels)
    return [[pixels[y * src // size][x * src // size] for x in range(size)] for y in range(size)]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    big, small = draw(32), draw(16)
    write_ico(os.path.join(here, "velmyr.ico"), [(two_colour(big), 2), (big, 16), (small, 16)])
    write_png(os.path.join(here, "velmyr-16.png"), small)
    write_png(os.path.join(here, "velmyr-32.png"), big)
    for size in (48, 64, 128, 256):
        write_png(os.path.join(here, "velmyr-%d.png" % size), scaled(big, size))


if __name__ == "__main__":
    main()
