#!/usr/bin/env python3
"""The medium builder and the product generator, on small releases in
scratch folders: what lands on the media, in which form, and the refusals."""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
MKMEDIUM = os.path.join(ROOT, "tools", "mkmedium", "mkmedium.py")
MKPRODUCT = os.path.join(ROOT, "tools", "mkproduct", "mkproduct.py")
MKPICTURE = os.path.join(ROOT, "tools", "mkproduct", "mkpicture.py")
FROMFOLDER = os.path.join(ROOT, "tools", "mkproduct", "fromfolder.py")
RELEASE3 = os.path.join(ROOT, "tests", "release3")
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from qmtest import SZDD, expand, mkrelease, read, write, write_files, write_release  # noqa: E402

MANIFEST = """addon32.exe
newscr1.bmp
SNBD7W95.DLL
QUILLMRK.DAT
README.TXT
[DIR_START]
FONTS
ARIAL.TTF
README.TXT
[DIR_END]
Finished
[DIR_START]
SAMPLES
MEMO.QMD
[DIR_END]
"""
BILLBOARD = "[productTagLine]\nTag\n[makerNoticeLine]\nMaker\n"
# Disk 1: 300,100 bytes expanded; stored the same less what README.TXT's
# 20,000 zeros compress to. Disk 2: 330,000 expanded; stored 300,000 plain
# bytes and two small compressed files.
DISKS = """diskCount = 2
diskStart = 0 0 5 15
compressedKB = %s
requiredKB = %s
diskNames[1] = One
diskNames[2] = Two
"""


def noise(seed, size):
    return random.Random(seed).randbytes(size)


PRODUCT = {
    "addon32.exe": noise(1, 200000),
    "newscr1.bmp": bytes(50000),       # compressible, yet opened plain
    "SNBD7W95.DLL": bytes(30000),      # likewise
    "QUILLMRK.DAT": b"Owner data stand-in\r\n" * 4 + b"Company=\r\n" + b"x" * 6,
    "README.TXT": bytes(20000),
    "ARIAL.TTF": noise(2, 300000),
    "MEMO.QMD": bytes(10000),
}


def listing(folder):
    return sorted(os.listdir(folder))


