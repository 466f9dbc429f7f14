#!/usr/bin/env python3
"""Writes a game project with N moving instances, each with a step event, for the engine
benchmark: make_project.py N FOLDER"""
import json, os, sys

n, folder = int(sys.argv[1]), sys.argv[2]
os.makedirs(folder, exist_ok=True)
code = "if x > room_width { x = 0; }\nif y > room_height { y = 0; }\n"
manifest = {
    "objects": [{
        "name": "mover",
        "events": [
            {"type": "create", "actions": [{"function": 34, "arguments": [
                "speed = 1 + (id mod 5); direction = (id * 37) mod 360;"]}]},
            {"type": "step", "actions": [{"function": 34, "arguments": [code]}]},
        ],
    }],
    "rooms": [{
        "name": "field", "width": 1024, "height": 768, "speed": 60,
        "instances": [{"x": (i * 53) % 1024, "y": (i * 97) % 768, "object": "mover"}
                      for i in range(n)],
    }],
}
with open(os.path.join(folder, "kelvane-project.json"), "w") as f:
    json.dump(manifest, f)
