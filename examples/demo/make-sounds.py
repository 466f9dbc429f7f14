#!/usr/bin/env python3
"""Makes the demo game's sound effects (wave files) and its music (a MIDI file).

Run it from anywhere: python3 examples/demo/make-sounds.py. The output is the same on every
run (the noise comes from a seeded generator), so the committed sounds only change when
this script does.
"""
import math
import os
import random
import struct
import wave

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sounds")
RATE = 22050


def write_wave(name, samples):
    """samples: floats in -1 ... 1, written as 16-bit mono at RATE."""
    with wave.open(os.path.join(HERE, name), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(max(-1, min(1, s)) * 32000)) for s in samples))


def coin():
    """Two quick rising square-ish notes, like a bell."""
    out = []
    for freq, length in ((988, 0.07), (1319, 0.25)):
        n = int(RATE * length)
        for i in range(n):
            t = i / RATE
            env = math.exp(-t * 12)
            out.append(0.45 * env * math.tanh(3 * math.sin(2 * math.pi * freq * t)))
    return out


def hurt():
    """A falling buzz with some noise."""
    rnd = random.Random(7)
    out = []
    n = int(RATE * 0.35)
    phase = 0.0
    for i in range(n):
        t = i / RATE
        freq = 320 - 500 * t
        phase += 2 * math.pi * freq / RATE
        env = 1 - t / 0.35
        saw = (phase / math.pi) % 2 - 1
        out.append(0.5 * env * (0.7 * saw + 0.3 * (rnd.random() * 2 - 1)))
    return out


def vlq(n):
    b = [n & 0x7F]
    n >>= 7
    while n:
        b.insert(0, (n & 0x7F) | 0x80)
        n >>= 7
    return bytes(b)


def music():
    """A calm eight-bar loop: melody on a vibraphone, bass on a plucked bass (format 0)."""
    tick = 240  # ticks a quarter note
    melody = [72, 76, 79, 76, 74, 77, 81, 77, 72, 76, 79, 84, 83, 79, 74, 71]
    bass = [48, 53, 48, 55, 48, 53, 55, 43]
    events = []  # (time, bytes)
    for i, note in enumerate(melody):
        start = i * 2 * tick
        events.append((start, bytes([0x90, note, 84])))
        events.append((start + 2 * tick - 20, bytes([0x80, note, 0])))
    for i, note in enumerate(bass):
        start = i * 4 * tick
        events.append((start, bytes([0x91, note, 96])))
        events.append((start + 4 * tick - 30, bytes([0x81, note, 0])))
    events.sort(key=lambda e: (e[0], e[1][0] & 0xF0 == 0x90))
    track = vlq(0) + bytes([0xFF, 0x51, 3]) + (500000).to_bytes(3, "big")  # 120 a minute
    track += vlq(0) + bytes([0xC0, 11]) + vlq(0) + bytes([0xC1, 33])
    now = 0
    for time, data in events:
        track += vlq(time - now) + data
        now = time
    track += vlq(0) + bytes([0xFF, 0x2F, 0])
    head = b"MThd" + struct.pack(">IHHH", 6, 0, 1, tick)
    with open(os.path.join(HERE, "snd_music.mid"), "wb") as f:
        f.write(head + b"MTrk" + struct.pack(">I", len(track)) + track)


if __name__ == "__main__":
    os.makedirs(HERE, exist_ok=True)
    write_wave("snd_coin.wav", coin())
    write_wave("snd_hurt.wav", hurt())
    music()
