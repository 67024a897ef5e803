#!/usr/bin/env python3
"""End-to-end: the options button in the second after a wrong answer.

Carla plays additions. She answers the first task wrongly and, while the wrong-answer picture
shows, the options button opens the settings window. For as long as the window is open nothing
of the game moves: no answer box opens, no task is drawn, the clock stands. The window is
closed with OK (nothing changed), and the game goes on where it was: the rest of the second
passes, the same task comes back, a right answer leads to the next task, and the clock runs.

usage: options_during_game.py KALMIX_EXECUTABLE PROBE_LIBRARY
"""
import os
import re
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import TASK, Session, fail, wait_for  # noqa: E402

KALMIX, PROBE = sys.argv[1], sys.argv[2]

SETTINGS = (
    b"[Optionen]\r\n"
    b"Sprache= 0\r\n"
    b"PlaySound= 0\r\n"
    b"LogFile= 1\r\n"
    b"[Benutzer]\r\n"
    b"Name1=Carla\r\n"
    b"aktiv=Carla\r\n"
    b"[Carla]\r\n"
    b"Uebung= 2\r\n"
    b"MaxSum= 1\r\n"
    b"AufgZeit= 0\r\n"
    b"AufgZahl=10\r\n"
    b"Animation= 1\r\n"
    b"Hilfe= 1\r\n"
)

START, OPTIONS = (680, 22), (680, 170)


def wizard_open(s):
    return s.xdo("search", "--onlyvisible", "--name", "Einstellungen")


def clock_texts(s):
    return [line.split("\t", 1)[1] for line in s.probe_lines() if line.startswith("lblTime\t")]


def main():
    workdir = tempfile.mkdtemp(prefix="kalmix-options-")
    executable = os.path.join(workdir, "kalmix")
    shutil.copy2(KALMIX, executable)
    with open(os.path.join(workdir, "Kalmix.ini"), "wb") as f:
        f.write(SETTINGS)
    s = Session(workdir, PROBE)
    try:
        play(s, executable)
    finally:
        s.close()
    check_log(workdir)
    shutil.rmtree(workdir)
    print("end-to-end options during a game: 1 passed, 0 failed")


def play(s, executable):
    s.start(executable)
    s.wait_main_window()
    time.sleep(0.3)
    s.click(*START)
    wait_for("the first task", lambda: s.opens() >= 1 and s.tasks())
    time.sleep(0.2)
    task = s.tasks()[-1]
    right = int(task.group(1)) + int(task.group(2))

    s.type(str(right + 1))
    s.keys("Return")
    s.click(*OPTIONS)  # within the second of the wrong answer
    wait_for("the settings window", lambda: wizard_open(s))
    opens, lines, clock = s.opens(), len(s.probe_lines()), clock_texts(s)
    time.sleep(2.5)
    if s.opens() != opens:
        fail("the answer box opened under the settings window")
    drawn = [l for l in s.probe_lines()[lines:] if l.startswith("lblAufgabe\t")]
    if drawn:
        fail("a task was put on the board under the settings window: %r" % drawn)
    if clock_texts(s) != clock:
        fail("the clock ran under the settings window: %r" % clock_texts(s)[len(clock):])

    s.keys("alt+o")  # OK, nothing changed
    wait_for("the settings window to close", lambda: not wizard_open(s))
    wait_for("the same task again", lambda: s.opens() > opens)
    if s.tasks()[-1].group(0) != task.group(0):
        fail("the task changed: %r, was %r" % (s.tasks()[-1].group(0), task.group(0)))
    time.sleep(0.2)
    s.type(str(right))
    s.keys("Return")
    wait_for("the next task", lambda: s.opens() > opens + 1, 10)
    ticking = len(clock_texts(s))
    wait_for("the clock to run again", lambda: len(clock_texts(s)) > ticking + 1, 5)


def check_log(workdir):
    with open(os.path.join(workdir, "Kalmix_Log.txt"), "rb") as f:
        lines = f.read().split(b"\r\n")
    pattern = [
        rb"",
        rb"\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d {9}Carla",
        rb"",
        rb"\d\d:\d\d:\d\d\t *\d+ \+ *\d+ = \d+ +Falsch!",
        rb"\d\d:\d\d:\d\d\t *\d+ \+ *\d+ = \d+",
        rb"",
    ]
    if len(lines) != len(pattern) or not all(
            re.fullmatch(rx, line) for line, rx in zip(lines, pattern)):
        fail("practice log differs: %r" % lines)


if __name__ == "__main__":
    main()
