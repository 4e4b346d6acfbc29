#!/usr/bin/env python3
"""Draws Brisvane's artwork with nothing but the standard library.

Writes, next to this script:
  brisvane-32.png, brisvane-16.png  the window icon (16 colours, transparent outside the globe)
  brisvane.ico                      the same two images as a 4-bit Windows icon
  page-picture.png                  the 121 by 233 picture of the wizard pages (256 colours)
  page-picture.bmp                  the same picture as an 8-bit Windows bitmap, for the
                                    Windows program's resources

Run it again after changing the drawing; the output is the same on every run.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# The 16 colours of the standard VGA palette, the ones a 16-colour icon has.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, TEAL, SILVER, GREY, YELLOW, BLUE, CYAN, WHITE, GREEN, OLIVE = 0, 4, 6, 7, 8, 11, 12, 14, 15, 2, 3
TRANSPARENT = None


def png(path, width, height, rows, colour_type, palette=None):
    """rows: list of bytes, one per row, already in the colour type's pixel format."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
    if palette is not None:
        data += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    data += chunk(b"IDAT", zlib.compress(raw, 9))
    data += chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(data)


def icon_pixels(size):
    """The icon as rows of VGA indices or TRANSPARENT: a globe being swept clean, a sparkle."""
    s = size / 32.0
    cx, cy, r = 15.5 * s, 16.5 * s, 12.5 * s
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            dx, dy = (px - cx) / r, (py - cy) / r
            d = math.hypot(dx, dy)
            colour = TRANSPARENT
            if d <= 1.0:
                # Lit from the top left: a lighter blue there, navy at the far edge.
                light = -0.6 * dx - 0.6 * dy + 0.5 * math.sqrt(max(0.0, 1 - d * d))
                colour = BLUE if light > 0.05 else NAVY
                # Meridians and parallels of the globe.
                lon = math.asin(max(-1.0, min(1.0, dx / math.sqrt(max(1e-6, 1 - dy * dy)))))
                near_meridian = any(abs(lon - m) < 0.11 / s ** 0.5 for m in (-0.9, 0.0, 0.9))
                near_parallel = any(abs(dy - p) < 0.06 / s ** 0.5 for p in (-0.5, 0.0, 0.5))
                if near_meridian or near_parallel:
                    colour = CYAN if light > 0.05 else TEAL
                if d > 1.0 - 1.2 / (r):
                    colour = NAVY
            # The sparkle of a clean surface, top right.
            sx, sy = 26.0 * s, 6.0 * s
            ax, ay = abs(px - sx), abs(py - sy)
            arm = 5.0 * s
            if (ax < 0.9 * max(s, 0.7) and ay < arm) or (ay < 0.9 * max(s, 0.7) and ax < arm):
                colour = YELLOW if max(ax, ay) > 1.2 * s else WHITE
            row.append(colour)
        pixels.append(row)
    return pixels


def write_icon_png(path, pixels):
    rows = []
    for row in pixels:
        out = bytearray()
        for c in row:
            out += bytes((0, 0, 0, 0)) if c is TRANSPARENT else bytes(VGA[c] + (255,))
        rows.append(bytes(out))
    png(path, len(pixels[0]), len(pixels), rows, 6)


