#!/usr/bin/env python3
"""Starts kalmix many times under a virtual X display and reports every start that does not
reach the main window: a crash (with the backtrace of its core dump) or a hang (with the
backtrace of the hanging process). Not part of the test command; run it by hand:

    python3 tools/stress/start_stress.py build/src/kalmix --runs 300
    python3 tools/stress/start_stress.py build/src/kalmix --runs 100 --load 2 --slow-display
    python3 tools/stress/start_stress.py build/src/kalmix --runs 100 --fresh-display

--load N keeps N busy processes running beside it, --slow-display stops the X server for a
random moment during every start, --fresh-display starts every kalmix on a new X server at
once, as a test run does. Each start runs in a scratch folder with its own copy of the program,
so the settings file there is its own; every fourth start is a first start (no settings file),
and every second one ends with the end button (the others are terminated), whose exit status
must be 0.
Needs Xvfb, xdotool and gdb. Exit status 1 when any start failed.
"""
import argparse
import glob
import os
import random
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time


def start_xvfb():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
         "-nolisten", "tcp", "-noreset"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        sys.exit("Xvfb did not start")
    return xvfb, ":" + number


def main_window_shown(env):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Kalmix$"],
                         env=env, capture_output=True, text=True).stdout.split()
    for wid in out:
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", wid], env=env,
                                  capture_output=True, text=True).stdout
        values = dict(line.split("=") for line in geometry.splitlines() if "=" in line)
        if int(values.get("WIDTH", 0)) >= 600:
            return int(values["X"]), int(values["Y"])
    return None


def end_with_button(env, window):
    """The end button and its question, answered Yes with Enter."""
    x, y = window
    subprocess.run(["xdotool", "mousemove", str(x + 680), str(y + 59), "click", "1"], env=env)
    time.sleep(0.5)
    subprocess.run(["xdotool", "key", "Return"], env=env)


def backtrace(args):
    out = subprocess.run(["gdb", "-batch", "-nx", "-ex", "set pagination off",
                          "-ex", "thread apply all bt 25"] + args,
                         capture_output=True, text=True, timeout=120)
    return "\n".join(line for line in out.stdout.splitlines()
                     if line.startswith(("#", "Thread", "Program terminated", "Core was")))


def one_start(exe, work, env, timeout, slow_xvfb, first_start, end_by_button):
    if first_start:
        for name in ("Kalmix.ini",):
            try:
                os.remove(os.path.join(work, name))
            except FileNotFoundError:
                pass
    for core in glob.glob(os.path.join(work, "core*")):
        os.remove(core)

    def cores_on():
        resource.setrlimit(resource.RLIMIT_CORE, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))

    err_path = os.path.join(work, "stderr.txt")
    began = time.monotonic()
    with open(err_path, "wb") as err:
        proc = subprocess.Popen([exe], cwd=work, env=env, stdout=err, stderr=subprocess.STDOUT,
                                preexec_fn=cores_on)
    if slow_xvfb is not None:
        # The display stops answering for a moment somewhere in the start.
        time.sleep(random.uniform(0.0, 0.4))
        slow_xvfb.send_signal(signal.SIGSTOP)
        time.sleep(random.uniform(0.2, 2.0))
        slow_xvfb.send_signal(signal.SIGCONT)
    result = None
    window = None
    while time.monotonic() - began < timeout:
        if proc.poll() is not None:
            result = "ended with %d before its main window showed" % proc.returncode
            break
        window = main_window_shown(env)
        if window:
            break
        time.sleep(0.05)
    else:
        result = "no main window after %d s\n%s" % (timeout, backtrace(["-p", str(proc.pid)]))
    took = time.monotonic() - began
    if window and end_by_button:
        end_with_button(env, window)
        try:
            proc.wait(timeout)
            if proc.returncode != 0:
                result = "ended with %d after its end button" % proc.returncode
        except subprocess.TimeoutExpired:
            result = "still running %d s after its end button\n%s" % (
                timeout, backtrace(["-p", str(proc.pid)]))
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    elif result and proc.returncode < 0:
        time.sleep(0.5)
        cores = glob.glob(os.path.join(work, "core*"))
        result += "\n" + (backtrace([exe, cores[0]]) if cores else "(no core file)")
    if result:
        with open(err_path, encoding="utf-8", errors="replace") as f:
            result += "\nprinted:\n" + f.read()[-2000:]
    return result, took


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kalmix")
    parser.add_argument("--runs", type=int, default=200)
    parser.add_argument("--load", type=int, default=0)
    parser.add_argument("--slow-display", action="store_true")
    parser.add_argument("--fresh-display", action="store_true")
    parser.add_argument("--timeout", type=float, default=20.0)
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="kalmix-stress-")
    exe = os.path.join(work, "kalmix")
    shutil.copy2(args.kalmix, exe)
    load = [subprocess.Popen([sys.executable, "-c", "while True: pass"])
            for _ in range(args.load)]
    xvfb = None
    failures = []
    times = []
    try:
        for run in range(1, args.runs + 1):
            if xvfb is None or args.fresh_display:
                if xvfb is not None:
                    xvfb.terminate()
                    xvfb.wait()
                xvfb, display = start_xvfb()
            env = dict(os.environ, DISPLAY=display)
            env.pop("QT_QPA_PLATFORM", None)
            env["LC_ALL"] = random.choice(["de_DE.UTF-8", "C.UTF-8", "fr_FR.UTF-8"])
            result, took = one_start(exe, work, env, args.timeout,
                                     xvfb if args.slow_display else None, run % 4 == 1,
                                     run % 2 == 0)
            times.append(took)
            if result:
                failures.append((run, result))
                print("start %d: %s" % (run, result), flush=True)
            elif run % 25 == 0:
                print("%d starts, %d failed, slowest %.1f s" % (run, len(failures), max(times)),
                      flush=True)
    finally:
        for p in load:
            p.kill()
            p.wait()
        if xvfb is not None:
            xvfb.terminate()
            xvfb.wait()
    print("%d starts, %d failed; start to main window: median %.2f s, slowest %.2f s"
          % (args.runs, len(failures), sorted(times)[len(times) // 2], max(times)))
    if not failures:
        shutil.rmtree(work, ignore_errors=True)
    else:
        print("scratch folder kept: " + work)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
