#!/usr/bin/env python3
"""Fault test: kalmix killed with SIGKILL in the middle of a game.

Every answer that was judged before the kill is in the practice log, whole and ending in
CR LF, and the settings file is exactly as it was.

usage: kill_during_game.py KALMIX_EXECUTABLE PROBE_LIBRARY
"""
import os
import re
import shutil
import signal
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
    b"SignMul= \xc2\xb7\r\n"
    b"SignDiv= :\r\n"
    b"[Benutzer]\r\n"
    b"Name1=Carla\r\n"
    b"aktiv=Carla\r\n"
    b"[Carla]\r\n"
    b"Uebung= 2\r\n"
    b"MaxSum= 1\r\n"
    b"Symbole=1011010100000000000000000\r\n"
    b"Faktoren=00110101000100000000\r\n"
    b"AufgZeit= 0\r\n"
    b"Zeit=120\r\n"
    b"AufgZahl=10\r\n"
    b"Animation= 1\r\n"
    b"Hilfe= 1\r\n"
    b"Null= 0\r\n"
)


def main():
    workdir = tempfile.mkdtemp(prefix="kalmix-kill-")
    executable = os.path.join(workdir, "kalmix")
    shutil.copy2(KALMIX, executable)
    with open(os.path.join(workdir, "Kalmix.ini"), "wb") as f:
        f.write(SETTINGS)
    log_path = os.path.join(workdir, "Kalmix_Log.txt")
    s = Session(workdir, PROBE)
    try:
        s.start(executable)
        s.wait_main_window()
        time.sleep(0.3)
        s.click(680, 22)  # start: Carla plays at once
        opened = 0
        for _ in range(3):
            lines = wait_for("the answer box", lambda: s.opens() > opened and s.probe_lines())
            opened = s.opens()
            task = [TASK.match(l) for l in lines if TASK.match(l)][-1]
            s.type(str(int(task.group(1)) + int(task.group(2))))
            s.keys("Return")
        # Kill as soon as the third answer is in the log, in the middle of the game.
        wait_for("the third log line", lambda: os.path.exists(log_path) and
                 open(log_path, "rb").read().count(b" = ") == 3)
        os.kill(s.kalmix.pid, signal.SIGKILL)
        s.kalmix.wait()
    finally:
        s.close()
    with open(os.path.join(workdir, "Kalmix.ini"), "rb") as f:
        if f.read() != SETTINGS:
            fail("the settings file changed")
    with open(log_path, "rb") as f:
        log = f.read()
    if not log.endswith(b"\r\n"):
        fail("the log ends in half a line: %r" % log)
    lines = log.split(b"\r\n")[:-1]
    if len(lines) != 6 or lines[0] or lines[2] or not lines[1].endswith(b"Carla"):
        fail("unexpected log: %r" % log)
    for line in lines[3:]:
        if not re.fullmatch(rb"\d\d:\d\d:\d\d\t *\d+ \+ *\d+ = \d+", line):
            fail("log line %r" % line)
    shutil.rmtree(workdir)
    print("kill during a game: 1 passed, 0 failed")


if __name__ == "__main__":
    main()
