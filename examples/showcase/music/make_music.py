#!/usr/bin/env python3
"""Synthesises the showcase's music, 18 s of mono sound, and encodes it as showcase.mp3.

    python3 examples/showcase/music/make_music.py      (needs lame)

A slow pad on an A minor - F - C - G progression (four bars of 4.5 s), a soft pulse on every
beat from the second bar on, and a fade over the last two seconds. Everything is computed
here from sine and triangle waves; nothing is sampled from elsewhere. Licence: CC0 (see
README.md beside it).
"""
import math
import os
import struct
import subprocess
import sys
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
RATE = 44100
SECONDS = 18.0
BAR = 4.5
BEAT = BAR / 4

CHORDS = [(57, 60, 64), (53, 57, 60), (48, 52, 55), (55, 59, 62)]  # MIDI notes


def freq(note):
    return 440.0 * 2 ** ((note - 69) / 12.0)


def tri(phase):
    x = phase % 1.0
    return 4 * x - 1 if x < 0.5 else 3 - 4 * x


def sample(t):
    bar = int(t // BAR) % len(CHORDS)
    into = t % BAR
    swell = min(1.0, into / 0.6) * min(1.0, (BAR - into) / 0.4 + 0.3)
    pad = sum(math.sin(2 * math.pi * freq(n) * t) + 0.3 * tri(freq(n) * 2 * t) for n in CHORDS[bar]) / 6
    bass = 0.5 * math.sin(2 * math.pi * freq(CHORDS[bar][0] - 24) * t)
    pulse = 0.0
    if t >= BAR:
        b = t % BEAT
        pulse = 0.6 * math.exp(-b * 9) * math.sin(2 * math.pi * 70 * b * (1 - b))
    fade = min(1.0, t / 1.5) * min(1.0, (SECONDS - t) / 2.0)
    return 0.45 * fade * (pad * swell + bass + pulse)


def main():
    wav = os.path.join(HERE, "showcase.wav")
    with wave.open(wav, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        frames = bytearray()
        for i in range(int(SECONDS * RATE)):
            v = max(-1.0, min(1.0, sample(i / RATE)))
            frames += struct.pack("<h", int(v * 32767))
        w.writeframes(bytes(frames))
    mp3 = os.path.join(HERE, "showcase.mp3")
    subprocess.check_call(["lame", "--quiet", "-m", "m", "-b", "48", "--resample", "44.1", wav, mp3])
    os.remove(wav)
    print("wrote", mp3)


if __name__ == "__main__":
    sys.exit(main())
