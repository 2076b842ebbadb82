#!/usr/bin/env python3
"""Draws Tandel's artwork: the logo bitmap (logo.bmp, 52 x 93, 4 bits per pixel) and the
program icon (tandel.ico, 32 x 32 and 16 x 16, 16 colours).

The logo is a removable disk cartridge in white and dark grey; every other pixel is magenta,
the colour the main dialog draws transparent. Run it from this folder to redraw both files.
"""
import struct

# The standard 16-colour palette, index -> (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_BLUE, LIGHT_GREY, DARK_GREY, BLUE, MAGENTA, WHITE = 0, 4, 7, 8, 12, 13, 15


def canvas(width, height, fill):
    return [[fill] * width for _ in range(height)]


def rect(pixels, x0, y0, x1, y1, colour):
    for y in range(y0, y1):
        for x in range(x0, x1):
            pixels[y][x] = colour


def ring(pixels, cx, cy, outer, inner, colour):
    for y, row in enumerate(pixels):
        for x in range(len(row)):
            d = (x - cx) ** 2 + (y - cy) ** 2
            if inner * inner <= d <= outer * outer:
                row[x] = colour


def rounded_cartridge(pixels, x0, y0, x1, y1, body, edge):
    rect(pixels, x0 + 1, y0, x1 - 1, y1, edge)
    rect(pixels, x0, y0 + 1, x1, y1 - 1, edge)
    rect(pixels, x0 + 2, y0 + 2, x1 - 2, y1 - 2, body)


def logo():
    w, h = 52, 93
    p = canvas(w, h, MAGENTA)
    # Two cartridges, one above the other, each with a hub and a label.
    for top in (2, 48):
        rounded_cartridge(p, 3, top, 49, top + 43, WHITE, DARK_GREY)
        ring(p, 26, top + 18, 11, 8, DARK_GREY)
        ring(p, 26, top + 18, 4, 0, DARK_GREY)
        rect(p, 10, top + 32, 42, top + 39, DARK_GREY)
        rect(p, 12, top + 34, 40, top + 35, WHITE)
        rect(p, 44, top + 4, 47, top + 8, DARK_GREY)  # write-protect tab
    return w, h, p


def icon(size):
    p = canvas(size, size, None)  # None = transparent
    s = size / 32.0
    def sc(v): return int(round(v * s))
    rect(p, sc(3), sc(2), sc(29), sc(30), DARK_GREY)
    rect(p, sc(4), sc(3), sc(28), sc(29), BLUE)
    rect(p, sc(8), sc(3), sc(24), sc(12), LIGHT_GREY)
    rect(p, sc(19), sc(4), sc(22), sc(11), DARK_BLUE)
    rect(p, sc(7), sc(16), sc(25), sc(29), WHITE)
    rect(p, sc(9), sc(19), sc(23), max(sc(20), sc(19) + 1), DARK_GREY)
    rect(p, sc(9), sc(23), sc(23), max(sc(24), sc(23) + 1), DARK_GREY)
    return p


def packed_rows(pixels, bits):
    """Rows bottom-up, 4-bit or 1-bit, each padded to 4 bytes."""
    out = b""
    for row in reversed(pixels):
        data = bytearray()
        if bits == 4:
            for i in range(0, len(row), 2):
                hi = row[i]
                lo = row[i + 1] if i + 1 < len(row) else 0
                data.append((hi << 4) | lo)
        else:
            for i in range(0, len(row), 8):
                byte = 0
                for k in range(8):
                    if i + k < len(row) and row[i + k]:
                        byte |= 0x80 >> k
                data.append(byte)
        while len(data) % 4:
            data.append(0)
        out += bytes(data)
    return out


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def info_header(width, height, bits, image_bytes):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_bytes, 0, 0, 16, 0)


def write_bmp(path):
    w, h, p = logo()
    bits = packed_rows(p, 4)
    header = info_header(w, h, 4, len(bits)) + palette_bytes()
    offset = 14 + len(header)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset))
        f.write(header + bits)


def icon_image(size):
    p = icon(size)
    colours = [[c if c is not None else BLACK for c in row] for row in p]
    mask = [[1 if c is None else 0 for c in row] for row in p]
    xor = packed_rows(colours, 4)
    and_mask = packed_rows(mask, 1)
    return info_header(size, size * 2, 4, len(xor) + len(and_mask)) + palette_bytes() + xor + and_mask


def write_ico(path):
    images = [icon_image(32), icon_image(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    write_bmp("logo.bmp")
    write_ico("tandel.ico")
