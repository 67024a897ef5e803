#!/usr/bin/env python3
"""End-to-end: the real kalmix executable in a fresh directory under a virtual X display.

A new user creates the player Carla through the settings wizard (addition), plays a whole
ten-task game with the keyboard (one answer wrong, one filled in by the show-solution button),
ends Kalmix with the end button, and the settings file and the practice log are checked byte
for byte. Keys and clicks go in through xdotool; the task texts come out through a small probe
library (label_probe) preloaded into kalmix.

usage: play_game.py KALMIX_EXECUTABLE PROBE_LIBRARY
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
def main():
    workdir = tempfile.mkdtemp(prefix="kalmix-e2e-")
    executable = os.path.join(workdir, "kalmix")
    shutil.copy2(KALMIX, executable)
    session = Session(workdir, PROBE)
    try:
        play(session, executable)
    finally:
        session.close()
    check_files(workdir)
    shutil.rmtree(workdir)
    print("end-to-end game: 1 passed, 0 failed")


def play(s, executable):
    s.start(executable)
    s.wait_main_window()
    time.sleep(0.5)
    # The toolbar's start button: no player yet, so the settings wizard opens.
    s.click(680, 22)
    wait_for("the wizard", lambda: s.xdo("search", "--onlyvisible", "--name", "Einstellungen"))
    time.sleep(0.3)
    s.type("Carla")
    s.keys("Return")               # page 0 -> exercise kinds
    time.sleep(0.3)
    s.keys("alt+z", "Down", "Down")  # counting, then down to addition
    s.keys("Return", "Return", "Return")  # -> number range -> game length -> help and log
    time.sleep(0.2)
    s.keys("Tab", "Tab", "space")  # tick "write logfile" (solution help, log box)
    s.keys("alt+o")                # OK: the game starts
    wait_for("the wizard to close",
             lambda: not s.xdo("search", "--onlyvisible", "--name", "Einstellungen"))

    answered = 0
    opened = 0
    while answered < 10:
        # Wait until the answer box opens again, then read the task on the board.
        lines = wait_for("answer box %d" % (opened + 1),
                         lambda: s.opens() > opened and s.probe_lines())
        opened = s.opens()
        task = [TASK.match(l) for l in lines if TASK.match(l)][-1]
        answer = int(task.group(1)) + int(task.group(2))
        if opened == 4:
            s.type(str(answer + 1))    # one answer wrong: the same task comes back
            s.keys("Return")
            continue
        if opened == 8:
            s.click(680, 96)           # the show-solution button fills in the answer
            continue
        s.type(str(answer))
        s.keys("Return")
        answered += 1
    time.sleep(1.0)
    # The end button and its question: Enter answers No, the default; J answers "Ja".
    for answer in ("Return", "j"):
        s.click(680, 59)
        wait_for("the end question",
                 lambda: len(s.xdo("search", "--onlyvisible", "--name", "^Kalmix$").split()) > 1)
        time.sleep(0.3)
        s.keys(answer)
        if answer == "Return":
            wait_for("the end question to close",
                     lambda: len(s.xdo("search", "--onlyvisible", "--name", "^Kalmix$").split()) == 1)
            if s.kalmix.poll() is not None:
                fail("Enter on the end question ended Kalmix")
    wait_for("kalmix to end", lambda: s.kalmix.poll() is not None, 10)


def check_files(workdir):
    with open(os.path.join(workdir, "Kalmix.ini"), "rb") as f:
        ini = f.read()
    expected_ini = EXPECTED_INI
    if ini != expected_ini:
        fail("settings file differs:\n%r\nexpected:\n%r" % (ini, expected_ini))
    with open(os.path.join(workdir, "Kalmix_Log.txt"), "rb") as f:
        log = f.read()
    lines = log.split(b"\r\n")
    if log.count(b"\n") != log.count(b"\r\n"):
        fail("log lines must end with CR LF")
    pattern = [
        rb"",
        rb"\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d {9}Carla",
        rb"",
    ] + [rb"\d\d:\d\d:\d\d\t *\d+ \+ *\d+ = \d+( +Falsch!| +mit Hilfestellung!)?"] * 12 + [rb"", rb""]
    if len(lines) != len(pattern):
        fail("log has %d lines, expected %d:\n%r" % (len(lines), len(pattern), log))
    for line, rx in zip(lines, pattern):
        if not re.fullmatch(rx, line):
            fail("log line %r does not match %r" % (line, rx))
    if sum(b"Falsch!" in l for l in lines) != 1 or sum(b"Hilfestellung" in l for l in lines) != 1:
        fail("expected one wrong and one helped line:\n%r" % log)
    for line in lines[3:15]:
        m = re.fullmatch(rb"\d\d:\d\d:\d\d\t *(\d+) \+ *(\d+) = (\d+)(.*)", line)
        right = int(m.group(1)) + int(m.group(2)) == int(m.group(3))
        if right == (b"Falsch!" in m.group(4)):
            fail("log line judged wrongly: %r" % line)


EXPECTED_INI = (
    b"[Optionen]\r\n"
    b"Sprache= 0\r\n"
    b"LogFile= 1\r\n"
    b"SignMul= \xc2\xb7\r\n"
    b"SignDiv= :\r\n"
    b"[Benutzer]\r\n"
    b"Name1=Carla\r\n"
    b"aktiv=Carla\r\n"
    b"[Carla]\r\n"
    b"Uebung= 2\r\n"
    b"MaxSum= 7\r\n"
    b"Symbole=1011010100000000000000000\r\n"
    b"Faktoren=00110101000100000000\r\n"
    b"AufgZeit= 0\r\n"
    b"Zeit=120\r\n"
    b"AufgZahl=10\r\n"
    b"Animation= 1\r\n"
    b"Hilfe= 1\r\n"
    b"Null= 0\r\n"
)

if __name__ == "__main__":
    main()
