#!/usr/bin/env python3
"""Draws the game's icon as PNGs for the hicolor theme, beside the SVG: 16 and 32 px drawn pixel by
pixel for their size, so that X and O are told apart there; 48 and 256 px from the SVG's shapes.
Run from this folder when the icon changes; the PNGs it writes are kept in the repository."""
import math
import struct
import zlib

BACKGROUND = (0x1c, 0x1c, 0x1c)
GRID = (0x3a, 0xd1, 0x3a)
X_MARK = (0x4a, 0x7d, 0xff)
O_MARK = (0xff, 0x4a, 0x4a)

# Pixel art, a character a pixel: '#' the dark square, 'g' the grid, 'x' and 'o' the marks, '.'
# nothing. The marks stand as in the SVG: X top left and bottom right, O in the middle and top
# right.
def small(size, starts, line, corners, art):
    """A grid whose cells start at `starts`, parted by lines `line` pixels wide, on a dark square
    with its `corners` cut; each mark's art by the cell it stands in."""
    rows = [['#'] * size for _ in range(size)]
    if corners:
        for x, y in ((0, 0), (0, size - 1), (size - 1, 0), (size - 1, size - 1)):
            rows[y][x] = '.'
    edge = starts[0]
    for i in (1, 2):
        for k in range(line):
            at = starts[i] - line + k
            for t in range(edge, size - edge):
                rows[t][at] = rows[at][t] = 'g'
    for (column, row), picture in art.items():
        for y, text in enumerate(picture):
            for x, c in enumerate(text):
                if c != '.':
                    rows[starts[row] + y][starts[column] + x] = c
    colours = {'#': BACKGROUND + (255,), 'g': GRID + (255,), 'x': X_MARK + (255,),
               'o': O_MARK + (255,), '.': (0, 0, 0, 0)}
    return [[colours[c] for c in row] for row in rows]


# At 16 px the corner cells are five pixels a side, so that X is a cross and not a blot; O keeps
# an open middle in the four of the centre cell.
X5 = ['x...x', '.x.x.', '..x..', '.x.x.', 'x...x']
O5 = ['.ooo.', 'o...o', 'o...o', 'o...o', '.ooo.']
O4 = ['.oo.', 'o..o', 'o..o', '.oo.']
X8 = ['x......x', 'xx....xx', '.xx..xx.', '..xxxx..', '..xxxx..', '.xx..xx.', 'xx....xx',
      'x......x']
O8 = ['..oooo..', '.oooooo.', 'oo....oo', 'oo....oo', 'oo....oo', 'oo....oo', '.oooooo.',
      '..oooo..']


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def from_svg(size, samples=4):
    """The SVG's shapes on its 64-unit square, with `samples` x `samples` points a pixel."""
    grid = [(24, 9, 24, 55), (40, 9, 40, 55), (9, 24, 55, 24), (9, 40, 55, 40)]
    crosses = [(11, 11, 21, 21), (21, 11, 11, 21), (43, 43, 53, 53), (53, 43, 43, 53)]
    rings = [(32, 32), (48, 16)]

    def colour_at(x, y):
        # The rounded square: 2 to 62, corners of radius 8.
        cx, cy = min(max(x, 10), 54), min(max(y, 10), 54)
        if not (2 <= x <= 62 and 2 <= y <= 62) or math.hypot(x - cx, y - cy) > 8:
            return None
        colour = BACKGROUND
        if any(segment_distance(x, y, *s) <= 1.5 for s in grid):
            colour = GRID
        if any(segment_distance(x, y, *s) <= 2 for s in crosses):
            colour = X_MARK
        if any(abs(math.hypot(x - a, y - b) - 5.5) <= 2 for a, b in rings):
            colour = O_MARK
        return colour

    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            total, covered = [0, 0, 0], 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) * 64 / size,
                                  (py + (sy + 0.5) / samples) * 64 / size)
                    if c is not None:
                        covered += 1
                        total = [t + v for t, v in zip(total, c)]
            row.append(tuple(round(t / covered) for t in total) +
                       (round(255 * covered / samples ** 2),) if covered else (0, 0, 0, 0))
        pixels.append(row)
    return pixels


def write_png(path, pixels):
    height, width = len(pixels), len(pixels[0])
    raw = b''.join(b'\0' + bytes(v for p in row for v in p) for row in pixels)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack(
            '>I', zlib.crc32(kind + data) & 0xffffffff)

    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)) +
                  chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


write_png('16.png', small(16, [0, 6, 11], 1, False,
                          {(0, 0): X5, (2, 2): X5, (1, 1): O4, (2, 0): O5}))
write_png('32.png', small(32, [2, 12, 22], 2, True,
                          {(0, 0): X8, (2, 2): X8, (1, 1): O8, (2, 0): O8}))
write_png('48.png', from_svg(48))
write_png('256.png', from_svg(256))
