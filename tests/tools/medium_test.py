#!/usr/bin/env python3
"""The media the Windows build made: the release's directory-source medium
and disk set, and the three-disk test release's disk set. Every file must
expand (msexpand) or copy back to its product file byte for byte, and the
totals must match the disk tables.

    medium_test.py --medium DIR --media DIR --product DIR --product3 DIR
                   --release-time SECONDS [--release DIR]
                   [--setup SETUP.EXE --setup3 SETUP.EXE]
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from qmtest import SZDD, by_upper_name, mkrelease, read, release_file_names  # noqa: E402

ARGS = None
BESIDE_PROGRAM = ("SNBD7W95.DLL", "newscr1.bmp", "quillmrk.dat")
RELEASE3 = os.path.join(ROOT, "tests", "release3")
PLATFORM_CALLS = os.path.join(ROOT, "docs", "platform-calls.md")


EXPANDED = {}  # path: expanded bytes, for the tests that read a file again


def expand_all(paths):
    """{path: expanded bytes}: LZ files through msexpand, others as they are.
    msexpand writes a byte at a time, so each file is expanded once, and the
    files go in two batches side by side."""
    out = {}
    packed = []
    for path in paths:
        data = read(path)
        if path in EXPANDED:
            out[path] = EXPANDED[path]
        elif data[:8] == SZDD:
            packed.append(path)
        else:
            out[path] = data
    with tempfile.TemporaryDirectory() as work:
        copies = []
        for n, path in enumerate(packed):
            copy = os.path.join(work, "f%d_" % n)   # msexpand wants the underscore
            with open(copy, "wb") as f:
                f.write(read(path))
            copies.append(copy)
        jobs = [subprocess.Popen(["msexpand"] + copies[i::2], stdout=subprocess.DEVNULL)
                for i in range(2) if copies[i::2]]
        for job in jobs:
            job.wait()
        for path, copy in zip(packed, copies):
            out[path] = EXPANDED[path] = read(copy[:-1])
    return out


def program_header(program):
    """objdump's view of a program: ({(DLL, function)} imported, header text)."""
    text = subprocess.run(["i686-w64-mingw32-objdump", "-p", program], check=True,
                          capture_output=True, text=True).stdout
    imports, dll = set(), None
    for line in text.splitlines():
        if line[:1].isalpha():
            dll = None  # the next part of the listing
        elif "DLL Name:" in line:
            dll = line.split("DLL Name:")[1].strip().upper()
        elif dll and re.fullmatch(r"\t[0-9a-f]+\t +\d+ +\w+", line):
            imports.add((dll, line.split()[-1]))
    return imports, text


def platform_rows():
    """{(DLL, function): whether an optimised build may inline it} of the
    platform-call table's rows ("| DLL | `function` | ... | ... |")."""
    rows = {}
    for line in read(PLATFORM_CALLS).decode().splitlines():
        cells = [c.strip() for c in re.split(r"(?<!\\)\|", line.strip().strip("|"))]
        name = len(cells) == 4 and re.fullmatch(r"`(\w+)`(\*?)", cells[1])
        if name and cells[0].upper().endswith(".DLL"):
            rows[(cells[0].upper(), name.group(1))] = name.group(2) == "*"
    return rows


