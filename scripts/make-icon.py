#!/usr/bin/env python3
"""Draws velto1's icon: one 48x48 image, 32 bits per pixel (BGRA), as an .ico.

A blue rounded tile with a white video camera and a green update arrow.
Run: scripts/make-icon.py app/velto1.ico
"""
import math
import struct
import sys

SIZE = 48


def coverage(inside, x, y, samples=4):
    """Fraction of pixel (x, y) covered by the shape, by supersampling."""
    hits = 0
    for i in range(samples):
        for j in range(samples):
            if inside(x + (i + 0.5) / samples, y + (j + 0.5) / samples):
                hits += 1
    return hits / (samples * samples)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def polygon(points):
    def inside(x, y):
        result = False
        n = len(points)
        for i in range(n):
            (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < (xb - xa) * (y - ya) / (yb - ya) + xa:
                result = not result
        return result
    return inside


def ring_arrow(cx, cy, r_in, r_out, start, end):
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        a = math.degrees(math.atan2(cy - y, x - cx)) % 360
        return r_in <= d <= r_out and start <= a <= end
    return inside


# Layers, painted in order: (shape, (r, g, b, a)).
layers = [
    (rounded_rect(2, 2, 46, 46, 9), (0x1F, 0x5F, 0xB4, 255)),
    (rounded_rect(7, 15, 31, 35, 4), (0xFF, 0xFF, 0xFF, 255)),
    (polygon([(31, 21), (40, 15), (40, 35), (31, 29)]), (0xFF, 0xFF, 0xFF, 255)),
    (circle(19, 25, 6), (0x1F, 0x5F, 0xB4, 255)),
    (circle(19, 25, 3.5), (0x9C, 0xC8, 0xFF, 255)),
    (circle(37, 37, 9.5), (0xFF, 0xFF, 0xFF, 255)),
    (circle(37, 37, 8), (0x2E, 0xA0, 0x43, 255)),
    (ring_arrow(37, 37, 3.2, 5.6, 20, 300), (0xFF, 0xFF, 0xFF, 255)),
    (polygon([(40.5, 28.0), (44.8, 33.6), (38.0, 34.6)]), (0xFF, 0xFF, 0xFF, 255)),
]


def render():
    pixels = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            r, g, b, a = 0.0, 0.0, 0.0, 0.0
            for shape, (lr, lg, lb, la) in layers:
                c = coverage(shape, x, y) * la / 255
                if c == 0:
                    continue
                out_a = c + a * (1 - c)
                r = (lr * c + r * a * (1 - c)) / out_a
                g = (lg * c + g * a * (1 - c)) / out_a
                b = (lb * c + b * a * (1 - c)) / out_a
                a = out_a
            pixels[y][x] = (round(r), round(g), round(b), round(a * 255))
    return pixels


def ico(pixels):
    xor = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up rows
        for r, g, b, a in pixels[y]:
            xor += bytes((b, g, r, a))
    and_mask = bytes(((SIZE + 31) // 32 * 4) * SIZE)  # alpha carries transparency
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + bytes(xor) + and_mask
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == '__main__':
    with open(sys.argv[1], 'wb') as f:
        f.write(ico(render()))
