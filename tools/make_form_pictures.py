#!/usr/bin/env python3
"""Draws the two decorative pictures of the main window and the program's icon.

Run once by hand when the drawings change; the PNG files are kept in resources/.
Only the standard library is used: shapes are sampled four times per pixel on each
axis for smooth edges.
"""
import math
import struct
import sys
import zlib


def png_bytes(width, height, pixels):
    """pixels: list of rows, each a list of (r, g, b, a)."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    return png


def write_png(path, width, height, pixels):
    with open(path, "wb") as out:
        out.write(png_bytes(width, height, pixels))


def write_icon(path, sizes, shade):
    """An icon file whose images are PNG-compressed, one for each size."""
    images = [png_bytes(size, size, render(size, size, shade)) for size in sizes]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    directory = b""
    for size, image in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as out:
        out.write(header + directory + b"".join(images))


def render(width, height, shade):
    """shade(x, y) -> (r, g, b, a) in 0..1 for a point in picture units (0..1)."""
    samples = 4
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / width
                    y = (py + (sy + 0.5) / samples) / height
                    r, g, b, a = shade(x, y)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = samples * samples
            alpha = acc[3] / n
            if alpha > 0:
                colour = [acc[i] / acc[3] for i in range(3)]
            else:
                colour = [0, 0, 0]
            row.append(tuple(int(round(c * 255)) for c in colour) + (int(round(alpha * 255)),))
        rows.append(row)
    return rows


def rounded_box(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and left <= x <= right and top <= y <= bottom


def photo_card(x, y):
    # A photograph leaning on a second one: sky, sun and two hills in a white frame.
    # Units: the picture is 78 x 90, so y is stretched against x.
    back = rounded_box(x, y, 0.16, 0.06, 0.96, 0.70, 0.05)
    front = rounded_box(x, y, 0.04, 0.24, 0.84, 0.90, 0.05)
    if front:
        inner = rounded_box(x, y, 0.10, 0.29, 0.78, 0.72, 0.02)
        if not inner:
            return (1.0, 1.0, 1.0, 1.0)
        sun = (x - 0.62) ** 2 + ((y - 0.40) * 0.87) ** 2 <= 0.07 ** 2
        hill1 = y >= 0.60 - 0.16 * math.exp(-((x - 0.30) / 0.16) ** 2)
        hill2 = y >= 0.66 - 0.12 * math.exp(-((x - 0.62) / 0.14) ** 2)
        if hill2:
            return (0.20, 0.55, 0.32, 1.0)
        if hill1:
            return (0.30, 0.68, 0.40, 1.0)
        if sun:
            return (1.0, 0.78, 0.25, 1.0)
        t = (y - 0.29) / 0.43
        return (0.45 + 0.35 * t, 0.70 + 0.2 * t, 0.96, 1.0)
    if rounded_box(x, y, 0.035, 0.235, 0.845, 0.905, 0.05):
        return (0.55, 0.60, 0.68, 1.0)
    if back:
        if rounded_box(x, y, 0.17, 0.07, 0.95, 0.69, 0.05):
            return (0.27, 0.57, 0.92, 1.0)
        return (0.55, 0.60, 0.68, 1.0)
    return (0, 0, 0, 0)


def download_badge(x, y):
    # A round badge with an arrow pointing down into a tray.
    dx, dy = x - 0.5, (y - 0.5) * 448 / 515
    d = math.hypot(dx, dy)
    if d > 0.42:
        return (0, 0, 0, 0)
    if d > 0.39:
        return (0.18, 0.45, 0.80, 1.0)
    shaft = abs(x - 0.5) <= 0.055 and 0.20 <= y <= 0.56
    head = y >= 0.48 and y <= 0.68 and abs(x - 0.5) <= (0.68 - y) * 0.95
    tray = (0.70 <= y <= 0.76 and 0.27 <= x <= 0.73) or (0.58 <= y <= 0.76 and (0.27 <= x <= 0.33 or 0.67 <= x <= 0.73))
    if shaft or head or tray:
        return (1.0, 1.0, 1.0, 1.0)
    t = y
    return (0.27 + 0.1 * t, 0.57 + 0.1 * t, 0.92, 1.0)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "resources"
    write_png(f"{folder}/decoration_photos.png", 78, 90, render(78, 90, photo_card))
    write_png(f"{folder}/decoration_download.png", 515, 448, render(515, 448, download_badge))
    write_icon(f"{folder}/quorvale.ico", [16, 32, 48], download_badge)


if __name__ == "__main__":
    main()
