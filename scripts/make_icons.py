#!/usr/bin/env python3
"""Draws the two tray pictures (500 x 500, transparent background).

icon_on.png:  a monitor (black frame, white screen) with a red, a green and a
              blue disc on the screen: the watch loop runs.
icon_off.png: the same monitor with a red bar across an empty screen: the
              watch loop is stopped.
Run it from the source root to regenerate resources/*.png.
"""
import struct
import zlib

W = H = 500
BLACK = (20, 20, 20, 255)
WHITE = (250, 250, 250, 255)
RED = (220, 30, 30, 255)
GREEN = (30, 170, 60, 255)
BLUE = (40, 80, 220, 255)


def canvas():
    return [[(0, 0, 0, 0)] * W for _ in range(H)]


def rect(img, x0, y0, x1, y1, colour):
    for y in range(max(0, y0), min(H, y1)):
        row = img[y]
        for x in range(max(0, x0), min(W, x1)):
            row[x] = colour


def disc(img, cx, cy, r, colour):
    for y in range(max(0, cy - r), min(H, cy + r + 1)):
        for x in range(max(0, cx - r), min(W, cx + r + 1)):
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                img[y][x] = colour


def bar(img, x0, y0, x1, y1, half, colour):
    # A thick line from (x0, y0) to (x1, y1).
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    for y in range(H):
        for x in range(W):
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
            px, py = x0 + t * dx, y0 + t * dy
            if (x - px) ** 2 + (y - py) ** 2 <= half * half:
                img[y][x] = colour


def monitor(img):
    rect(img, 30, 60, 470, 380, BLACK)      # frame
    rect(img, 55, 85, 445, 355, WHITE)      # screen
    rect(img, 220, 380, 280, 430, BLACK)    # neck
    rect(img, 140, 430, 360, 460, BLACK)    # foot


def save(img, path):
    raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in img)

    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


on = canvas()
monitor(on)
disc(on, 175, 250, 70, RED)
disc(on, 250, 170, 70, GREEN)
disc(on, 325, 250, 70, BLUE)
save(on, "resources/icon_on.png")

off = canvas()
monitor(off)
bar(off, 110, 320, 390, 120, 22, RED)
save(off, "resources/icon_off.png")
