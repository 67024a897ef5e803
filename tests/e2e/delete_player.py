#!/usr/bin/env python3
"""End-to-end: deleting a player chosen with the keyboard, in the real kalmix under a virtual
X display.

Three players are known (Anna active, Ben, Carla). The settings window is opened from the
toolbar; the arrow key moves from Anna to Ben in the player list, Enter on the focused delete
button asks first: No keeps every byte of the settings file, Yes deletes Ben, his section and
his list entry, and nothing of Anna or Carla. Escape leaves the window, the end button ends
Kalmix, and the settings file is checked.

usage: delete_player.py KALMIX_EXECUTABLE PROBE_LIBRARY
"""
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import Session, fail, wait_for  # noqa: E402

KALMIX, PROBE = sys.argv[1], sys.argv[2]

START_INI = (
    b"[Optionen]\r\nSprache= 0\r\nPlaySound= 0\r\nSignMul= x\r\nSignDiv= :\r\nLogFile= 0\r\n"
    b"[Benutzer]\r\nName1=Anna\r\nName2=Ben\r\nName3=Carla\r\naktiv=Anna\r\n"
    b"[Anna]\r\nUebung= 2\r\nMaxSum= 1\r\n"
    b"[Ben]\r\nUebung= 5\r\nFaktoren=1\r\n"
    b"[Carla]\r\nUebung= 3\r\nMaxSum= 3\r\n"
)


def main():
    workdir = tempfile.mkdtemp(prefix="kalmix-e2e-")
    executable = os.path.join(workdir, "kalmix")
    shutil.copy2(KALMIX, executable)
    ini_path = os.path.join(workdir, "Kalmix.ini")
    with open(ini_path, "wb") as f:
        f.write(START_INI)
    session = Session(workdir, PROBE)
    try:
        delete_ben(session, executable, ini_path)
    finally:
        session.close()
    check_file(read(ini_path))
    shutil.rmtree(workdir)
    print("end-to-end player deletion: 1 passed, 0 failed")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def wizard_open(s):
    return s.xdo("search", "--onlyvisible", "--name", "Einstellungen")


def refocus_wizard(s):
    """Without a window manager the keyboard does not go back to the settings window by itself
    when a message box closes."""
    s.xdo("windowfocus", "--sync", wizard_open(s).split()[0])
    time.sleep(0.3)


def question_open(s):
    return len(s.xdo("search", "--onlyvisible", "--name", "^Kalmix$").split()) > 1


def delete_ben(s, executable, ini_path):
    s.start(executable)
    s.wait_main_window()
    time.sleep(0.5)
    s.click(680, 170)                  # the toolbar's options button
    wait_for("the wizard", lambda: wizard_open(s))
    time.sleep(0.3)
    s.keys("Tab")                      # from the name box into the player list, on Anna
    s.keys("Down")                     # Ben: chosen with the keyboard alone
    time.sleep(0.3)
    s.keys("Tab")                      # the delete button
    time.sleep(0.3)
    before = read(ini_path)
    s.keys("Return")                   # Enter presses the focused button: the question
    wait_for("the first delete question", lambda: question_open(s))
    time.sleep(0.3)
    s.keys("Return")                   # its default is No
    wait_for("the question to close", lambda: not question_open(s))
    time.sleep(0.3)
    if read(ini_path) != before:
        fail("answering No changed the settings file:\n%r" % read(ini_path))
    refocus_wizard(s)
    s.keys("Return")                   # the delete button again, and this time Yes
    wait_for("the second delete question", lambda: question_open(s),
             describe=lambda: s.windows())
    time.sleep(0.3)
    s.keys("alt+j")                    # "&Ja": the buttons speak the program's language
    wait_for("the question to close", lambda: not question_open(s))
    refocus_wizard(s)
    s.keys("Escape")                   # Cancel: the window closes
    wait_for("the wizard to close", lambda: not wizard_open(s))
    time.sleep(0.3)
    s.click(680, 59)                   # the end button, and Yes ("Ja") to its question
    wait_for("the end question", lambda: question_open(s))
    time.sleep(0.3)
    s.keys("j")
    wait_for("kalmix to end", lambda: s.kalmix.poll() is not None, 10)


def sections(ini):
    found, current = {}, None
    for line in ini.decode("utf-8").split("\r\n"):
        if line.startswith("[") and line.endswith("]"):
            current = found.setdefault(line[1:-1], {})
        elif "=" in line and current is not None:
            key, value = line.split("=", 1)
            current[key] = value.strip()
    return found


def check_file(ini):
    found = sections(ini)
    players = found.get("Benutzer", {})
    names = [players.get("Name%d" % n) for n in (1, 2, 3)]
    if names != ["Anna", "Carla", None]:
        fail("player list after deleting Ben: %r\n%r" % (names, ini))
    if "Ben" in found:
        fail("Ben's section is left:\n%r" % ini)
    if found.get("Anna", {}).get("Uebung") != "2" or found.get("Carla", {}).get("Uebung") != "3":
        fail("Anna's or Carla's profile changed:\n%r" % ini)
    options = found.get("Optionen", {})
    if options.get("PlaySound") != "0" or options.get("SignMul") != "x":
        fail("the shared options changed:\n%r" % ini)


if __name__ == "__main__":
    main()