class Scratch(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp()
        self.release = os.path.join(self.work, "release")
        self.product = os.path.join(self.work, "product")
        self.write_release("283 304", "300 330")
        write_files(self.product, PRODUCT)
        self.setup = os.path.join(self.work, "SETUP.EXE")
        write(self.setup, noise(3, 5000))
        self.medium = os.path.join(self.work, "medium")
        self.disks = os.path.join(self.work, "media")

    def tearDown(self):
        shutil.rmtree(self.work)

    def write_release(self, compressed, required):
        write_release(self.release, MANIFEST, DISKS % (compressed, required), BILLBOARD, "1.2.3")

    def build(self, *extra, setup=True):
        args = [sys.executable, MKMEDIUM, "--release", self.release, "--product", self.product,
                "--medium", self.medium, "--disks", self.disks]
        if setup:
            args += ["--setup", self.setup]
        return subprocess.run(args + list(extra), capture_output=True, text=True)


class Media(Scratch):
    def test_medium_holds_every_file_once_in_its_stored_form(self):
        result = self.build("--report", os.path.join(self.work, "report.txt"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(listing(self.medium), sorted([
            "SETUP.EXE", "addon32.exe", "newscr1.bmp", "SNBD7W95.DLL", "quillmrk.dat",
            "README.TXT", "ARIAL.TTF", "MEMO.QMD"]))
        # Incompressible files, and those the program opens itself, are plain.
        for name, source in (("addon32.exe", "addon32.exe"), ("ARIAL.TTF", "ARIAL.TTF"),
                             ("newscr1.bmp", "newscr1.bmp"), ("SNBD7W95.DLL", "SNBD7W95.DLL"),
                             ("quillmrk.dat", "QUILLMRK.DAT")):
            self.assertEqual(read(os.path.join(self.medium, name)), PRODUCT[source], name)
        self.assertEqual(read(os.path.join(self.medium, "SETUP.EXE")), read(self.setup))
        # The rest in the LZ format, under the plain name, expanding back.
        for name in ("README.TXT", "MEMO.QMD"):
            stored = os.path.join(self.medium, name)
            self.assertEqual(read(stored)[:8], SZDD, name)
            self.assertLess(os.path.getsize(stored), len(PRODUCT[name]) // 4, name)
            self.assertEqual(expand(stored), PRODUCT[name], name)

    def test_each_disk_holds_its_stretch_and_disk1_the_program(self):
        result = self.build()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(listing(self.disks), ["disk1", "disk2"])
        self.assertEqual(listing(os.path.join(self.disks, "disk1")), sorted([
            "SETUP.EXE", "addon32.exe", "newscr1.bmp", "SNBD7W95.DLL", "quillmrk.dat",
            "README.TXT"]))
        self.assertEqual(listing(os.path.join(self.disks, "disk2")),
                         sorted(["ARIAL.TTF", "README.TXT", "MEMO.QMD"]))
        self.assertEqual(expand(os.path.join(self.disks, "disk2", "README.TXT")),
                         PRODUCT["README.TXT"])

    def test_report_gives_totals_per_disk(self):
        report = os.path.join(self.work, "report.txt")
        result = self.build("--report", report)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(read(report).decode(), result.stdout)
        rows = {line.split()[0]: line.split() for line in result.stdout.splitlines()[2:]}
        # disk, entries, files, stored KB, table, expanded KB, table
        self.assertEqual(rows["1"][1:3], ["0-4", "5"])
        self.assertEqual(rows["1"][5:], ["300.1", "300"])
        self.assertEqual(rows["2"][1:3], ["5-14", "3"])
        self.assertEqual(rows["2"][5:], ["330.0", "330"])
        self.assertEqual(rows["total"][1], "8")
        stored2 = float(rows["2"][3])
        self.assertTrue(300.0 < stored2 < 305.0, stored2)   # 30,000 zeros shrink below 5 KB

    def test_without_a_setup_program_the_media_go_without(self):
        result = self.build(setup=False)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertNotIn("SETUP.EXE", listing(self.medium))
        self.assertNotIn("SETUP.EXE", listing(os.path.join(self.disks, "disk1")))

    def test_a_new_build_replaces_what_an_earlier_one_left(self):
        # The build's cache remembers which folders it made.
        cache = os.path.join(self.work, "cache")
        with open(os.path.join(self.release, "disks.txt"), "w") as f:
            f.write("diskCount = 3\ndiskStart = 0 0 1 4 15\n"
                    "compressedKB = 200 80 307\nrequiredKB = 200 80 350\n")
        result = self.build("--cache", cache)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(listing(self.disks), ["disk1", "disk2", "disk3"])
        self.write_release("283 304", "300 330")
        with open(os.path.join(self.medium, "stale.txt"), "w") as f:
            f.write("left over")
        os.makedirs(os.path.join(self.disks, "release3"))
        os.makedirs(os.path.join(self.disks, "disk4"))
        result = self.build("--cache", cache)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertNotIn("stale.txt", listing(self.medium))
        self.assertEqual(listing(self.disks), ["disk1", "disk2", "disk4", "release3"],
                         "disk3 was ours; the others are not ours to remove")

    def test_folders_marked_by_an_earlier_version_are_replaced_and_lose_the_mark(self):
        for folder in (self.medium, os.path.join(self.disks, "disk1")):
            os.makedirs(folder)
            for name in (".mkmedium", "old.txt"):
                with open(os.path.join(folder, name), "w") as f:
                    f.write("made by mkmedium; replaced on every build\n")
        result = self.build()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(listing(self.medium), sorted([
            "SETUP.EXE", "addon32.exe", "newscr1.bmp", "SNBD7W95.DLL", "quillmrk.dat",
            "README.TXT", "ARIAL.TTF", "MEMO.QMD"]))
        self.assertNotIn(".mkmedium", listing(os.path.join(self.disks, "disk1")))

    def test_cache_follows_a_changed_product_file(self):
        cache = os.path.join(self.work, "cache")
        self.assertEqual(self.build("--cache", cache).returncode, 0)
        memo = os.path.join(cache, "MEMO.QMD.lz")
        memo_time = os.stat(memo).st_mtime_ns
        changed = b"\x01" * 20000       # same size, other bytes
        write(os.path.join(self.product, "README.TXT"), changed)
        stamp = os.stat(os.path.join(self.product, "README.TXT")).st_mtime_ns + 10**9
        os.utime(os.path.join(self.product, "README.TXT"), ns=(stamp, stamp))
        result = self.build("--cache", cache)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(expand(os.path.join(self.medium, "README.TXT")), changed)
        self.assertEqual(os.stat(memo).st_mtime_ns, memo_time, "unchanged files are not redone")


class Refusals(Scratch):
    def assert_nothing_written(self):
        self.assertFalse(os.path.exists(self.medium))
        self.assertFalse(os.path.exists(self.disks))

    def test_missing_product_file_is_named_with_its_manifest_line(self):
        os.remove(os.path.join(self.product, "MEMO.QMD"))
        result = self.build()
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr.strip(), "mkmedium: %s: missing from the product folder "
                         "(%s line 14)" % (os.path.join(self.product, "MEMO.QMD"),
                                           os.path.join(self.release, "manifest.txt")))
        self.assert_nothing_written()

    def test_totals_more_than_one_percent_off_the_disk_table(self):
        # Expanded totals are exact: 300.1 KB and 330.0 KB.
        cases = [
            ("283 304", "303 330", True),    # 300.1 is 0.96 % under 303
            ("283 304", "304 330", False),   # ... and 1.3 % under 304
            ("283 304", "300 327", True),    # 330.0 is 0.92 % over 327
            ("283 304", "300 326", False),
            ("283 250", "300 330", False),   # stored about 302 KB, not 250
        ]
        for compressed, required, passes in cases:
            with self.subTest(compressed=compressed, required=required):
                self.write_release(compressed, required)
                result = self.build()
                self.assertEqual(result.returncode, 0 if passes else 1, result.stderr)
                if not passes:
                    self.assertRegex(result.stderr, r"mkmedium: disk \d: (stored|expanded) files "
                                     r"come to [\d.]+ KB, the disk table says \d+ KB")
                    self.assert_nothing_written()
                shutil.rmtree(self.medium, ignore_errors=True)
                shutil.rmtree(self.disks, ignore_errors=True)

    def test_a_folder_it_did_not_make_is_left_alone(self):
        os.makedirs(self.medium)
        mine = os.path.join(self.medium, "mine.txt")
        with open(mine, "w") as f:
            f.write("keep")
        result = self.build()
        self.assertEqual(result.returncode, 1)
        self.assertIn("was not made by mkmedium", result.stderr)
        self.assertEqual(read(mine), b"keep")

    def test_a_bad_release_is_refused_by_the_release_check(self):
        with open(os.path.join(self.release, "manifest.txt"), "a") as f:
            f.write("Finished\n")
        result = self.build()
        self.assertEqual(result.returncode, 1)
        self.assertIn("manifest.txt:16: second \"Finished\"", result.stderr)


class OwnFiles(Scratch):
    """A folder of the product's own files (tools/mkproduct/fromfolder.py)."""

    def take(self):
        source = os.path.join(self.work, "own")
        for name, data in PRODUCT.items():
            folder = {"ARIAL.TTF": "fonts", "MEMO.QMD": "Samples"}.get(name, "")
            write_files(os.path.join(source, folder), {name.lower() if folder else name: data})
        write(os.path.join(source, "fonts", "README.TXT"), PRODUCT["README.TXT"])
        args = [sys.executable, FROMFOLDER, "--release", self.release, "--from", source,
                "--out", self.product, "--resolved", self.resolved, "--setup-like", self.setup]
        return source, lambda: subprocess.run(args, capture_output=True, text=True)

    def setUp(self):
        super().setUp()
        shutil.rmtree(self.product)
        self.resolved = os.path.join(self.work, "resolved")

    def test_disk_table_from_the_files(self):
        # Disk 1 with the program's room holds the top-level files; the
        # directory FONTS does not fit beside them, and goes with "Finished".
        write(os.path.join(self.release, "disks.txt"),
              "diskCount = auto\ndiskSize = 400000\ndiskNames[1] = One\ndiskNames[2] = Two\n")
        result = self.take()[1]()
        self.assertEqual(result.returncode, 0, result.stderr)
        disks = mkrelease.read_release(self.resolved).disks
        self.assertEqual(disks["diskStart"], [0, 0, 5, 15])
        self.assertEqual(disks["requiredKB"], [301, 330])   # 300,100 and 330,000 bytes, rounded up
        self.release = self.resolved
        self.assertEqual(self.build().returncode, 0)        # within the media builder's 1 % rule

    def test_missing_long_and_unlisted_files_are_named(self):
        source, take = self.take()
        os.remove(os.path.join(source, "Samples", "memo.qmd"))
        write(os.path.join(source, "Release notes.txt"), "long")
        write(os.path.join(source, "fonts", "EXTRA.TTF"), "unlisted")
        result = take()
        self.assertEqual(result.returncode, 1)
        manifest = os.path.join(self.release, "manifest.txt")
        for message in ("fromfolder: warning: %s: not in the manifest" % os.path.join(source, "fonts", "EXTRA.TTF"),
                        "fromfolder: %s: not a short name" % os.path.join(source, "Release notes.txt"),
                        "fromfolder: %s:14: SAMPLES/MEMO.QMD is missing from %s" % (manifest, source)):
            self.assertIn(message, result.stderr)


class ProductGenerator(unittest.TestCase):
    """mkproduct sizes the files of the three-disk test release to its disk
    table; the medium builder then checks the totals, disk by disk."""

    PROVIDED = ("SNBD7W95.DLL", "QMSETUP.EXE", "newscr1.bmp", "QUILLMRK.DAT")

    def setUp(self):
        self.work = tempfile.mkdtemp()
        self.product = os.path.join(self.work, "product")
        write_files(self.product, {"SNBD7W95.DLL": noise(4, 18000),
                                   "QMSETUP.EXE": noise(5, 20000) + bytes(26000),
                                   "QUILLMRK.DAT": b"x" * 61})
        subprocess.run([sys.executable, MKPICTURE, os.path.join(self.product, "newscr1.bmp")],
                       check=True)

    def tearDown(self):
        shutil.rmtree(self.work)

    def generate(self, release=RELEASE3):
        return subprocess.run([sys.executable, MKPRODUCT, "--release", release, "--out",
                               self.product, "--provided"] + list(self.PROVIDED),
                              capture_output=True, text=True)

    def media_report(self):
        result = subprocess.run([sys.executable, MKMEDIUM, "--release", RELEASE3, "--product",
                                 self.product, "--disks", os.path.join(self.work, "media")],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        return {line.split()[0]: line.split() for line in result.stdout.splitlines()[2:]}

    def snapshot(self):
        return {n: (os.stat(os.path.join(self.product, n)).st_mtime_ns,
                    read(os.path.join(self.product, n))) for n in os.listdir(self.product)}

    def test_files_add_up_to_each_disk_of_the_table(self):
        result = self.generate()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(len(os.listdir(self.product)), 18)   # 20 files, README.TXT and FONTS.LST twice
        rows = self.media_report()
        for disk, stored, expanded in (("1", 900, 1400), ("2", 220, 400), ("3", 380, 600)):
            self.assertLess(abs(float(rows[disk][3]) - stored), stored * 0.005, rows[disk])
            self.assertLess(abs(float(rows[disk][5]) - expanded), expanded * 0.005, rows[disk])

    def test_same_inputs_same_files_untouched(self):
        self.assertEqual(self.generate().returncode, 0)
        before = self.snapshot()
        self.assertEqual(self.generate().returncode, 0)
        self.assertEqual(self.snapshot(), before)

    def test_a_provided_file_that_grows_changes_only_its_disks_balance(self):
        self.assertEqual(self.generate().returncode, 0)
        before = self.snapshot()
        with open(os.path.join(self.product, "QMSETUP.EXE"), "ab") as f:
            f.write(noise(6, 8000))
        self.assertEqual(self.generate().returncode, 0)
        after = self.snapshot()
        changed = sorted(n for n in after if after[n] != before[n])
        self.assertEqual(len(changed), 2, changed)      # QMSETUP.EXE and disk 1's balance file
        self.assertIn("QMSETUP.EXE", changed)
        disk1 = {"addon32.exe", "QUILLMRK.EXE", "QMCORE32.DLL"}
        self.assertTrue(set(changed) - {"QMSETUP.EXE"} <= disk1, changed)
        rows = self.media_report()
        self.assertLess(abs(float(rows["1"][5]) - 1400), 7)

    def test_a_table_no_files_can_reach_is_refused(self):
        release = os.path.join(self.work, "release")
        shutil.copytree(RELEASE3, release)
        with open(os.path.join(release, "disks.txt"), "w") as f:
            f.write("diskCount = 3\ndiskStart = 0 0 9 24 36\n"
                    "compressedKB = 900 420 380\nrequiredKB = 1400 400 600\n")
        result = self.generate(release)
        self.assertEqual(result.returncode, 1)
        self.assertIn("mkproduct: disk 2 cannot reach the disk table (420 KB stored, 400 KB "
                      "expanded)", result.stderr)


if __name__ == "__main__":
    unittest.main()
