#!/usr/bin/env python3
"""Generate Kalmix's sound effects (resources/sounds/101.wav ... 111.wav).

Run from the project root:

    python3 tools/make_sounds.py

Every sound is synthesised from sines: bell/marimba-like notes are a
fundamental plus a couple of quieter, faster-decaying harmonics.  Each file
gets a short attack ramp and a smooth fade-out, so playback never clicks, and
is normalised to about 75 % of full scale.  Output is 8-bit unsigned PCM
(silence = 128).  The only randomness is a small dither, drawn from a
generator seeded per sound, so the files come out identical byte for byte on
every run.
"""

import math
import os
import random
import struct
import wave

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT_DIR = os.path.join(ROOT, "resources", "sounds")

PEAK = 0.75            # target peak, fraction of full scale
MAX_PARTIAL_HZ = 3900  # keep everything soft and well below Nyquist
SEED = 20240611

# Equal-tempered note frequencies (A4 = 440 Hz).
_NAMES = {"C": -9, "D": -7, "E": -5, "F": -4, "G": -2, "A": 0, "B": 2}


def hz(name):
    """'C5', 'F#4', 'Bb3' -> frequency in Hz."""
    letter, rest = name[0], name[1:]
    semis = _NAMES[letter]
    if rest.startswith("#"):
        semis, rest = semis + 1, rest[1:]
    elif rest.startswith("b"):
        semis, rest = semis - 1, rest[1:]
    octave = int(rest)
    return 440.0 * 2.0 ** ((semis + 12 * (octave - 4)) / 12.0)


# Timbres: (harmonic ratio, relative level, decay speed factor).
BELL = ((1.0, 1.0, 1.0), (2.0, 0.30, 1.8), (3.0, 0.10, 2.6))
MARIMBA = ((1.0, 1.0, 1.0), (4.0, 0.12, 4.0))
PURE = ((1.0, 1.0, 1.0),)
WARM = ((1.0, 1.0, 1.0), (2.0, 0.18, 1.3))


