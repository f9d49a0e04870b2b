#!/usr/bin/env python3
"""Draws the program's two icons: a boxed package with a down arrow.

application_large.ico: one 32x32 image with 16 colours (4 bits per pixel).
application_small.ico: one 16x16 image with 256 colours (8 bits per pixel).
Run it from anywhere; it writes next to itself.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The 16 standard VGA colours, as (blue, green, red, reserved).
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
TRANSPARENT, BOX_DARK, BOX_LIGHT, ARROW, EDGE = 0, 3, 11, 12, 8  # palette indices (RGB order)


def draw(size):
    """Returns rows (top first) of palette indices and of transparency flags."""
    pixels = [[TRANSPARENT] * size for _ in range(size)]
    mask = [[1] * size for _ in range(size)]
    s = size / 32.0

    def fill(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                pixels[y][x] = colour
                mask[y][x] = 0

    fill(4, 14, 28, 30, EDGE)          # box outline
    fill(5, 15, 27, 29, BOX_DARK)      # box body
    fill(5, 15, 27, 19, BOX_LIGHT)     # lid
    fill(14, 2, 18, 12, ARROW)         # arrow shaft
    for i in range(5):                  # arrow head
        fill(10 + i, 10 + i, 22 - i, 11 + i, ARROW)
    return pixels, mask


def rgb_to_quad(rgb):
    r, g, b = rgb
    return struct.pack("<BBBB", b, g, r, 0)


def bitmap(size, bits):
    pixels, mask = draw(size)
    colours = 1 << bits
    palette = b"".join(rgb_to_quad(VGA[i]) if i < 16 else b"\0\0\0\0" for i in range(colours))
    xor_rows = []
    for row in reversed(pixels):  # bottom-up
        if bits == 4:
            data = bytes((row[x] << 4) | row[x + 1] for x in range(0, size, 2))
        else:
            data = bytes(row)
        xor_rows.append(data + b"\0" * ((-len(data)) % 4))
    and_rows = []
    for row in reversed(mask):
        data = bytearray((size + 7) // 8)
        for x, transparent in enumerate(row):
            if transparent:
                data[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(bytes(data) + b"\0" * ((-len(data)) % 4))
    image = b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(image), 0, 0, colours, 0)
    return header + palette + image


def icon(size, bits):
    body = bitmap(size, bits)
    colour_count = (1 << bits) if bits < 8 else 0
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bits, len(body), 6 + 16)
    return directory + entry + body


def main():
    for name, size, bits in (("application_large.ico", 32, 4), ("application_small.ico", 16, 8)):
        with open(os.path.join(HERE, name), "wb") as out:
            out.write(icon(size, bits))


if __name__ == "__main__":
    main()
