#!/usr/bin/env python3
"""Draws the sample resources' pictures: a 52 x 93 4-bit logo on magenta and a two-image
16-colour icon (32 x 32 and 16 x 16). Run once; the outputs are kept beside this script."""
import struct

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
MAGENTA, WHITE, GREY = 13, 15, 8


def dib(width, height, pixel, mask=None):
    """A 4-bit DIB, bottom-up; with a mask the height is doubled and the AND bits follow."""
    row = ((width * 4 + 31) // 32) * 4
    bits = bytearray()
    for y in reversed(range(height)):
        line = bytearray(row)
        for x in range(width):
            value = pixel(x, y)
            line[x // 2] |= value << (4 if x % 2 == 0 else 0)
        bits += line
    masks = bytearray()
    if mask is not None:
        mrow = ((width + 31) // 32) * 4
        for y in reversed(range(height)):
            line = bytearray(mrow)
            for x in range(width):
                if mask(x, y):
                    line[x // 8] |= 0x80 >> (x % 8)
            masks += line
    shown_height = height * 2 if mask is not None else height
    header = struct.pack('<IiiHHIIiiII', 40, width, shown_height, 1, 4, 0,
                         len(bits) + len(masks), 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    return header + palette + bits + masks


def logo(x, y):
    if 6 <= x < 46 and 8 <= y < 85:
        return WHITE if (x + y) % 9 else GREY
    return MAGENTA


def write_bmp(path, data):
    offset = 14 + 40 + 64
    with open(path, 'wb') as out:
        out.write(b'BM' + struct.pack('<IHHI', 14 + len(data), 0, 0, offset) + data)


def write_ico(path, images):
    header = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for size, data in images:
        entries += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as out:
        out.write(header + entries + b''.join(data for _, data in images))


write_bmp('logo.bmp', dib(52, 93, logo))
icon = [(s, dib(s, s, lambda x, y, s=s: 12 if x < s // 2 else 11,
                lambda x, y, s=s: x == 0 and y == 0)) for s in (32, 16)]
write_ico('sample.ico', icon)
