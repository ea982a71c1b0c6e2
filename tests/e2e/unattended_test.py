#!/usr/bin/env python3
"""SETUP.EXE /S with no display at all, in fresh Wine prefixes: an
installation with every value given and its rerun with /S alone, and three
installations at once from one share, each started by its UNC path.

    unattended_test.py --medium DIR --release DIR --product DIR --ownerdata EXE --work DIR
"""
import argparse
import concurrent.futures
import glob
import hashlib
import os
import re
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PAYLOAD = os.path.join(HERE, "..", "..", "bench", "payload.py")
ARGS = None
# The calls that make a window or a box, relayed by Wine as the program
# makes them (Wine's own processes call the W forms).
WINDOW_CALLS = "user32.CreateWindowExA;user32.CreateDialogParamA;user32.DialogBoxParamA;user32.MessageBoxA"
WINDOW_CALL = re.compile(r"Call user32\.(CreateWindowExA|CreateDialogParamA|DialogBoxParamA|MessageBoxA)\(")


def wine_env(prefix, debug="-all"):
    env = dict(os.environ, WINEPREFIX=prefix, WINEARCH="win32", WINEDEBUG=debug,
               WINEDLLOVERRIDES="mscoree=;mshtml=")
    env.pop("DISPLAY", None)
    return env


QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def new_prefix(name):
    """A prefix booted without a display, its share \\\\server\\share the medium.
    The last run's prefix is moved aside and removed beside the boot."""
    prefix = os.path.join(ARGS.work, name)
    subprocess.run(["wineserver", "-k"], env=wine_env(prefix), stderr=subprocess.DEVNULL)
    old = prefix + ".old"
    subprocess.run(["rm", "-rf", old])
    if os.path.exists(prefix):
        os.rename(prefix, old)
    REMOVALS.append(subprocess.Popen(["rm", "-rf", old]))
    return prefix, subprocess.Popen(["wineboot", "-i"], env=wine_env(prefix), **QUIET)


def keep_server(prefix):
    """The prefix's server stays up from here, and so do Wine's services,
    started now on no one's output: left to themselves they end 3 s after a
    program and the next one waits for them anew, and those a program
    started hold its output until they end."""
    env = wine_env(prefix)
    subprocess.run(["wineserver", "-k"], env=env, **QUIET)
    subprocess.run(["wineserver", "-w"], env=env, **QUIET)
    subprocess.run(["wineserver", "-p"], env=env, **QUIET)
    subprocess.run(["wine", "cmd", "/c", "exit"], env=env, check=True, **QUIET)


def share_medium(prefix):
    os.makedirs(os.path.join(prefix, "dosdevices", "unc", "server"), exist_ok=True)
    os.symlink(ARGS.medium, os.path.join(prefix, "dosdevices", "unc", "server", "share"))


def start(prefix, *switches, debug="-all"):
    return subprocess.Popen(["wine", "\\\\server\\share\\SETUP.EXE"] + list(switches), env=wine_env(prefix, debug),
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, errors="replace")


def finish(process):
    _, trace = process.communicate(timeout=300)
    return process.returncode, trace


def drive_c(prefix, *parts):
    return os.path.join(prefix, "drive_c", *parts)


def owner_data(prefix, folder):
    out = subprocess.run(["wine", ARGS.ownerdata, "dump", "C:\\%s\\quillmrk.dat" % folder], env=wine_env(prefix),
                         capture_output=True, text=True, timeout=120)
    return out.stdout.splitlines()


def quillmark_section(prefix):
    with open(drive_c(prefix, "windows", "win.ini"), newline="") as f:
        text = f.read()
    return re.search(r"\[Quillmark\]\r?\n((?:[^\[].*\r?\n)*)", text).group(1).split()


def snapshot(root):
    """{relative path: sha256} of every file under root."""
    out = {}
    for top, _, names in os.walk(root):
        for n in names:
            with open(os.path.join(top, n), "rb") as f:
                out[os.path.relpath(os.path.join(top, n), root)] = hashlib.sha256(f.read()).hexdigest()
    return out


PREFIXES = {}  # name -> prefix, booted at once for both tests
REMOVALS = []  # the last run's prefixes being removed
NAMES = ("alone", "pc0", "pc1", "pc2")


