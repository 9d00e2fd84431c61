#!/usr/bin/env python3
"""Draws the tool's icon, two steel-blue gear wheels, and writes it as a Windows .ico file.

Nine images: 16, 32 and 48 pixels, each in 16 colours, 256 colours and 32-bit colour with
alpha. Standard library only, so the build needs nothing beyond Python 3.
Usage: make_icon.py OUTPUT.ico
"""
import math
import struct
import sys

STEEL_BLUE = (70, 130, 180)
SIZES = (16, 32, 48)
SAMPLES = 4  # supersampling per axis

# Each gear: centre x, centre y, tip radius, root radius, hole radius, teeth, phase (turns).
GEARS = (
    (0.40, 0.40, 0.38, 0.29, 0.10, 9, 0.0),
    (0.74, 0.74, 0.25, 0.18, 0.065, 7, 0.5 / 7),
)


def gear_hit(gear, x, y):
    """Returns None outside the gear, else the distance from its centre relative to the tip."""
    cx, cy, tip, root, hole, teeth, phase = gear
    dx, dy = x - cx, y - cy
    d = math.hypot(dx, dy)
    if d < hole or d > tip:
        return None
    turn = (math.atan2(dy, dx) / (2 * math.pi) * teeth + phase) % 1.0
    # Trapezoid teeth: full height for the middle of the tooth, sloping flanks.
    edge = min(turn, 1.0 - turn)  # 0 at the tooth's centre line
    if edge < 0.18:
        limit = tip
    elif edge < 0.30:
        limit = tip - (tip - root) * (edge - 0.18) / 0.12
    else:
        limit = root
    return d / tip if d <= limit else None


def shade(gear_index, rel, y):
    """Steel blue, lighter at the top, with a darker rim near the hole and the teeth."""
    r, g, b = STEEL_BLUE
    light = 1.25 - 0.5 * y
    if rel > 0.88 or rel < 0.34 + gear_index * 0.05:
        light *= 0.72
    if gear_index == 1:
        light *= 0.92
    return tuple(max(0, min(255, int(c * light))) for c in (r, g, b))


def render(size):
    """RGBA rows, top to bottom."""
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    # The small gear lies in front of the big one.
                    for index in (1, 0):
                        rel = gear_hit(GEARS[index], x, y)
                        if rel is not None:
                            colour = shade(index, rel, y)
                            acc = [a + c for a, c in zip(acc, colour)]
                            covered += 1
                            break
            if covered:
                colour = tuple(a // covered for a in acc)
                alpha = covered * 255 // (SAMPLES * SAMPLES)
            else:
                colour, alpha = (0, 0, 0), 0
            row.append(colour + (alpha,))
        pixels.append(row)
    return pixels


VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette256():
    colours = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    colours += [(i * 10 + 8, i * 10 + 8, i * 10 + 8) for i in range(24)]
    colours += [(min(255, 40 + i * 12), min(255, 80 + i * 11), min(255, 120 + i * 9))
                for i in range(16)]  # steel-blue ramp
    return colours[:256] + [(0, 0, 0)] * (256 - len(colours))


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))


def row_bytes(bits, width):
    return ((width * bits + 31) // 32) * 4


def and_mask(pixels, size):
    stride = row_bytes(1, size)
    out = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def dib(pixels, size, bits):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    body = bytearray()
    if bits == 32:
        for row in reversed(pixels):
            for r, g, b, a in row:
                body += bytes((b, g, r, a))
        palette_bytes = b''
    else:
        palette = VGA16 if bits == 4 else palette256()
        palette_bytes = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
        stride = row_bytes(bits, size)
        for row in reversed(pixels):
            line = bytearray(stride)
            for x, (r, g, b, a) in enumerate(row):
                index = nearest(palette, (r, g, b)) if a >= 128 else 0
                if bits == 8:
                    line[x] = index
                else:
                    line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            body += line
    return header + palette_bytes + bytes(body) + and_mask(pixels, size)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    images = []
    for size in SIZES:
        pixels = render(size)
        for bits in (4, 8, 32):
            images.append((size, bits, dib(pixels, size, bits)))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        colours = 16 if bits == 4 else 0
        out += struct.pack('<BBBBHHII', size, size, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    out += b''.join(data for _, _, data in images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
