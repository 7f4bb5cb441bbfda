#!/usr/bin/env python3
"""Draws the warning box's icon: a blue shield with a white keyhole, one
32 x 32 image with 8 bits per pixel (256-colour palette), written as an .ico.

usage: make_icon.py OUT.ico
"""
import struct
import sys

SIZE = 32
# Palette index -> (R, G, B); the rest of the 256 entries stay black.
PALETTE = {
    0: (0, 0, 0),          # transparent (masked out)
    1: (16, 52, 120),      # shield rim
    2: (40, 100, 200),     # shield face
    3: (90, 150, 230),     # light half of the face
    4: (255, 255, 255),    # keyhole
}


def inside_shield(x, y):
    """A shield: flat top with rounded corners, sides narrowing to a point."""
    cx = 15.5
    if y < 2 or y > 30:
        return False
    if y <= 17:
        half = 13.0
        if y < 4:  # round the top corners
            half -= (4 - y) * 1.0
    else:
        half = 13.0 * (30 - y) / 13.0
    return abs(x - cx) <= half


def pixel(x, y):
    if not inside_shield(x, y):
        return 0
    edge = any(not inside_shield(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
    if edge:
        return 1
    # keyhole: a round head and a tapering slot
    if (x - 15.5) ** 2 + (y - 12.0) ** 2 <= 3.2 ** 2:
        return 4
    if 12 <= y <= 22 and abs(x - 15.5) <= 1.0 + (y - 12) * 0.12:
        return 4
    return 3 if x < 15.5 else 2


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 8, 0, SIZE * SIZE, 0, 0, 256, 0)
    palette = b''.join(struct.pack('<BBBB', *reversed(PALETTE.get(i, (0, 0, 0))), 0) for i in range(256))
    xor = b''.join(bytes(rows[y]) for y in reversed(range(SIZE)))  # bottom-up, 32 bytes a row
    and_mask = b''
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            if rows[y][x] == 0:
                bits |= 1 << (SIZE - 1 - x)
        and_mask += struct.pack('>I', bits)  # 4 bytes a row, already 32-bit aligned
    image = header + palette + xor + and_mask
    directory = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, 1, 8, len(image), 22)
    with open(sys.argv[1], 'wb') as f:
        f.write(directory + image)


if __name__ == '__main__':
    main()
