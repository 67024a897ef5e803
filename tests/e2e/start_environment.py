"""End-to-end: the start of kalmix in awkward surroundings. Started before its X display
answers, it waits for it; without any display it says so and ends with status 1 instead of
aborting with a core dump; without a session message bus it does not wait for a slow
dbus-launch to make one."""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def free_display():
    while True:
        n = random.randint(200, 899)
        if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
            return n


def main_window(env):
    for wid in subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Kalmix$"],
                              env=env, capture_output=True, text=True).stdout.split():
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", wid], env=env,
                                  capture_output=True, text=True).stdout
        if "WIDTH=700" in geometry:
            return wid
    return None


def wait_main_window(kalmix, env, seconds, what):
    end = time.monotonic() + seconds
    while not main_window(env):
        if kalmix.poll() is not None:
            fail("kalmix ended with %d: %s" % (kalmix.returncode, kalmix.stderr.read()))
        if time.monotonic() > end:
            fail("no main window within %d s %s" % (seconds, what))
        time.sleep(0.1)


SLOW_DBUS_LAUNCH = """#!/bin/sh
echo $$ > "$(dirname "$0")/pid"
exec sleep 60
"""


def main():
    work = tempfile.mkdtemp(prefix="kalmix-late-display-")
    exe = os.path.join(work, "kalmix")
    shutil.copy2(sys.argv[1], exe)
    env = dict(os.environ, LC_ALL="C.UTF-8")
    env.pop("QT_QPA_PLATFORM", None)
    env.pop("WAYLAND_DISPLAY", None)
    xvfb = kalmix = None
    try:
        # The display comes up a second after kalmix.
        number = free_display()
        env["DISPLAY"] = ":%d" % number
        kalmix = subprocess.Popen([exe], cwd=work, env=env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE)
        time.sleep(1.0)
        if kalmix.poll() is not None:
            fail("kalmix ended with %d before its display came up" % kalmix.returncode)
        xvfb = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1024x768x24",
                                 "-nolisten", "tcp", "-noreset"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_main_window(kalmix, env, 30, "on the late display")
        kalmix.kill()
        kalmix.wait()

        # No session bus, and a dbus-launch that would take a minute to make one.
        bin_dir = os.path.join(work, "bin")
        os.mkdir(bin_dir)
        fake = os.path.join(bin_dir, "dbus-launch")
        with open(fake, "w") as f:
            f.write(SLOW_DBUS_LAUNCH)
        os.chmod(fake, 0o755)
        bus_env = dict(env, PATH=bin_dir + os.pathsep + env.get("PATH", ""))
        bus_env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        bus_env.pop("XDG_RUNTIME_DIR", None)
        kalmix = subprocess.Popen([exe], cwd=work, env=bus_env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE)
        try:
            wait_main_window(kalmix, bus_env, 15, "without a session bus")
        finally:
            kalmix.kill()
            kalmix.wait()
            try:
                with open(os.path.join(bin_dir, "pid")) as f:
                    os.kill(int(f.read()), 9)
            except (FileNotFoundError, ProcessLookupError, ValueError):
                pass
        xvfb.terminate()
        xvfb.wait()
        xvfb = None

        # No display at all.
        env["DISPLAY"] = ":%d" % free_display()
        out = subprocess.run([exe], cwd=work, env=env, capture_output=True, text=True,
                             timeout=30)
        if out.returncode != 1 or "cannot be opened" not in out.stderr:
            fail("without a display kalmix ended with %d: %s" % (out.returncode, out.stderr))
    finally:
        if kalmix and kalmix.poll() is None:
            kalmix.kill()
            kalmix.wait()
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)
    print("start environment: 3 passed, 0 failed")


if __name__ == "__main__":
    main()