class Media(unittest.TestCase):
    def check_folder(self, folder, names, product, extra=()):
        """Every name is in folder and gives back its product file; nothing
        else is there. Returns (stored, expanded) totals over names."""
        present = by_upper_name(folder)
        expected = {n.upper() for n in names} | {n.upper() for n in extra}
        self.assertEqual(sorted(present), sorted(expected), folder)
        products = by_upper_name(product)
        contents = expand_all(sorted({present[n.upper()] for n in names}))
        stored = total = 0
        for name in names:
            key = name.upper()
            self.assertEqual(contents[present[key]], read(products[key]), name)
            stored += os.path.getsize(present[key])
            total += os.path.getsize(products[key])
        return stored, total

    def assert_within_one_percent(self, actual_bytes, table_kb, what):
        self.assertLessEqual(abs(actual_bytes - 1000 * table_kb), 10 * table_kb,
                             "%s: %d bytes against %d KB" % (what, actual_bytes, table_kb))

    def test_release_medium(self):
        names = release_file_names(ARGS.release)
        disks = mkrelease.read_release(ARGS.release).disks
        extra = list(BESIDE_PROGRAM) + (["SETUP.EXE"] if ARGS.setup else [])
        stored, total = self.check_folder(ARGS.medium, names, ARGS.product, extra)
        self.assert_within_one_percent(stored, sum(disks["compressedKB"]), "stored")
        self.assert_within_one_percent(total, sum(disks["requiredKB"]), "expanded")
        # The program opens these by their names, uncompressed.
        listing = os.listdir(ARGS.medium)
        products = by_upper_name(ARGS.product)
        for name in BESIDE_PROGRAM:
            self.assertIn(name, listing)
            self.assertEqual(read(os.path.join(ARGS.medium, name)), read(products[name.upper()]))
        if ARGS.setup:
            self.assertEqual(read(os.path.join(ARGS.medium, "SETUP.EXE")), read(ARGS.setup))

    def test_release_medium_compresses_only_where_it_shrinks(self):
        products = by_upper_name(ARGS.product)
        plain = []
        compressed = 0
        for key, path in by_upper_name(ARGS.medium).items():
            if key in ("SETUP.EXE",) or key in {n.upper() for n in BESIDE_PROGRAM}:
                continue
            if read(path)[:8] == SZDD:
                compressed += 1
                self.assertLess(os.path.getsize(path), os.path.getsize(products[key]), key)
            else:
                plain.append(path)
        self.assertGreater(compressed, 0)
        # What stayed plain would not have shrunk.
        with tempfile.TemporaryDirectory() as work:
            copies = []
            for n, path in enumerate(plain):
                copy = os.path.join(work, "f%d" % n)
                with open(copy, "wb") as f:
                    f.write(read(path))
                copies.append(copy)
            if copies:
                subprocess.run(["mscompress"] + copies, check=True, stdout=subprocess.DEVNULL)
            for path, copy in zip(plain, copies):
                self.assertGreaterEqual(os.path.getsize(copy + "_"), os.path.getsize(path), path)

    def test_release_disk_set_is_one_disk_like_the_medium(self):
        # The medium's files are checked against the product above; here
        # the disk's are checked against the medium's.
        disk1 = by_upper_name(os.path.join(ARGS.media, "disk1"))
        medium = by_upper_name(ARGS.medium)
        expected = {n.upper() for n in release_file_names(ARGS.release)}
        expected |= {"QUILLMRK.DAT"} | ({"SETUP.EXE"} if ARGS.setup else set())
        self.assertEqual(sorted(disk1), sorted(expected))
        for key, path in disk1.items():
            self.assertEqual(read(path), read(medium[key]), key)
        self.assertFalse(os.path.exists(os.path.join(ARGS.media, "disk2")))

    def test_three_disk_release(self):
        release = mkrelease.read_release(RELEASE3)
        table = release.disks
        self.assertGreater(table["diskCount"], 1, "the test release is a disk set")
        for d in range(1, table["diskCount"] + 1):
            names = release.disk_files(d)
            stored_kb, expanded_kb = table["compressedKB"][d - 1], table["requiredKB"][d - 1]
            folder = os.path.join(ARGS.media, "release3", "disk%d" % d)
            extra = ["SETUP.EXE"] if d == 1 and ARGS.setup3 else []
            stored, total = self.check_folder(folder, names, ARGS.product3, extra)
            self.assert_within_one_percent(stored, stored_kb, "disk %d stored" % d)
            self.assert_within_one_percent(total, expanded_kb, "disk %d expanded" % d)
        # The owner data file is writable on disk 1: that is what selects the disk-set mode.
        self.assertTrue(os.access(os.path.join(ARGS.media, "release3", "disk1", "quillmrk.dat"),
                                  os.W_OK))
        if ARGS.setup3:
            self.assertEqual(read(os.path.join(ARGS.media, "release3", "disk1", "SETUP.EXE")),
                             read(ARGS.setup3))

    def test_programs_and_files_carry_the_release_time(self):
        folders = [ARGS.medium, os.path.join(ARGS.media, "disk1")] + \
            [os.path.join(ARGS.media, "release3", "disk%d" % d) for d in (1, 2, 3)]
        paths = [os.path.join(f, n) for f in folders for n in os.listdir(f)]
        late = [p for p in paths if os.stat(p).st_mtime != ARGS.release_time]
        self.assertEqual(late, [], "not dated the release time")
        # Every program (a PE file, expanded where stored compressed): the
        # linker's time stamp in its file header. Disk 1 holds the medium's
        # bytes (checked above).
        programs = [p for p in paths if p.upper().endswith((".EXE", ".DLL"))
                    and os.path.dirname(p) != folders[1]]
        stamps = {}
        for path, data in expand_all(programs).items():
            header = struct.unpack_from("<I", data, 0x3C)[0] if data[:2] == b"MZ" else 0
            if data[header:header + 4] == b"PE\0\0":
                stamps[path] = struct.unpack_from("<I", data, header + 8)[0]
        self.assertLessEqual({"SETUP.EXE", "QMSETUP.EXE", "SNBD7W95.DLL"},
                             {os.path.basename(p).upper() for p in stamps})
        self.assertEqual({p: t for p, t in stamps.items() if t != ARGS.release_time}, {})

    def test_every_import_has_its_platform_row(self):
        if not ARGS.setup:
            self.skipTest("no SETUP.EXE in this build")
        imports, header = program_header(ARGS.setup)
        rows = platform_rows()
        lacking = sorted("%s %s" % i for i in imports - set(rows))
        unused = sorted("%s %s" % r for r, optional in rows.items() if r not in imports and not optional)
        if lacking or unused:
            self.fail("%s: imports lacking a row: %s; rows naming no import: %s" % (
                PLATFORM_CALLS, ", ".join(lacking) or "none", ", ".join(unused) or "none"))
        # Windows 95 loads nothing marked for a later Windows than 4.0.
        for field in ("OSystemVersion", "SubsystemVersion"):
            self.assertRegex(header, r"\nMajor%s\s+4\nMinor%s\s+0\n" % (field, field))

    def test_manifest_asks_for_administrator_and_keeps_the_look(self):
        """The application manifest travels in the program as it is written:
        administrator rights, Windows Vista to 10 named, no DPI awareness and
        no common controls 6 (both would change what the pixel tests see)."""
        if not ARGS.setup:
            self.skipTest("no SETUP.EXE in this build")
        program = read(ARGS.setup)
        start, end = program.find(b"<assembly"), program.find(b"</assembly>")
        self.assertTrue(0 <= start < end, "SETUP.EXE carries no application manifest")
        manifest = program[start:end].decode("utf-8")
        self.assertIn('level="requireAdministrator"', manifest)
        os_ids = re.findall(r'<supportedOS Id="\{([0-9a-f-]+)\}"/>', manifest)
        self.assertEqual(os_ids, ["e2011457-1546-43c5-a5fe-008deee3d3f0",   # Vista
                                  "35138b9a-5d96-4fbd-8e2d-a2440225f93a",   # 7
                                  "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",   # 8
                                  "1f676c76-80e1-4239-95bb-83d0f6d0da78",   # 8.1
                                  "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"])  # 10
        for absent in ("dpiAware", "dpiAwareness", "Common-Controls", "dependency"):
            self.assertNotIn(absent, manifest)

    def test_background_picture(self):
        data = read(os.path.join(ARGS.medium, "newscr1.bmp"))
        self.assertEqual(data[:2], b"BM")
        width, height, planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
        colours = struct.unpack_from("<I", data, 46)[0]
        self.assertEqual((width, height, planes, bits, compression), (671, 500, 1, 8, 0))
        self.assertEqual(colours, 256)
        self.assertEqual(len(data), 14 + 40 + 256 * 4 + 672 * 500)
        # More than a flat fill: the picture uses many of its colours.
        self.assertGreater(len(set(data[14 + 40 + 1024:])), 100)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for option in ("--medium", "--media", "--product", "--product3"):
        parser.add_argument(option, required=True)
    parser.add_argument("--release", default=os.path.join(ROOT, "release"))
    parser.add_argument("--setup")
    parser.add_argument("--setup3")
    parser.add_argument("--release-time", type=int, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
