#!/usr/bin/env python3
"""The release images on the two-disk scratch release of the medium builder's
tests, read back with the Debian tools (isoinfo, mtools, fsck.fat,
sha256sum), and the refusal of a disk that does not fit its floppy."""
import os
import random
import re
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from mkmedium_test import ROOT, Scratch, listing, read  # noqa: E402

MKIMAGES = os.path.join(ROOT, "tools", "mkimages", "mkimages.py")
FLOPPY_BYTES = 1474560
RELEASE_TIME = 1700000000      # 2023-11-14 22:13:20 UTC, 6553F100 in hex


def tool(*args):
    return subprocess.run(list(args), capture_output=True, text=True, check=True).stdout


class Images(Scratch):
    def setUp(self):
        super().setUp()
        self.out = os.path.join(self.work, "release-images")

    def make(self):
        result = self.build("--cache", os.path.join(self.work, "cache"))
        self.assertEqual(result.returncode, 0, result.stderr)
        return self.images()

    def images(self, clock=()):
        """mkimages on the media as they are; clock, e.g. ("faketime", "+400d"), runs it
        and the tools it starts at another time of day."""
        return subprocess.run(list(clock) + [
            sys.executable, MKIMAGES, "--release", self.release, "--product", self.product,
            "--medium", self.medium, "--disks", self.disks, "--out", self.out,
            "--time", str(RELEASE_TIME), "--time-from", "the test", "--commit", "c0ffee"],
            capture_output=True, text=True)

    def image(self, name):
        return os.path.join(self.out, name)

    def test_iso_is_the_medium_under_its_level_1_names(self):
        result = self.make()
        self.assertEqual(result.returncode, 0, result.stderr)
        iso = self.image("QUILLMRK.ISO")
        self.assertIn("Volume id: QUILLMARK\n", tool("isoinfo", "-d", "-i", iso))
        names = listing(self.medium)
        self.assertEqual(sorted(tool("isoinfo", "-f", "-i", iso).split()),
                         sorted("/%s;1" % n.upper() for n in names))
        self.assertEqual(sorted(tool("isoinfo", "-J", "-f", "-i", iso).split()),
                         sorted("/" + n for n in names))
        for name in names:
            data = subprocess.run(["isoinfo", "-i", iso, "-x", "/%s;1" % name.upper()],
                                  capture_output=True, check=True).stdout
            self.assertEqual(data, read(os.path.join(self.medium, name)), name)

    def test_each_disk_is_a_floppy_image_of_its_folder(self):
        result = self.make()
        self.assertEqual(result.returncode, 0, result.stderr)
        for disk, label in ((1, "ONE"), (2, "TWO")):
            with self.subTest(disk=disk):
                image = self.image("DISK%d.IMG" % disk)
                folder = os.path.join(self.disks, "disk%d" % disk)
                self.assertEqual(os.path.getsize(image), FLOPPY_BYTES)
                check = subprocess.run(["fsck.fat", "-n", "-v", image], capture_output=True,
                                       text=True)
                self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
                self.assertIn("12 bit entries", check.stdout)
                self.assertIn("Volume label is %s" % label, tool("mlabel", "-s", "-i", image, "::"))
                # Every file in the root, under its name, byte for byte.
                names = [line[len("::/"):] for line in tool("mdir", "-b", "-i", image,
                                                            "::/").split()]
                self.assertEqual(sorted(names), listing(folder))
                for name in names:
                    data = subprocess.run(["mcopy", "-n", "-i", image, "::/" + name, "-"],
                                          capture_output=True, check=True).stdout
                    self.assertEqual(data, read(os.path.join(folder, name)), name)
        disk1 = tool("mdir", "-b", "-i", self.image("DISK1.IMG"), "::/").split()
        self.assertIn("::/quillmrk.dat", disk1)
        self.assertIn("::/SETUP.EXE", disk1)

    def test_sums_and_report(self):
        result = self.make()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(listing(self.out), ["DISK1.IMG", "DISK2.IMG", "QUILLMRK.ISO",
                                             "SHA256SUMS", "release.txt"])
        sums = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=self.out,
                              capture_output=True, text=True)
        self.assertEqual(sums.returncode, 0, sums.stdout + sums.stderr)
        self.assertEqual(sums.stdout.split(),
                         ["QUILLMRK.ISO:", "OK", "DISK1.IMG:", "OK", "DISK2.IMG:", "OK"])
        report = read(self.image("release.txt")).decode()
        self.assertEqual(report, result.stdout)
        # Each floppy's room as mtools reads it from the image.
        for disk in (1, 2):
            free = re.search(r"([\d ]+) bytes free",
                             tool("mdir", "-i", self.image("DISK%d.IMG" % disk), "::/"))
            section = report.split("DISK%d.IMG:" % disk)[1]
            self.assertRegex(section.splitlines()[0], r' disk %d "(One|Two)", volume ' % disk)
            self.assertIn("room left on the floppy: %d of" % int(free.group(1).replace(" ", "")),
                          section)
        # The disk set's totals against the table: disk, files, stored KB,
        # table KB, expanded KB, table KB.
        table = report.split("The disk set against the disk table:")[1].splitlines()
        self.assertEqual(table[2].split()[:2] + table[2].split()[3:], ["1", "5", "283", "300.1", "300"])
        self.assertEqual(table[3].split()[:2] + table[3].split()[3:], ["2", "3", "304", "330.0", "330"])
        # Files with their stored and expanded bytes and the CRC-32 of the
        # expanded file, as gzip's trailer holds it (least byte first).
        crc = subprocess.run(["gzip", "-c", os.path.join(self.product, "README.TXT")],
                             capture_output=True, check=True).stdout[-8:-4][::-1].hex().upper()
        self.assertRegex(report, r"\n  README.TXT +%d +20000   %s\n"
                         % (os.path.getsize(os.path.join(self.disks, "disk1", "README.TXT")), crc))

    def test_the_images_hold_the_release_time_and_nothing_of_the_clock(self):
        self.assertEqual(self.make().returncode, 0)
        before = {n: read(self.image(n)) for n in listing(self.out)}
        # Media dated otherwise, imaged 400 days later.
        for folder, _, names in os.walk(self.work):
            for name in names:
                os.utime(os.path.join(folder, name), (1800000000, 1800000000))
        result = self.images(("faketime", "-f", "+400d"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual({n: read(self.image(n)) for n in listing(self.out)}, before)
        # The ISO's creation and modification dates; each floppy file's.
        iso = read(self.image("QUILLMRK.ISO"))
        self.assertEqual(iso[16 * 2048 + 813:16 * 2048 + 847], b"2023111422132000\0" * 2)
        self.assertIn("Application id: QUILLMARK 1.2.3\n",
                      tool("isoinfo", "-d", "-i", self.image("QUILLMRK.ISO")))
        for disk in (1, 2):
            listed = tool("mdir", "-i", self.image("DISK%d.IMG" % disk), "::/")
            self.assertIn("Serial Number is 6553-F10%d" % (disk - 1), listed)
            dates = re.findall(r" (\d{4}-\d\d-\d\d  \d\d:\d\d)", listed)
            self.assertEqual(len(dates), len(listing(os.path.join(self.disks, "disk%d" % disk))))
            self.assertEqual(set(dates), {"2023-11-14  22:13"})
        self.assertIn("Commit: c0ffee\nRelease time: 1700000000 (2023-11-14 22:13:20 UTC), from "
                      "the test\nSETUP.EXE: unsigned\n", read(self.image("release.txt")).decode())

    def test_a_disk_that_overflows_its_floppy_is_refused_by_name(self):
        self.assertEqual(self.make().returncode, 0)
        before = {n: read(self.image(n)) for n in listing(self.out)}
        # ARIAL.TTF alone (incompressible) is more than a floppy holds.
        with open(os.path.join(self.product, "ARIAL.TTF"), "wb") as f:
            f.write(random.Random(7).randbytes(1600000))
        self.write_release("283 1603", "300 1630")
        result = self.make()
        self.assertEqual(result.returncode, 1, result.stdout)
        found = re.fullmatch(r"mkimages: disk 2 \(Two\) does not fit a 1\.44 MB floppy: its 3 "
                             r"files take (\d+) bytes, the floppy holds (\d+), (\d+) bytes too "
                             r"many\n", result.stderr)
        self.assertIsNotNone(found, result.stderr)
        take, holds, over = (int(n) for n in found.groups())
        self.assertEqual(take - holds, over)
        self.assertGreater(over, 1600000 - holds)
        # The images made before stay as they were.
        self.assertEqual({n: read(self.image(n)) for n in listing(self.out)}, before)

    def test_a_folder_holding_other_files_is_left_alone(self):
        os.makedirs(self.out)
        with open(self.image("notes.txt"), "w") as f:
            f.write("keep")
        result = self.make()
        self.assertEqual(result.returncode, 1)
        self.assertIn("holds notes.txt, which mkimages did not make", result.stderr)
        self.assertEqual(listing(self.out), ["notes.txt"])


if __name__ == "__main__":
    unittest.main()
