#!/usr/bin/env python3
"""Draws the plug-in's icon (resources/zorvant.ico): the Setup window's light-yellow panel with its two tour
lamps, green over red, at 32 and 16 pixels. Run it again only to change the picture."""
import struct
import sys

PANEL = (255, 250, 198)
EDGE = (90, 80, 40)
LAMPS = ((0, 200, 0), (220, 0, 0))


def pixel(size, x, y):
    """RGBA of one pixel; y counts from the top."""
    if x == 0 or y == 0 or x == size - 1 or y == size - 1:
        return EDGE + (255,)
    r = size * 0.19
    cx = size / 2 - 0.5
    for i, colour in enumerate(LAMPS):
        cy = size * (0.30 + 0.40 * i) - 0.5
        d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
        if d <= r - 1:
            return colour + (255,)
        if d <= r + 0.5:
            return (0, 0, 0, 255)
    return PANEL + (255,)


def image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(size)):  # bottom-up
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            rows.append(struct.pack("BBBB", b, g, r, a))
    mask_row = b"\0" * (((size + 31) // 32) * 4)
    return header + b"".join(rows) + mask_row * size


def main(path):
    sizes = (32, 16)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/zorvant.ico")
