#!/usr/bin/env python3
"""Writes a game project for the engine benchmark: make_project.py N FOLDER [collide]

Without `collide`: N instances with a step event each, moving and wrapping around a
1024 x 768 room. With `collide`: N instances of a precise 32 x 32 ball sprite (a disc)
moving in a 2048 x 1536 room, with a collision event of the ball with its own kind that
counts the hits."""
import json, os, struct, sys

n, folder = int(sys.argv[1]), sys.argv[2]
collide = len(sys.argv) > 3 and sys.argv[3] == "collide"
os.makedirs(folder, exist_ok=True)


def write_disc(path, size=32):
    """A 24-bit BMP: a white disc on black; black (bottom-left) is see-through."""
    row = (size * 3 + 3) & ~3
    pixels = bytearray()
    r = size / 2
    for y in range(size - 1, -1, -1):  # rows from the bottom
        line = bytearray()
        for x in range(size):
            inside = (x + 0.5 - r) ** 2 + (y + 0.5 - r) ** 2 <= (r - 1) ** 2
            line += b"\xff\xff\xff" if inside else b"\x00\x00\x00"
        pixels += line + b"\x00" * (row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


width, height = (2048, 1536) if collide else (1024, 768)
code = "if x > room_width { x = 0; }\nif y > room_height { y = 0; }\n"
mover = {
    "name": "mover",
    "events": [
        {"type": "create", "actions": [{"function": 34, "arguments": [
            "speed = 1 + (id mod 5); direction = (id * 37) mod 360;"]}]},
        {"type": "step", "actions": [{"function": 34, "arguments": [code]}]},
    ],
}
manifest = {"objects": [mover]}
if collide:
    write_disc(os.path.join(folder, "ball.bmp"))
    manifest["sprites"] = [{"name": "ball", "precise": True, "frames": [{"file": "ball.bmp"}]}]
    mover["sprite"] = "ball"
    mover["events"].append({"type": "collision", "number": 0, "actions": [
        {"function": 34, "arguments": ["global.hits += 1;"]}]})
manifest["rooms"] = [{
    "name": "field", "width": width, "height": height, "speed": 60,
    "creation_code": "global.hits = 0;",
    "instances": [{"x": (i * 53) % width, "y": (i * 97) % height, "object": "mover"}
                  for i in range(n)],
}]
with open(os.path.join(folder, "kelvane-project.json"), "w") as f:
    json.dump(manifest, f)
