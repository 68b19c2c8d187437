#!/usr/bin/env python3
"""Draws the program icon (32 x 32, 16 colours) and writes it as app/halvane.ico.

Run by hand when the design changes; the .ico it writes is kept in the repository."""
import struct
import sys

# The standard 16-colour Windows palette (R, G, B).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
DARK_BLUE, BLUE, WHITE, YELLOW, TRANSPARENT = 4, 12, 15, 11, 0


def pixel(x, y):
    """Colour index of a pixel (y = 0 is the top row), or None where the icon is transparent."""
    cx, cy = 15.5, 15.5
    if (x - cx) ** 2 + (y - cy) ** 2 > 15.5 ** 2:
        return None
    if (x - cx) ** 2 + (y - cy) ** 2 > 14 ** 2:
        return DARK_BLUE
    # A white "H" ...
    if 6 <= y <= 22 and (7 <= x <= 9 or 15 <= x <= 17):
        return WHITE
    if 13 <= y <= 15 and 7 <= x <= 17:
        return WHITE
    # ... beside three yellow level bars of a sound meter.
    for left, top in ((20, 16), (23, 12), (26, 8)):
        if left <= x <= left + 1 and top <= y <= 22:
            return YELLOW
    if 25 <= y <= 26 and 7 <= x <= 26:
        return WHITE
    return BLUE


def main(path):
    size = 32
    xor_rows, and_rows = [], []
    for y in range(size - 1, -1, -1):  # bitmaps are stored bottom-up
        xor = bytearray()
        mask_bits = 0
        for x in range(0, size, 2):
            pair = []
            for dx in (0, 1):
                c = pixel(x + dx, y)
                pair.append(TRANSPARENT if c is None else c)
            xor.append(pair[0] << 4 | pair[1])
        for x in range(size):
            mask_bits = mask_bits << 1 | (1 if pixel(x, y) is None else 0)
        xor_rows.append(bytes(xor))
        and_rows.append(mask_bits.to_bytes(4, "big"))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "app/halvane.ico")
