#!/usr/bin/python3
"""Draws the application icon: a loudspeaker with two sound waves on a blue
rounded square, as 32-bpp images of 128, 48, 32 and 16 pixels in one .ico."""
import math
import struct
import sys

SIZES = (128, 48, 32, 16)
SAMPLES = 4  # per axis, for smooth edges


def inside_rounded_square(x, y):
    r = 0.18
    cx = min(max(x, r), 1 - r)
    cy = min(max(y, r), 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_speaker(x, y):
    if 0.22 <= x <= 0.36 and 0.40 <= y <= 0.60:
        return True
    # the cone widens from the magnet to the front
    if 0.36 <= x <= 0.52:
        half = 0.10 + (x - 0.36) / 0.16 * 0.14
        return abs(y - 0.5) <= half
    return False


def on_wave(x, y):
    d = math.hypot(x - 0.50, y - 0.5)
    angle = abs(math.atan2(y - 0.5, x - 0.50))
    if angle > math.radians(48) or x < 0.5:
        return False
    return abs(d - 0.16) <= 0.035 or abs(d - 0.28) <= 0.035


def colour(x, y):
    """Straight (not premultiplied) RGBA of one sample."""
    if not inside_rounded_square(x, y):
        return (0, 0, 0, 0)
    if inside_speaker(x, y) or on_wave(x, y):
        return (255, 255, 255, 255)
    shade = 1.0 - 0.45 * y
    return (int(30 * shade), int(110 * shade), int(220 * shade), 255)


def image(size):
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    r, g, b, a = colour((px + (sx + 0.5) / SAMPLES) / size,
                                        (py + (sy + 0.5) / SAMPLES) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha == 0:
                row += bytes(4)
                continue
            r, g, b = (round(acc[i] / acc[3]) for i in range(3))
            row += bytes((b, g, r, round(alpha)))
        rows.append(bytes(row))
    pixels = b"".join(reversed(rows))  # bottom-up
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def main(path):
    images = [image(size) for size in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