def ico_image(pixels):
    """One 4-bit icon image: header, palette, colour bits (bottom up), mask bits."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA)
    colour = bytearray()
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for x in range(0, size, 2):
            hi = row[x] if row[x] is not TRANSPARENT else 0
            lo = row[x + 1] if row[x + 1] is not TRANSPARENT else 0
            line.append(hi << 4 | lo)
        while len(line) % 4:
            line.append(0)
        colour += line
        bits = bytearray()
        for x in range(0, size, 8):
            byte = 0
            for i in range(8):
                if row[x + i] is TRANSPARENT:
                    byte |= 0x80 >> i
            bits.append(byte)
        while len(bits) % 4:
            bits.append(0)
        mask += bits
    return header + palette + bytes(colour) + bytes(mask)


def write_ico(path, images):
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    bodies = []
    for pixels in images:
        body = ico_image(pixels)
        size = len(pixels)
        data += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(body), offset)
        offset += len(body)
        bodies.append(body)
    with open(path, "wb") as out:
        out.write(data + b"".join(bodies))


def picture_colour(x, y, w, h):
    """The page picture at one point: a night sky over a calm sea, a globe with its traces
    being swept away into sparkles."""
    t = y / h
    # Sky: deep navy at the top to a teal horizon.
    sky = (int(10 + 20 * t), int(20 + 90 * t), int(70 + 110 * t))
    colour = sky
    # The sea below the horizon, darker, with soft waves.
    horizon = 0.78 * h
    if y > horizon + 3 * math.sin(x / 9.0):
        u = (y - horizon) / (h - horizon)
        wave = 0.5 + 0.5 * math.sin(x / 6.0 + y / 2.5)
        colour = (int(8 + 20 * wave * (1 - u)), int(60 + 50 * wave * (1 - u)), int(110 + 40 * (1 - u)))
    # The globe.
    cx, cy, r = w * 0.5, h * 0.40, w * 0.36
    dx, dy = (x - cx) / r, (y - cy) / r
    d = math.hypot(dx, dy)
    if d <= 1.0:
        z = math.sqrt(1 - d * d)
        light = max(0.0, -0.5 * dx - 0.55 * dy + 0.67 * z)
        base = (30 + 150 * light, 90 + 140 * light, 170 + 85 * light)
        lon = math.atan2(dx, z)
        lat = math.asin(max(-1.0, min(1.0, dy)))
        grid = min(abs(math.sin(lon * 3.0)), abs(math.sin(lat * 4.0)))
        if grid < 0.08:
            base = (200 + 55 * light, 240, 255)
        colour = tuple(int(min(255, c)) for c in base)
        # A faint glow at the rim.
        if d > 0.96:
            colour = (140, 210, 250)
    # Sparkles above the globe: traces turning into light.
    for sx, sy, size in ((0.18, 0.10, 7), (0.80, 0.14, 9), (0.70, 0.64, 6), (0.22, 0.66, 5),
                         (0.50, 0.05, 4), (0.90, 0.45, 4)):
        ax, ay = abs(x - sx * w), abs(y - sy * h)
        if (ax < 1.0 and ay < size) or (ay < 1.0 and ax < size) or (ax + ay < size * 0.35):
            k = 1.0 - max(ax, ay) / size
            colour = tuple(int(c + (v - c) * min(1.0, 0.4 + k)) for c, v in zip(colour, (255, 250, 200)))
    return colour


def write_picture(path, w=121, h=233):
    # A 6x6x6 colour cube and 40 greys: 256 colours, dithered with a 4x4 Bayer matrix.
    levels = [0, 51, 102, 153, 204, 255]
    palette = [(r, g, b) for r in levels for g in levels for b in levels]
    palette += [(int(i * 255 / 39),) * 3 for i in range(40)]
    bayer = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]
    samples = 3
    rows = []
    for y in range(h):
        row = bytearray()
        for x in range(w):
            acc = [0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    c = picture_colour(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples, w, h)
                    for i in range(3):
                        acc[i] += c[i]
            c = [a / samples ** 2 for a in acc]
            threshold = (bayer[y % 4][x % 4] + 0.5) / 16.0 - 0.5
            idx = [min(5, max(0, int(round(v / 51.0 + threshold)))) for v in c]
            row.append(idx[0] * 36 + idx[1] * 6 + idx[2])
        rows.append(bytes(row))
    png(path, w, h, rows, 3, palette)
    bmp(os.path.splitext(path)[0] + ".bmp", w, h, rows, palette)


def bmp(path, width, height, rows, palette):
    """An uncompressed 8-bit bitmap: rows bottom-up, each padded to 4 bytes."""
    stride = (width + 3) & ~3
    pixels = b"".join(row + b"\x00" * (stride - width) for row in reversed(rows))
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(colours)
    data = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    data += struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 2835, 2835,
                        len(palette), 0)
    with open(path, "wb") as out:
        out.write(data + colours + pixels)


def main():
    big, small = icon_pixels(32), icon_pixels(16)
    write_icon_png(os.path.join(HERE, "brisvane-32.png"), big)
    write_icon_png(os.path.join(HERE, "brisvane-16.png"), small)
    write_ico(os.path.join(HERE, "brisvane.ico"), [big, small])
    write_picture(os.path.join(HERE, "page-picture.png"))


if __name__ == "__main__":
    main()
