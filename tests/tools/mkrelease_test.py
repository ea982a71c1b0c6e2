#!/usr/bin/env python3
"""The release table generator: what it makes of a good release, and its
refusal of each bad one in bad_releases/, by file and line.

    mkrelease_test.py CXX     (CXX compiles the generated tables)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
MKRELEASE = os.path.join(ROOT, "tools", "mkrelease", "mkrelease.py")
GOOD = os.path.join(HERE, "good_release")
BAD = os.path.join(HERE, "bad_releases")
CXX = "c++"

# Prints the generated tables back, one line each, as the program holds them.
PRINTER = r'''
#include <cstdio>
#include "copy/manifest.h"
#include "shell/billboard_state.h"
static void bytes(const char *s) {
    for (; *s; s++) std::printf("%02x", (unsigned char)*s);
    std::printf("\n");
}
int main() {
    std::printf("%d\n", installManifestCount);
    for (int i = 0; i < installManifestCount; i++) std::printf("%s\n", InstallManifest[i]);
    std::printf("%d", diskTable.diskCount);
    for (int i = 0; i < maxDisks + 2; i++) std::printf(" %d", diskTable.diskStart[i]);
    for (int i = 0; i < maxDisks; i++) std::printf(" %d", diskTable.compressedKB[i]);
    for (int i = 0; i < maxDisks; i++) std::printf(" %d", diskTable.requiredKB[i]);
    std::printf("\n");
    for (int i = 0; i <= maxDisks; i++) std::printf("[%s]", diskTable.diskNames[i]);
    std::printf("\n");
    for (int i = 0; i < themeTitleCount; i++) bytes(themeTitles[i]);
    std::printf("%s|%s|%s\n", bulletTexts[0], bulletTexts[1], bulletTexts[29]);
    std::printf("%s\n", productTagLine);
    bytes(makerNoticeLine);
}
'''


def run_generator(*args):
    return subprocess.run([sys.executable, MKRELEASE] + list(args), capture_output=True, text=True)


class GoodRelease(unittest.TestCase):
    def test_generated_tables_compile_and_hold_the_release(self):
        with tempfile.TemporaryDirectory() as work:
            tables = os.path.join(work, "release_tables.cpp")
            result = run_generator(GOOD, tables)
            self.assertEqual(result.returncode, 0, result.stderr)
            printer = os.path.join(work, "printer.cpp")
            with open(printer, "w") as f:
                f.write(PRINTER)
            program = os.path.join(work, "printer")
            build = subprocess.run([CXX, "-std=c++17", "-Wall", "-Wextra", "-Werror", "-I", ROOT,
                                    printer, tables, "-o", program], capture_output=True, text=True)
            self.assertEqual(build.returncode, 0, build.stderr)
            out = subprocess.run([program], capture_output=True, check=True).stdout.decode("ascii")
        lines = out.split("\n")
        self.assertEqual(lines[0], "11")
        self.assertEqual(lines[1:12], ["addon32.exe", "README.TXT", "[DIR_START]", "FONTS",
                                       "ARIAL.TTF", "[DIR_END]", "Finished", "[DIR_START]",
                                       "SAMPLES", "MEMO.QMD", "[DIR_END]"])
        self.assertEqual(lines[12], "2 0 0 2 11 0 0 0 0 0 0 0 10 20 0 0 0 0 0 0 0 20 40 0 0 0 0 0 0 0")
        self.assertEqual(lines[13], "[][Disk #1][Disk #2][][][][][][][]")
        # Quotes, backslash and "??!" (a trigraph if written plainly) come
        # through as written; missing titles are empty.
        self.assertEqual(bytes.fromhex(lines[14]), b'First "quoted" title')
        self.assertEqual(bytes.fromhex(lines[15]), b"C:\\QUILLMRK??!")
        self.assertEqual(lines[16:21], ["", "", "", "", ""])
        self.assertEqual(lines[21], "Line one|Line two|")
        self.assertEqual(lines[22], "Tag line")
        # The copyright sign in the Windows Western code page: one byte, A9.
        self.assertEqual(bytes.fromhex(lines[23]), b"\xa9 Maker")

    def test_product_files_give_each_file_entry_its_size_and_crc(self):
        # CRC-32 check values: "123456789" gives CBF43926, "abc" 352441C2.
        contents = {"addon32.exe": b"abc", "README.TXT": b"", "arial.ttf": b"123456789",
                    "MEMO.QMD": b"a", "NEWSCR1.BMP": b"abc", "quillmrk.dat": b""}
        with tempfile.TemporaryDirectory() as work:
            product = os.path.join(work, "product")
            os.makedirs(product)
            for name, data in contents.items():
                with open(os.path.join(product, name), "wb") as f:
                    f.write(data)
            tables = os.path.join(work, "tables.cpp")
            result = run_generator("--product", product, GOOD, tables)
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(tables) as f:
                text = f.read()
            os.remove(os.path.join(product, "MEMO.QMD"))
            missing = run_generator("--product", product, GOOD, tables)
        rows = text.split("const ReleaseFile releaseFiles[] = {\n")[1].split("};")[0]
        self.assertEqual(rows.splitlines(), [
            "    {3, 0x352441C2u},  // 0", "    {0, 0x00000000u},  // 1",
            "    {-1, 0x00000000u},  // 2", "    {-1, 0x00000000u},  // 3",
            "    {9, 0xCBF43926u},  // 4", "    {-1, 0x00000000u},  // 5",
            "    {-1, 0x00000000u},  // 6", "    {-1, 0x00000000u},  // 7",
            "    {-1, 0x00000000u},  // 8", "    {1, 0xE8B7BE43u},  // 9",
            "    {-1, 0x00000000u},  // 10"])
        # The files opened beside the program, unlisted, in any letter case.
        rows = text.split("const BesideFile releaseFilesBeside[] = {\n")[1].split("};")[0]
        self.assertEqual(rows.splitlines(), ['    {"SNBD7W95.DLL", {-1, 0x00000000u}},',
                                             '    {"newscr1.bmp", {3, 0x352441C2u}},',
                                             '    {"quillmrk.dat", {0, 0x00000000u}},'])
        self.assertEqual(missing.returncode, 1)
        self.assertIn("MEMO.QMD is missing from the product folder", missing.stderr)

    def test_byte_order_mark_is_not_part_of_the_first_entry(self):
        with tempfile.TemporaryDirectory() as work:
            release = os.path.join(work, "release")
            shutil.copytree(GOOD, release)
            manifest = os.path.join(release, "manifest.txt")
            with open(manifest, "rb") as f:
                text = f.read()
            with open(manifest, "wb") as f:
                f.write(b"\xef\xbb\xbf" + text)
            tables = os.path.join(work, "tables.cpp")
            result = run_generator(release, tables)
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(tables) as f:
                self.assertIn('    "addon32.exe",  // 0\n', f.read())

    def test_check_mode_writes_nothing(self):
        result = run_generator("--check", GOOD)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, "")

    def test_the_releases_of_the_repository_pass(self):
        for folder in ("release", os.path.join("tests", "release3")):
            result = run_generator("--check", os.path.join(ROOT, folder))
            self.assertEqual(result.returncode, 0, folder + ": " + result.stderr)

    def test_wrong_command_line_is_a_usage_error(self):
        self.assertEqual(run_generator().returncode, 64)
        self.assertEqual(run_generator("--frobnicate", GOOD).returncode, 64)


class BadReleases(unittest.TestCase):
    """Each file in bad_releases/ replaces one file of the good release; its
    header says which and what the refusal must say, "FILE:LINE: text"."""

    def test_each_bad_release_is_refused_by_file_and_line(self):
        cases = sorted(n for n in os.listdir(BAD) if n.endswith(".txt"))
        self.assertGreaterEqual(len(cases), 30)
        for case in cases:
            with self.subTest(case=case):
                path = os.path.join(BAD, case)
                with open(path, encoding="utf-8") as f:
                    replaces = f.readline().split(":", 1)[1].strip()
                    expect = f.readline().split(":", 1)[1].strip()
                with tempfile.TemporaryDirectory() as work:
                    release = os.path.join(work, "release")
                    shutil.copytree(GOOD, release)
                    shutil.copyfile(path, os.path.join(release, replaces))
                    output = os.path.join(work, "tables.cpp")
                    result = run_generator(release, output)
                    self.assertEqual(result.returncode, 1)
                    self.assertFalse(os.path.exists(output), "no tables from a bad release")
                message = result.stderr.strip()
                where, _, text = expect.partition(": ")
                self.assertTrue(message.startswith("mkrelease: " + os.path.join(release, where)
                                                   + ": "), message)
                self.assertIn(text, message)

    def test_missing_file_is_named(self):
        with tempfile.TemporaryDirectory() as work:
            release = os.path.join(work, "release")
            shutil.copytree(GOOD, release)
            os.remove(os.path.join(release, "disks.txt"))
            result = run_generator("--check", release)
        self.assertEqual(result.returncode, 1)
        self.assertIn(os.path.join(release, "disks.txt") + ":0: cannot read", result.stderr)


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        CXX = sys.argv.pop(1)
    unittest.main()
