#!/usr/bin/env python3
"""Draws the demo game's pictures and writes them as PNG files (standard library only).

Run it from anywhere: python3 examples/demo/make-art.py. The output is the same on every
run, so the committed pictures only change when this script does.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b); writes an 8-bit RGB PNG."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # no filter
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    full = os.path.join(HERE, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(png)


BACK = (0, 0, 0)  # the see-through colour: every sprite's bottom-left pixel


def player(frame):
    # A round face that blinks in its second frame.
    def pixel(x, y):
        dx, dy = x - 15.5, y - 15.5
        d = math.hypot(dx, dy)
        if d > 14:
            return BACK
        if d > 12.5:
            return (20, 60, 140)
        eye = abs(dy + 4) < (1 if frame else 2.5) and (abs(dx - 5) < 2 or abs(dx + 5) < 2)
        mouth = 4 < dy < 7 and abs(dx) < 6 - (dy - 4)
        if eye or mouth:
            return (20, 20, 40)
        shade = int(200 + 40 * (-dx - dy) / 28)
        return (60, min(255, shade), 255)

    return pixel


def coin(frame):
    # A coin seen turning: its width shrinks and grows over four frames.
    half = [7.0, 5.0, 2.0, 5.0][frame]

    def pixel(x, y):
        dx, dy = (x - 7.5) / half, (y - 7.5) / 7.0
        d = math.hypot(dx, dy)
        if d > 1:
            return BACK
        if d > 0.75:
            return (200, 140, 0)
        return (255, 215, 40) if (x + y) % 5 else (255, 245, 160)

    return pixel


def spike(x, y):
    # A red ball with eight spikes: things to avoid.
    dx, dy = x - 11.5, y - 11.5
    d = math.hypot(dx, dy)
    a = math.atan2(dy, dx)
    reach = 7 + 4.5 * max(0.0, math.cos(4 * a)) ** 6
    if d > reach:
        return BACK
    if d > 6.5:
        return (120, 120, 130)
    return (220, 40, 40) if d > 2 else (255, 200, 200)


def wall(x, y):
    # Bricks of 16 x 8 with mortar lines, every other row shifted by half a brick.
    row = y // 8
    if y % 8 == 7 or (x + (8 if row % 2 else 0)) % 16 == 15:
        return (90, 90, 90)
    tone = ((x * 7 + y * 13) % 5) * 6
    return (150 + tone, 60 + tone // 2, 40)


def floor(x, y):
    # Soft checker tiles of 32 x 32.
    light = ((x // 32) + (y // 32)) % 2 == 0
    base = 70 if light else 58
    grain = ((x * 31 + y * 17) % 7) - 3
    return (base + grain, base + 20 + grain, base + 10 + grain)


def main():
    for f in range(2):
        write_png(f"sprites/spr_player/{f}.png", 32, 32, player(f))
    for f in range(4):
        write_png(f"sprites/spr_coin/{f}.png", 16, 16, coin(f))
    write_png("sprites/spr_wall/0.png", 32, 32, wall)
    write_png("sprites/spr_spike/0.png", 24, 24, spike)
    write_png("backgrounds/bg_floor.png", 64, 64, floor)


if __name__ == "__main__":
    main()
