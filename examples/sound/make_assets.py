#!/usr/bin/env python3
"""Writes the sound example's assets, all made here from numbers alone:

  blip.wav   a short rising chirp (key presses), 22,050 Hz mono 16-bit
  hit.wav    a noise burst with a fast decay (collisions), 22,050 Hz mono 8-bit
  tune.mod   a 4-channel ProTracker module: a looping melody over a bass line
  tune.mid   the same melody as a Standard MIDI File (format 0)

Run from anywhere: python3 examples/sound/make_assets.py [OUTPUT_DIR]
The output is deterministic, so the committed files are what this script writes.
"""
import math
import os
import struct
import sys


def wav_bytes(rate, bits, samples):
    """samples: floats in -1..1, mono."""
    if bits == 16:
        data = b"".join(struct.pack("<h", int(max(-1, min(1, s)) * 32767)) for s in samples)
    else:
        data = bytes(int(max(-1, min(1, s)) * 127) + 128 for s in samples)
    block = bits // 8
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * block, block, bits)
    return header + b"data" + struct.pack("<I", len(data)) + data


def blip(rate=22050, seconds=0.12):
    out, phase = [], 0.0
    count = int(rate * seconds)
    for i in range(count):
        t = i / count
        phase += 2 * math.pi * (600 + 900 * t) / rate
        envelope = min(1.0, i / 40) * (1 - t) ** 2
        out.append(0.8 * envelope * math.sin(phase))
    return out


def hit(rate=22050, seconds=0.2):
    out, seed, low = [], 12345, 0.0
    count = int(rate * seconds)
    for i in range(count):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        noise = seed / 0x3FFFFFFF - 1
        low += (noise - low) * 0.35  # a little darker than white noise
        out.append(0.9 * low * math.exp(-i / (rate * 0.04)))
    return out


# The melody and bass: one note per row pair, as ProTracker periods (C-1 .. C-3).
PERIODS = {"C1": 856, "D1": 762, "E1": 678, "F1": 640, "G1": 570, "A1": 508, "B1": 453,
           "C2": 428, "D2": 381, "E2": 339, "F2": 320, "G2": 285, "A2": 254, "B2": 226, "C3": 214}
MELODY = ["E2", "G2", "C3", "G2", "A2", "G2", "E2", "D2", "C2", "E2", "G2", "E2", "F2", "E2", "D2", "G1",
          "E2", "G2", "C3", "B2", "A2", "G2", "F2", "E2", "D2", "F2", "A2", "G2", "E2", "D2", "C2", None]
BASS = ["C1", "C1", "A1", "A1", "F1", "F1", "G1", "G1"]


def mod_bytes():
    lead = [int(90 * math.copysign(abs(math.sin(2 * math.pi * i / 32)) ** 0.4, math.sin(2 * math.pi * i / 32)))
            for i in range(64)]
    bass = [int(110 * (1 - 4 * abs(i / 32 - 0.5)) if i < 32 else 110 * (1 - 4 * abs((i - 32) / 32 - 0.5)))
            for i in range(64)]
    title = b"kestrel tune".ljust(20, b"\0")
    samples = b""
    for name, data, volume in ((b"lead", lead, 48), (b"bass", bass, 64)):
        samples += name.ljust(22, b"\0") + struct.pack(">HBBHH", len(data) // 2, 0, volume, 0, len(data) // 2)
    samples += (b"\0" * 22 + struct.pack(">HBBHH", 0, 0, 0, 0, 1)) * 29
    orders = bytes([0] + [0] * 127)
    header = title + samples + bytes([1, 127]) + orders + b"M.K."

    def cell(sample, period, effect=0, param=0):
        return bytes([(sample & 0xF0) | (period >> 8), period & 0xFF, ((sample & 0x0F) << 4) | effect, param])

    empty = cell(0, 0)
    pattern = b""
    for row in range(64):
        note = MELODY[row // 2] if row % 2 == 0 else None
        channel0 = cell(1, PERIODS[note]) if note else empty
        channel1 = cell(2, PERIODS[BASS[row // 8]]) if row % 8 == 0 else empty
        channel2 = cell(2, PERIODS[BASS[row // 8]] // 2, 0xC, 24) if row % 8 == 4 else empty
        pattern += channel0 + channel1 + channel2 + empty
    sample_data = bytes((v & 0xFF) for v in lead) + bytes((v & 0xFF) for v in bass)
    return header + pattern + sample_data


def variable_length(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, (value & 0x7F) | 0x80)
        value >>= 7
    return bytes(out)


def midi_bytes():
    midi_notes = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}
    def number(name, octave_shift):
        return 12 * (int(name[1]) + octave_shift) + midi_notes[name[0]]
    events = bytearray()
    events += variable_length(0) + b"\xff\x51\x03" + (500000).to_bytes(3, "big")  # 120 beats a minute
    events += variable_length(0) + bytes([0xC0, 80])  # square lead
    events += variable_length(0) + bytes([0xC1, 33])  # electric bass
    ticks = 48  # an eighth note at 96 ticks a quarter
    for i, note in enumerate(MELODY):
        bass = number(BASS[i // 4], 3)
        starts, ends = [], []
        if note:
            starts.append(bytes([0x90, number(note, 5), 100]))
            ends.append(bytes([0x80, number(note, 5), 0]))
        if i % 4 == 0:
            starts.append(bytes([0x91, bass, 90]))
        if i % 4 == 3:
            ends.append(bytes([0x81, bass, 0]))
        for event in starts:
            events += variable_length(0) + event
        # An empty text event carries the time when no note ends here.
        events += variable_length(ticks) + (ends[0] if ends else b"\xff\x01\x00")
        for event in ends[1:]:
            events += variable_length(0) + event
    events += variable_length(0) + b"\xff\x2f\x00"
    return b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96) + b"MTrk" + struct.pack(">I", len(events)) + bytes(events)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    files = {
        "blip.wav": wav_bytes(22050, 16, blip()),
        "hit.wav": wav_bytes(22050, 8, hit()),
        "tune.mod": mod_bytes(),
        "tune.mid": midi_bytes(),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
