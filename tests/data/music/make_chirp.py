#!/usr/bin/env python3
"""Regenerates chirp.mp3, the music test fixture (needs the lame encoder; the tests do not).

3 s of 16-bit stereo at 22050 Hz: a rising chirp (200 -> 2000 Hz) on the left and a falling one
(1800 -> 300 Hz) on the right, with 200-sample fades, so that every offset and each channel
sounds different. Encoded at an average of 48 kbit/s: lame then writes the Xing/LAME header that
carries the encoder delay and padding, so the decoded length is exactly 66150 frames.
"""
import math
import os
import struct
import subprocess
import tempfile

RATE = 22050
FRAMES = RATE * 3


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    pcm = bytearray()
    phase_l = phase_r = 0.0
    for i in range(FRAMES):
        t = i / RATE
        phase_l += 2 * math.pi * (200 + 600 * t) / RATE
        phase_r += 2 * math.pi * (1800 - 500 * t) / RATE
        env = min(1.0, i / 200.0, (FRAMES - i) / 200.0)
        pcm += struct.pack('<hh', int(12000 * env * math.sin(phase_l)), int(12000 * env * math.sin(phase_r)))
    with tempfile.NamedTemporaryFile(suffix='.raw') as raw:
        raw.write(pcm)
        raw.flush()
        subprocess.check_call(['lame', '--quiet', '-r', '-s', '22.05', '--bitwidth', '16', '--signed',
                               '--little-endian', '-m', 'j', '--abr', '48', raw.name,
                               os.path.join(here, 'chirp.mp3')])


if __name__ == '__main__':
    main()
