#!/usr/bin/env python3
"""Installs Kalmix into a prefix and starts it as a user who cannot write there: its settings
go to that user's data directory, nothing is written beside the program, and the start needs
no error dialog (the language file copy that another user left in the temporary directory is
in the way, too).

usage: installed_as_user.py BUILD_DIR     (needs root to act as another user; else skipped)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
NOBODY = 65534


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def main():
    build = sys.argv[1]
    if os.geteuid() != 0 or not shutil.which("setpriv"):
        print("skipped: needs root and setpriv to start Kalmix as another user")
        sys.exit(SKIP)
    work = tempfile.mkdtemp(prefix="kalmix-install-")
    os.chmod(work, 0o755)
    prefix = os.path.join(work, "prefix")
    home = os.path.join(work, "home")
    os.makedirs(home)
    os.chown(home, NOBODY, NOBODY)
    out = subprocess.run(["cmake", "--install", build, "--prefix", prefix],
                         capture_output=True, text=True)
    if out.returncode:
        fail("install failed: " + out.stdout + out.stderr)
    for path in ("bin/kalmix", "share/applications/org.example.kalmix.desktop",
                 "share/metainfo/org.example.kalmix.metainfo.xml",
                 "share/icons/hicolor/scalable/apps/org.example.kalmix.svg"):
        if not os.path.exists(os.path.join(prefix, path)):
            fail("not installed: " + path)
    env = {"HOME": home, "PATH": "/usr/bin:/bin", "QT_QPA_PLATFORM": "offscreen",
           "LANG": "en_US.UTF-8", "XDG_RUNTIME_DIR": home}
    kalmix = subprocess.Popen(["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY,
                               "--clear-groups", os.path.join(prefix, "bin", "kalmix")],
                              env=env, cwd=home, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT)
    settings = os.path.join(home, ".local", "share", "Kalmix", "Kalmix.ini")
    end = time.monotonic() + 20
    while time.monotonic() < end and not os.path.exists(settings):
        if kalmix.poll() is not None:
            fail("kalmix ended: %r" % kalmix.stdout.read())
        time.sleep(0.1)
    time.sleep(0.5)
    kalmix.kill()
    kalmix.wait()
    if not os.path.exists(settings):
        fail("no settings file in the user's data directory")
    with open(settings, "rb") as f:
        if f.read() != b"[Optionen]\r\nSprache= 1000\r\n":
            fail("unexpected settings file")
    beside = [n for n in os.listdir(os.path.join(prefix, "bin")) if n != "kalmix"]
    if beside:
        fail("written beside the program: %r" % beside)
    if os.path.exists(os.path.join(home, ".local", "share", "Kalmix", "kalmix.EPT")):
        fail("the start reported an error")

    # A settings file the user may read but not write (another user's) is left as it is,
    # although the directory would let a new file be renamed over it; Kalmix still starts.
    data = os.path.dirname(settings)
    frozen = b"[Optionen]\r\nSprache=3000\r\n"  # Kalmix would write it " 3000"
    with open(settings, "wb") as f:
        f.write(frozen)
    os.chown(settings, 0, 0)
    os.chmod(settings, 0o644)
    kalmix = subprocess.Popen(["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY,
                               "--clear-groups", os.path.join(prefix, "bin", "kalmix")],
                              env=env, cwd=home, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    time.sleep(3)
    if kalmix.poll() is not None:
        fail("kalmix did not keep running with a read-only settings file")
    kalmix.kill()
    kalmix.wait()
    with open(settings, "rb") as f:
        if f.read() != frozen:
            fail("the read-only settings file was changed")
    if os.stat(settings).st_uid != 0 or os.path.exists(os.path.join(data, "kalmix.EPT")):
        fail("the read-only settings file was replaced, or an error was reported")
    shutil.rmtree(work)
    print("installed as another user: 1 passed, 0 failed")


if __name__ == "__main__":
    main()