class Track:
    """A float mixing buffer for one channel."""

    def __init__(self, rate, seconds):
        self.rate = rate
        self.n = int(round(rate * seconds))
        self.buf = [0.0] * self.n

    def note(self, start, freq, length, decay, timbre=BELL, gain=1.0,
             attack=0.003, glide_to=None):
        """Add one struck note.

        start, length and attack are in seconds; decay is the time constant
        of the exponential fade of the fundamental.  If glide_to is given,
        the pitch slides smoothly (exponentially) from freq to glide_to over
        the note.  The note ends with a short cosine release so it never
        stops abruptly.
        """
        rate = self.rate
        i0 = int(round(start * rate))
        count = min(int(round(length * rate)), self.n - i0)
        if count <= 0:
            return
        a_len = max(1, int(round(attack * rate)))
        r_len = max(1, min(count // 3, int(round(0.015 * rate))))
        for ratio, level, speed in timbre:
            top = freq * ratio
            if glide_to is not None:
                top = max(top, glide_to * ratio)
            if top > MAX_PARTIAL_HZ:
                continue
            tau = decay / speed
            phase = 0.0
            for k in range(count):
                t = k / rate
                if glide_to is None:
                    f = freq
                else:
                    f = freq * (glide_to / freq) ** (k / max(1, count - 1))
                env = math.exp(-t / tau)
                if k < a_len:
                    env *= 0.5 - 0.5 * math.cos(math.pi * k / a_len)
                left = count - 1 - k
                if left < r_len:
                    env *= 0.5 - 0.5 * math.cos(math.pi * left / r_len)
                self.buf[i0 + k] += gain * level * env * math.sin(phase)
                phase += 2.0 * math.pi * ratio * f / rate


def _master_envelope(n, rate, fade_in=0.003, fade_out=0.012):
    """Raised-cosine fade in/out over the whole sound; 0 at both ends."""
    a = max(2, min(n // 4, int(round(fade_in * rate))))
    r = max(2, min(n // 3, int(round(fade_out * rate))))
    env = [1.0] * n
    for k in range(a):
        env[k] = 0.5 - 0.5 * math.cos(math.pi * k / a)
    for k in range(r):
        idx = n - 1 - k
        env[idx] = min(env[idx], 0.5 - 0.5 * math.cos(math.pi * k / r))
    return env


def write_wav(path, rate, tracks, seed):
    """Normalise, dither and write 8-bit unsigned PCM (1 or 2 channels)."""
    n = tracks[0].n
    # Longer sounds get a proportionally longer, gentler fade-out.
    env = _master_envelope(n, rate, fade_out=max(0.012, 0.05 * n / rate))
    chans = [[s * e for s, e in zip(t.buf, env)] for t in tracks]
    peak = max(abs(s) for ch in chans for s in ch) or 1.0
    scale = PEAK * 127.0 / peak
    rng = random.Random(seed)
    frames = bytearray()
    for k in range(n):
        for ch in chans:
            # Light triangular dither, faded with the sound so that the
            # first and last samples are exact silence.
            d = (rng.random() - rng.random()) * 0.5 * env[k]
            v = 128 + int(round(ch[k] * scale + d))
            frames += struct.pack("B", max(1, min(254, v)))
    with wave.open(path, "wb") as w:
        w.setnchannels(len(tracks))
        w.setsampwidth(1)
        w.setframerate(rate)
        w.writeframes(bytes(frames))


# --- the sounds --------------------------------------------------------------

def s101():
    """Praise: bright two-note chime, up a major third."""
    t = Track(22050, 0.24)
    t.note(0.000, hz("C6"), 0.24, 0.10, BELL, 0.8)
    t.note(0.070, hz("E6"), 0.17, 0.09, BELL, 0.9)
    return 22050, [t]


def s102():
    """Praise: up a fourth, a touch warmer than 101."""
    t = Track(22050, 0.21)
    t.note(0.000, hz("G5"), 0.21, 0.09, BELL, 0.8)
    t.note(0.060, hz("C6"), 0.15, 0.08, BELL, 0.9)
    return 22050, [t]


def s103():
    """Praise: quick three-note sparkle."""
    t = Track(22050, 0.20)
    t.note(0.000, hz("D6"), 0.20, 0.06, MARIMBA, 0.7)
    t.note(0.045, hz("F#6"), 0.155, 0.06, MARIMBA, 0.75)
    t.note(0.090, hz("A6"), 0.11, 0.06, MARIMBA, 0.8)
    return 22050, [t]


def s104():
    """Praise: rising C major arpeggio."""
    t = Track(22050, 0.33)
    for i, name in enumerate(("C5", "E5", "G5", "C6")):
        start = 0.065 * i
        t.note(start, hz(name), 0.33 - start, 0.10, BELL, 0.6 + 0.1 * i)
    return 22050, [t]


def s105():
    """Soft pop when another picture appears: short falling sine."""
    t = Track(22050, 0.09)
    t.note(0.0, 880.0, 0.09, 0.025, WARM, 1.0, attack=0.002, glide_to=420.0)
    return 22050, [t]


def s106():
    """Small wooden tick."""
    t = Track(11025, 0.11)
    t.note(0.0, 1760.0, 0.11, 0.012, ((1.0, 1.0, 1.0), (1.5, 0.3, 1.5)),
           1.0, attack=0.002)
    t.note(0.0, 440.0, 0.11, 0.02, PURE, 0.25, attack=0.002)
    return 11025, [t]


def s107():
    """End of a game: short C major fanfare with a held final chord."""
    rate, length = 11025, 1.80
    left, right = Track(rate, length), Track(rate, length)
    # (start, note, pan -1..1, note length, decay)
    melody = (
        (0.00, "G4", -0.3, 0.20, 0.12),
        (0.14, "C5", 0.3, 0.20, 0.12),
        (0.28, "E5", -0.3, 0.20, 0.12),
        (0.42, "G5", 0.3, 0.30, 0.16),
        (0.66, "E5", -0.2, 0.16, 0.10),
        (0.80, "G5", 0.2, 0.20, 0.12),
    )
    for start, name, pan, dur, decay in melody:
        f = hz(name)
        left.note(start, f, dur, decay, BELL, 0.55 * (1 - 0.35 * pan))
        right.note(start, f, dur, decay, BELL, 0.55 * (1 + 0.35 * pan))
    chord = (("C5", -0.4), ("E5", 0.4), ("G5", -0.2), ("C6", 0.2))
    for name, pan in chord:
        f = hz(name)
        # A hair of detune between the sides widens the chord.
        left.note(1.00, f * 0.9995, 0.80, 0.35, WARM, 0.40 * (1 - 0.35 * pan))
        right.note(1.00, f * 1.0005, 0.80, 0.35, WARM, 0.40 * (1 + 0.35 * pan))
    return rate, [left, right]


def s108():
    """Start of a game: very short bright blip."""
    rate = 11025
    left, right = Track(rate, 0.02), Track(rate, 0.02)
    for t in (left, right):
        t.note(0.0, hz("G6"), 0.02, 0.008, WARM, 1.0, attack=0.002)
    return rate, [left, right]


def s109():
    """Spare: calm melody over a quiet C major pad."""
    t = Track(11025, 1.80)
    for name in ("C4", "G4", "E5"):
        t.note(0.0, hz(name), 1.80, 0.9, PURE, 0.18, attack=0.004)
    tune = (("E5", 0.00), ("G5", 0.40), ("E5", 0.80), ("C5", 1.20))
    for name, start in tune:
        t.note(start, hz(name), min(0.60, 1.80 - start), 0.25, WARM, 0.5,
               attack=0.005)
    return 11025, [t]


def s110():
    """Wrong answer: soft, low 'uh-oh' (two sine notes, the second sinking)."""
    t = Track(11025, 0.71)
    t.note(0.00, hz("A4"), 0.28, 0.30, WARM, 0.9, attack=0.005)
    t.note(0.27, hz("E4"), 0.44, 0.30, WARM, 0.9, attack=0.005,
           glide_to=hz("C4"))
    return 11025, [t]


def s111():
    """Praise: quick bright ding."""
    t = Track(11025, 0.11)
    t.note(0.0, hz("G6"), 0.11, 0.05, WARM, 1.0, attack=0.002)
    t.note(0.0, hz("B5"), 0.11, 0.04, PURE, 0.3, attack=0.002)
    return 11025, [t]


SOUNDS = {
    101: s101, 102: s102, 103: s103, 104: s104, 105: s105, 106: s106,
    107: s107, 108: s108, 109: s109, 110: s110, 111: s111,
}


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    for sid, make in sorted(SOUNDS.items()):
        rate, tracks = make()
        path = os.path.join(OUT_DIR, "%d.wav" % sid)
        write_wav(path, rate, tracks, SEED + sid)
        print("wrote %s (%d ch, %d Hz, %.3f s)"
              % (os.path.relpath(path, ROOT), len(tracks), rate,
                 tracks[0].n / float(rate)))


if __name__ == "__main__":
    main()
