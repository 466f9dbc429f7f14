#!/usr/bin/env python3
"""Writes a game project for the lean-engine benchmarks: make_project.py KIND FOLDER [N]

idle    one empty 640 x 480 room with its background colour shown.
frames  a 640 x 480 room with a tiled 64 x 64 background picture and N (default 200)
        instances of a 32 x 32 transparent sprite moving around: a typical picture for
        `--frames`.
big     100 sprites of 640 x 512 pictures (about 98 MB of 24-bit pixels) in one room with
        nothing in it: the loading benchmark. Pixels come in short runs of random colours,
        so the game file is about as large as the pictures.
"""
import json, os, random, struct, sys

kind, folder = sys.argv[1], sys.argv[2]
n = int(sys.argv[3]) if len(sys.argv) > 3 else 200
os.makedirs(folder, exist_ok=True)


def write_bmp(path, width, height, row_bytes):
    """A 24-bit BMP from a function giving each row (from the top) as bytes B, G, R."""
    pad = (width * 3 + 3) & ~3
    rows = [row_bytes(y) for y in range(height)]
    pixels = b"".join(r + b"\x00" * (pad - len(r)) for r in reversed(rows))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def room(width, height, instances, **more):
    r = {"name": "field", "width": width, "height": height, "speed": 60,
         "background_showcolor": True, "background_color": 0x402010,
         "instances": instances}
    r.update(more)
    return r


manifest = {"objects": [], "rooms": []}
if kind == "idle":
    manifest["rooms"] = [room(640, 480, [])]
elif kind == "frames":
    def tile_row(y):
        return b"".join(bytes(((x * 4) & 255, (y * 4) & 255, ((x ^ y) * 8) & 255))
                        for x in range(64))
    write_bmp(os.path.join(folder, "tile.bmp"), 64, 64, tile_row)

    def ball_row(y):
        out = bytearray()
        for x in range(32):
            inside = (x - 15.5) ** 2 + (y - 15.5) ** 2 <= 15 ** 2
            out += bytes((40, 200, 255)) if inside else b"\x00\x00\x00"
        return bytes(out)
    write_bmp(os.path.join(folder, "ball.bmp"), 32, 32, ball_row)
    manifest["backgrounds"] = [{"name": "tile", "image": {"file": "tile.bmp"}}]
    manifest["sprites"] = [{"name": "ball", "transparent": True,
                            "frames": [{"file": "ball.bmp"}]}]
    manifest["objects"] = [{
        "name": "mover", "sprite": "ball",
        "events": [
            {"type": "create", "actions": [{"function": 34, "arguments": [
                "speed = 1 + (id mod 5); direction = (id * 37) mod 360;"]}]},
            {"type": "step", "actions": [{"function": 34, "arguments": [
                "if x > room_width { x = 0; }\nif y > room_height { y = 0; }\n"
                "if x < 0 { x = room_width; }\nif y < 0 { y = room_height; }\n"]}]},
        ],
    }]
    manifest["rooms"] = [room(640, 480, [
        {"x": (i * 53) % 640, "y": (i * 97) % 480, "object": "mover"} for i in range(n)],
        backgrounds=[{"visible": True, "index": "tile", "htiled": True, "vtiled": True}])]
elif kind == "big":
    rng = random.Random(1)
    width, height, distinct = 640, 512, 10

    def noisy_row(y):
        out = bytearray()
        while len(out) < width * 3:
            out += bytes((rng.randrange(256), rng.randrange(256), rng.randrange(256))) * \
                rng.choice((1, 1, 2))
        return bytes(out[:width * 3])
    for k in range(distinct):
        write_bmp(os.path.join(folder, "pic%d.bmp" % k), width, height, noisy_row)
    manifest["sprites"] = [{"name": "pic%d" % i, "transparent": False,
                            "frames": [{"file": "pic%d.bmp" % (i % distinct)}]}
                           for i in range(100)]
    manifest["rooms"] = [room(640, 480, [])]
else:
    sys.exit("unknown kind " + kind)

with open(os.path.join(folder, "kelvane-project.json"), "w") as f:
    json.dump(manifest, f)
