"""The real kalmix under a virtual X display, for the end-to-end tests: Xvfb picks a free
display, xdotool types and clicks, and a preloaded probe library (label_probe) reports the
texts the labels get and every opening of the answer box."""
import os
import re
import subprocess
import sys
import time

TASK = re.compile(r"^lblAufgabe\t\s*(\d+) \+\s*(\d+) = $")


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def wait_for(what, predicate, timeout=15.0, describe=None):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    fail("timed out waiting for " + what + (": %r" % (describe(),) if describe else ""))


class Session:
    def __init__(self, workdir, probe_library):
        self.workdir = workdir
        self.probe = os.path.join(workdir, "probe.txt")
        # Xvfb picks a free display itself and tells its number through a pipe.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp", "-noreset"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            fail("Xvfb did not start")
        self.display = ":" + number
        self.env = dict(os.environ, DISPLAY=self.display, LANG="de_DE.UTF-8",
                        LC_ALL="de_DE.UTF-8", LD_PRELOAD=probe_library, KALMIX_PROBE=self.probe)
        self.env.pop("QT_QPA_PLATFORM", None)
        wait_for("the X display", lambda: subprocess.run(
            ["xdotool", "getdisplaygeometry"], env=self.env,
            capture_output=True).returncode == 0, 10)
        self.kalmix = None
        self.window = None

    def xdo(self, *args):
        out = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True)
        return out.stdout.strip()

    def start(self, executable):
        self.executable = executable
        # What kalmix prints goes to a file, for the message if it dies.
        self.stderr_path = os.path.join(self.workdir, "kalmix.stderr")
        with open(self.stderr_path, "wb") as err:
            self.kalmix = subprocess.Popen([executable], cwd=self.workdir, env=self.env,
                                           stdout=err, stderr=subprocess.STDOUT)

    def stderr_tail(self):
        try:
            with open(self.stderr_path, encoding="utf-8", errors="replace") as f:
                return f.read()[-2000:]
        except (AttributeError, FileNotFoundError):
            return ""

    def windows(self):
        """Every visible window with its name and geometry, for a failure's message."""
        found = []
        for wid in self.xdo("search", "--onlyvisible", "--name", "").split():
            found.append((self.xdo("getwindowname", wid), self.xdo("getwindowgeometry", wid)))
        return found

    def main_window(self):
        for wid in self.xdo("search", "--onlyvisible", "--name", "^Kalmix$").split():
            geometry = self.xdo("getwindowgeometry", "--shell", wid)
            values = dict(line.split("=") for line in geometry.splitlines() if "=" in line)
            if int(values.get("WIDTH", 0)) == 700:
                return wid, int(values["X"]), int(values["Y"])
        return None

    def wait_main_window(self, timeout=40.0, attempts=1):
        """Waits for the main window. A kalmix that dies before it shows fails the test at once,
        with what it printed; attempts > 1 starts it again that many times in all."""
        printed = []

        def ready():
            if self.kalmix.poll() is not None:
                printed.append("ended with %s, printing:\n%s"
                               % (self.kalmix.returncode, self.stderr_tail()))
                if len(printed) >= attempts:
                    fail("kalmix did not reach its main window:\n" + "\n".join(printed))
                print("kalmix ended before its main window showed; starting it again:\n"
                      + printed[-1])
                time.sleep(1.0)
                self.start(self.executable)
                return None
            return self.main_window()
        self.window = wait_for("the main window", ready, timeout,
                               describe=lambda: (self.windows(), self.probe_lines()[-5:],
                                                 self.stderr_tail()))
        return self.window

    def click(self, x, y):
        wid, left, top = self.window
        self.xdo("mousemove", str(left + x), str(top + y))
        self.xdo("click", "1")

    def keys(self, *names):
        for name in names:
            self.xdo("key", "--delay", "40", name)

    def type(self, text):
        self.xdo("type", "--delay", "40", text)

    def probe_lines(self):
        try:
            with open(self.probe, encoding="utf-8") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def opens(self):
        return sum(1 for line in self.probe_lines() if line == "txtErgebnis\t<cleared>")

    def tasks(self):
        return [TASK.match(line) for line in self.probe_lines() if TASK.match(line)]

    def close(self):
        if self.kalmix and self.kalmix.poll() is None:
            self.kalmix.kill()
            self.kalmix.wait()
        self.xvfb.terminate()
        self.xvfb.wait()