def setUpModule():
    def ready(name, booting):
        prefix, boot = booting
        if boot.wait(timeout=300) != 0:
            raise RuntimeError("wineboot failed in " + prefix)
        share_medium(prefix)
        keep_server(prefix)
        return name, prefix

    with concurrent.futures.ThreadPoolExecutor(len(NAMES)) as pool:
        PREFIXES.update(pool.map(ready, NAMES, [new_prefix(name) for name in NAMES]))
    subprocess.run(["wine", "reg", "add", "HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude", "/d", WINDOW_CALLS,
                    "/f"], env=wine_env(PREFIXES["alone"]), check=True, capture_output=True)


def tearDownModule():
    for prefix in PREFIXES.values():
        subprocess.run(["wineserver", "-k"], env=wine_env(prefix), stderr=subprocess.DEVNULL)
    for removal in REMOVALS:
        removal.wait()


class Unattended(unittest.TestCase):
    def assertPayload(self, tree):
        out = subprocess.run([sys.executable, PAYLOAD, "verify", tree, "--release", ARGS.release, "--product",
                              ARGS.product, "--owner-data-written"], capture_output=True, text=True)
        self.assertEqual(0, out.returncode, out.stdout + out.stderr)

    def test_installs_without_a_window_and_a_rerun_changes_nothing(self):
        prefix = PREFIXES["alone"]
        code, trace = finish(start(prefix, "/S", "/NAME=Ada Lovelace", "-dept=Analytical Engines",
                                   "/ORG=Babbage & Co", "/DIR=C:\\APPS\\QUILLMRK", "/LOG",
                                   debug="+relay"))
        self.assertEqual(0, code, trace[-3000:])
        self.assertIn("Call PE DLL", trace)
        self.assertEqual([], WINDOW_CALL.findall(trace))
        self.assertPayload(drive_c(prefix, "APPS", "QUILLMRK"))
        self.assertEqual(["User=Ada Lovelace", "Dept=Analytical Engines", "Company=Babbage & Co"],
                         owner_data(prefix, "APPS\\QUILLMRK"))
        self.assertEqual(["BinDirectory=C:\\APPS\\QUILLMRK", "PrefDirectory=C:\\APPS\\QUILLMRK\\PREFS"],
                         quillmark_section(prefix))
        logs = glob.glob(drive_c(prefix, "users", "*", "Temp", "Quillmark Setup ????-??-??.log"))
        self.assertEqual(1, len(logs))
        with open(logs[0], newline="") as f:
            log = f.read()
        self.assertIn('Values: name "Ada Lovelace", department "Analytical Engines", organisation "Babbage & Co"',
                      log)
        self.assertTrue(log.endswith(" Result: installed completely, exit code 0\r\n"), log[-300:])

        before = snapshot(drive_c(prefix)), quillmark_section(prefix)
        code, trace = finish(start(prefix, "/S"))
        self.assertEqual(0, code, trace[-3000:])
        self.assertEqual(before, (snapshot(drive_c(prefix)), quillmark_section(prefix)))

        # A run with a window and no display to show it on: its own code and line.
        code, trace = finish(start(prefix, "/LOG"))
        self.assertEqual(14, code, trace[-3000:])
        with open(logs[0], newline="") as f:
            self.assertIn(" Stopped, exit code 14: the setup's window cannot be made (no display)", f.read())

    def test_several_at_once_from_one_share(self):
        medium = snapshot(ARGS.medium)
        prefixes = [PREFIXES[name] for name in NAMES[1:]]
        runs = [start(prefix, "/S", "/NAME=PC %d" % n) for n, prefix in enumerate(prefixes)]
        for n, (prefix, run) in enumerate(zip(prefixes, runs)):
            code, trace = finish(run)
            self.assertEqual(0, code, trace[-3000:])
            self.assertPayload(drive_c(prefix, "QUILLMRK"))
            self.assertEqual("User=PC %d" % n, owner_data(prefix, "QUILLMRK")[0])
        self.assertEqual(medium, snapshot(ARGS.medium))


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for name in ("--medium", "--release", "--product", "--ownerdata", "--work"):
        parser.add_argument(name, required=True)
    ARGS, rest = parser.parse_known_args()
    os.makedirs(ARGS.work, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
