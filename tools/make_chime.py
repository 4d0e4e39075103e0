#!/usr/bin/env python3
"""Writes assets/chime.wav, the new-article chime: two soft bell tones, 0.55 s, 16-bit PCM mono at 22050 Hz."""
import math
import struct
import sys
import wave

RATE = 22050
SECONDS = 0.55
# (start in seconds, frequency in Hz): a rising fourth, like a door chime.
TONES = [(0.0, 1046.5), (0.14, 1396.9)]


def sample(t):
    value = 0.0
    for start, frequency in TONES:
        if t < start:
            continue
        age = t - start
        envelope = math.exp(-age * 7.0) * min(1.0, age / 0.004)
        # A bell: the fundamental with a quieter, faster-fading upper partial.
        value += envelope * (math.sin(2 * math.pi * frequency * age)
                             + 0.3 * math.exp(-age * 12.0) * math.sin(2 * math.pi * 2.76 * frequency * age))
    fade = min(1.0, (SECONDS - t) / 0.05)
    return 0.33 * value * fade


def main(path):
    frames = bytearray()
    for n in range(int(RATE * SECONDS)):
        frames += struct.pack('<h', int(max(-1.0, min(1.0, sample(n / RATE))) * 32767))
    with wave.open(path, 'wb') as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(bytes(frames))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'assets/chime.wav')
