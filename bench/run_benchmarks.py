#!/usr/bin/env python3
"""Kalmix measured against the floor, a Qt Widgets program with one window and one label.

Runs the real kalmix under a virtual X display (Xvfb) and prints, with the targets:
  1. start-up: exec to the main window shown, median of 5 runs after a warm-up (and the
     splash shown), as a ratio to the floor's exec to its window;
  2. memory: resident set 5 s after the main window appears, idle, as a ratio to the floor's;
  3. processor: CPU time while idle with the main window shown, and on average during 30 s of
     a counting game played by this script;
  4. scale: start-up with 1,000 players against start-up with one; bench_ini's SaveIni;
     bench_ok, OK in the settings window with 10,000 players; and bench_players, a player
     added, renamed and deleted with 10 and with 10,000 players;
  5. responsiveness: bench_response (Enter to the picture painted), also with the practice
     history held by another program (a write, and the whole file).

usage: run_benchmarks.py BUILD_DIR   (needs Xvfb and xdotool)
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
KALMIX = os.path.join(BUILD, "src", "kalmix")
FLOOR = os.path.join(BUILD, "bench", "bench_floor_app")
PROBE = os.path.join(BUILD, "tests", "liblabel_probe.so")
TICK = os.sysconf("SC_CLK_TCK")


def settings(players):
    lines = ["[Optionen]", "Sprache= 0", "PlaySound= 0", "LogFile= 1", "SignMul= ·",
             "SignDiv= :", "[Benutzer]"]
    lines += ["Name%d=Player %d" % (n, n) for n in range(1, players + 1)]
    lines += ["aktiv=Player 1"]
    for n in range(1, players + 1):
        lines += ["[Player %d]" % n, "Uebung= 0", "MaxSum= 6",
                  "Symbole=1011010100000000000000000", "Faktoren=00110101000100000000",
                  "AufgZeit= 0", "Zeit=120", "AufgZahl=100", "Animation= 1", "Hilfe= 1",
                  "Null= 0"]
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


class Display:
    def __init__(self):
        r, w = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0",
                                      "1024x768x24", "-nolisten", "tcp", "-noreset"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     pass_fds=(w,))
        os.close(w)
        with os.fdopen(r) as pipe:
            self.name = ":" + pipe.readline().strip()

    def close(self):
        self.proc.terminate()
        self.proc.wait()


class Run:
    """One program started in a fresh directory with the probe preloaded."""

    def __init__(self, display, program, players=1):
        self.dir = tempfile.mkdtemp(prefix="kalmix-bench-")
        self.exe = os.path.join(self.dir, os.path.basename(program))
        shutil.copy2(program, self.exe)
        with open(os.path.join(self.dir, "Kalmix.ini"), "wb") as f:
            f.write(settings(players))
        self.probe = os.path.join(self.dir, "probe.txt")
        self.env = dict(os.environ, DISPLAY=display.name, LANG="de_DE.UTF-8",
                        LD_PRELOAD=PROBE, KALMIX_PROBE=self.probe)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.started = time.monotonic_ns()
        self.proc = subprocess.Popen([self.exe], cwd=self.dir, env=self.env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def lines(self):
        try:
            with open(self.probe, encoding="utf-8") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def shown(self, name, timeout=20):
        end = time.monotonic() + timeout
        pattern = re.compile(r"^%s\t<shown (\d+)>$" % name)
        while time.monotonic() < end:
            for line in self.lines():
                m = pattern.match(line)
                if m:
                    return int(m.group(1))
            time.sleep(0.01)
        raise RuntimeError("%s was not shown" % name)

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.proc.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICK

    def rss_kib(self):
        with open("/proc/%d/status" % self.proc.pid) as f:
            return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))

    def xdo(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True,
                              text=True).stdout.strip()

    def close(self):
        self.proc.kill()
        self.proc.wait()
        shutil.rmtree(self.dir)


def startup(display, program, window, players=1, runs=5):
    times, splash = [], []
    for i in range(runs + 1):  # the first run warms the caches up
        run = Run(display, program, players)
        try:
            shown = run.shown(window)
            if i:
                times.append((shown - run.started) / 1e6)
                if window == "frmKalmix":
                    splash.append((run.shown("frmInfo") - run.started) / 1e6)
        finally:
            run.close()
    return statistics.median(times), (statistics.median(splash) if splash else None)


def idle(display, program, window):
    run = Run(display, program)
    try:
        run.shown(window)
        time.sleep(5)
        rss = run.rss_kib()
        before = run.cpu_seconds()
        time.sleep(10)
        return rss, run.cpu_seconds() - before
    finally:
        run.close()


def game_cpu(display, seconds=30):
    """Plays counting tasks with the keyboard for the given time; CPU share of one core."""
    run = Run(display, KALMIX)
    try:
        run.shown("frmKalmix")
        time.sleep(1)
        wid = run.xdo("search", "--onlyvisible", "--name", "^Kalmix$").split()[0]
        geometry = dict(l.split("=") for l in run.xdo("getwindowgeometry", "--shell", wid)
                        .splitlines() if "=" in l)
        run.xdo("mousemove", str(int(geometry["X"]) + 680), str(int(geometry["Y"]) + 22))
        run.xdo("click", "1")
        before, start = run.cpu_seconds(), time.monotonic()
        answered = 0
        opens = 0
        while time.monotonic() - start < seconds:
            lines = run.lines()
            now_opens = sum(1 for l in lines if l == "txtErgebnis\t<cleared>")
            if now_opens > opens:
                opens = now_opens
                task = [l for l in lines if l.startswith("lblAufgabe\t")][-1]
                run.xdo("type", str(task.count("O")))
                run.xdo("key", "Return")
                answered += 1
            time.sleep(0.1)
        used = run.cpu_seconds() - before
        return used / (time.monotonic() - start), answered
    finally:
        run.close()


def main():
    for tool in ("Xvfb", "xdotool"):
        if not shutil.which(tool):
            sys.exit("%s is needed: apt-get install xvfb xdotool" % tool)
    display = Display()
    try:
        floor_start, _ = startup(display, FLOOR, "floor")
        kalmix_start, splash = startup(display, KALMIX, "frmKalmix")
        many_start, _ = startup(display, KALMIX, "frmKalmix", players=1000)
        floor_rss, floor_idle = idle(display, FLOOR, "floor")
        kalmix_rss, kalmix_idle = idle(display, KALMIX, "frmKalmix")
        share, answered = game_cpu(display)
    finally:
        display.close()
    print("1. start-up (median of 5): kalmix %.0f ms, floor %.0f ms, ratio %.2f (target <= 1.5);"
          " splash shown after %.0f ms" % (kalmix_start, floor_start, kalmix_start / floor_start,
                                           splash))
    print("2. memory 5 s after the window: kalmix %.1f MiB, floor %.1f MiB, ratio %.2f "
          "(target <= 1.6)" % (kalmix_rss / 1024, floor_rss / 1024, kalmix_rss / floor_rss))
    print("3. processor: idle %.2f s of CPU in 10 s (target 0); counting game %.2f%% of one core"
          " over 30 s, %d answers (target <= 1%%)" % (kalmix_idle, share * 100, answered))
    print("4. scale: start-up with 1000 players %.0f ms, with one %.0f ms, ratio %.2f "
          "(target <= 1.5)" % (many_start, kalmix_start, many_start / kalmix_start))
    for program in ("bench_ini", "bench_ok", "bench_players", "bench_response",
                    "bench_response --locked=write", "bench_response --locked=exclusive"):
        name, *args = program.split()
        if args:
            print("   " + program + ":")
        out = subprocess.run([os.path.join(BUILD, "bench", name)] + args, capture_output=True,
                             text=True)
        for line in out.stdout.splitlines():
            print("   " + line)


if __name__ == "__main__":
    main()
