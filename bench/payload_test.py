"""The payload of a release: where each file goes, the NSIS peer's script and
the comparison of an installed tree with the product files."""
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
import payload  # noqa: E402
from qmtest import read, write, write_files, write_release  # noqa: E402

MANIFEST = """# a small release
SETUP.INI
QUILLMRK.DAT
[DIR_START]
PS
PS.INI
[DIR_START]
FONTS
VZFONTMAP
ARIAL.TTF
[DIR_END]
[DIR_START]
EMPTY
[DIR_END]
[DIR_END]
SETUP.INI
Finished
[DIR_START]
SAMPLES
DEMO.QMD
[DIR_END]
"""
DISKS = """diskCount = 1
diskStart = 0 0 20
compressedKB = 1
requiredKB = 1
diskNames[1] = Disk #1
"""
BILLBOARD = """[themeTitles]
Title
[bulletTexts]
Line
[productTagLine]
Tag
[makerNoticeLine]
Notice
"""
PRODUCT = {"SETUP.INI": b"ini", "QUILLMRK.DAT": b"owner", "PS.INI": b"ps",
           "VZFONTMAP": b"map", "arial.ttf": b"font", "DEMO.QMD": b"demo"}


class PayloadCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.release = os.path.join(self.dir, "release")
        self.product = os.path.join(self.dir, "product")
        write_release(self.release, MANIFEST, DISKS, BILLBOARD)
        write_files(self.product, PRODUCT)
        self.files, self.dirs = payload.payload(self.release, self.product)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def install(self, tree, overrides=None):
        """Writes the payload as an installer would, with overrides
        {relative path: bytes or None (left out)}."""
        overrides = overrides or {}
        for parts, source in self.files:
            rel = os.path.join(*parts)
            path = os.path.join(tree, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            data = overrides[rel] if rel in overrides else read(source)
            if data is not None:
                write(path, data)
        os.makedirs(os.path.join(tree, "PS", "EMPTY"), exist_ok=True)


class TreeTest(PayloadCase):
    def test_files_land_where_the_markers_put_them(self):
        where = [("\\".join(parts), os.path.basename(source)) for parts, source in self.files]
        self.assertEqual(where, [
            ("SETUP.INI", "SETUP.INI"),
            ("QUILLMRK.DAT", "QUILLMRK.DAT"),
            ("PS\\PS.INI", "PS.INI"),
            ("PS\\FONTS\\fontmap", "VZFONTMAP"),       # read under one name, installed under another
            ("PS\\FONTS\\ARIAL.TTF", "arial.ttf"),     # product files found whatever their case
            ("SAMPLES\\DEMO.QMD", "DEMO.QMD"),         # samples included
        ])
        self.assertEqual(self.dirs, {("PS",), ("PS", "FONTS"), ("PS", "EMPTY"), ("SAMPLES",)})

    def test_a_missing_product_file_is_named(self):
        os.remove(os.path.join(self.product, "PS.INI"))
        with self.assertRaisesRegex(payload.PayloadError, "no product file PS.INI"):
            payload.payload(self.release, self.product)

    def test_expected_list_leaves_the_owner_data_size_open(self):
        self.assertEqual(payload.expected_lines(self.files), [
            "SETUP.INI\t3\n", "QUILLMRK.DAT\t*\n", "PS\\PS.INI\t2\n", "PS\\FONTS\\fontmap\t3\n",
            "PS\\FONTS\\ARIAL.TTF\t4\n", "SAMPLES\\DEMO.QMD\t4\n"])


class NsisTest(PayloadCase):
    def test_scripts_of_both_compressions(self):
        cases = [("zlib", False), ("lzma", True)]
        for compression, solid in cases:
            with self.subTest(compression=compression):
                text = "".join(payload.nsis_script(self.files, compression))
                self.assertEqual("SetCompressor /SOLID lzma\n" in text, solid)
                self.assertIn('SetOutPath "$INSTDIR\\PS\\FONTS"\n  File "/oname=fontmap" "%s"\n'
                              % os.path.join(self.product, "VZFONTMAP"), text)
                self.assertIn('SetOutPath "$INSTDIR\\SAMPLES"\n', text)
                self.assertEqual(text.count("  File "), 6)

    def test_the_window_peer_shows_only_its_files_page(self):
        silent = "".join(payload.nsis_script(self.files, "zlib"))
        shown = "".join(payload.nsis_script(self.files, "zlib", window=True))
        self.assertNotIn("Page ", silent)
        for line in ("ShowInstDetails show\n", "AutoCloseWindow true\n", "Page instfiles\n"):
            self.assertIn(line, shown)
        self.assertEqual(shown.count("Page "), 1)
        self.assertNotIn("SetCompressor", shown)
        self.assertEqual(shown.count("  File "), 6)

    def test_unknown_compression_is_refused(self):
        with self.assertRaises(payload.PayloadError):
            payload.nsis_script(self.files, "bzip2")


# SETUP.EXE adds nothing to the install folder: its uninstaller and the record lie elsewhere.
SETUP_FILES = {}


class VerifyTest(PayloadCase):
    def check(self, overrides=None, extra=None, owner_data_written=False):
        tree = os.path.join(self.dir, "tree")
        shutil.rmtree(tree, ignore_errors=True)
        self.install(tree, overrides)
        for rel, data in (extra or {}).items():
            write(os.path.join(tree, rel), data)
        return payload.differences(tree, self.files, self.dirs, owner_data_written)

    def test_differences(self):
        cases = [
            ("identical", {}, {}, False, []),
            ("a byte changed", {"PS/PS.INI": b"pS"}, {}, False, ["differs: PS\\PS.INI"]),
            ("a file cut short", {"SAMPLES/DEMO.QMD": b"dem"}, {}, False, ["differs: SAMPLES\\DEMO.QMD"]),
            ("a file missing", {"PS/FONTS/fontmap": None}, {}, False, ["missing PS\\FONTS\\FONTMAP"]),
            ("a file too many", {}, {"EXTRA.TXT": b"x"}, False, ["not in the payload: EXTRA.TXT"]),
            ("owner data written, not allowed", {"QUILLMRK.DAT": b"User=Ann"}, {}, False,
             ["differs: QUILLMRK.DAT"]),
            ("owner data written, allowed", {"QUILLMRK.DAT": b"User=Ann"}, SETUP_FILES, True, []),
            ("owner data missing, though allowed to differ", {"QUILLMRK.DAT": None}, SETUP_FILES, True,
             ["missing QUILLMRK.DAT"]),
            ("an uninstaller's record in the install folder", {"QUILLMRK.DAT": b"User=Ann"}, {"QMREMOVE.DAT": b"d"},
             True, ["not in the payload: QMREMOVE.DAT"]),
        ]
        for name, overrides, extra, owner, expected in cases:
            with self.subTest(name):
                self.assertEqual(self.check({k.replace("/", os.sep): v for k, v in overrides.items()}, extra,
                                            owner), expected)

    def test_letter_case_of_names_does_not_matter(self):
        tree = os.path.join(self.dir, "tree")
        self.install(tree)
        os.rename(os.path.join(tree, "QUILLMRK.DAT"), os.path.join(tree, "quillmrk.dat"))
        os.rename(os.path.join(tree, "PS", "FONTS"), os.path.join(tree, "PS", "fonts"))
        self.assertEqual(payload.differences(tree, self.files, self.dirs), [])

    def test_directories_missing_or_too_many(self):
        tree = os.path.join(self.dir, "tree")
        self.install(tree)
        os.rmdir(os.path.join(tree, "PS", "EMPTY"))
        os.makedirs(os.path.join(tree, "STRAY"))
        self.assertEqual(payload.differences(tree, self.files, self.dirs),
                         ["directory PS\\EMPTY missing", "directory STRAY not in the payload"])

    def test_no_tree(self):
        missing = os.path.join(self.dir, "nothing")
        self.assertEqual(payload.differences(missing, self.files, self.dirs), ["%s: no such folder" % missing])


if __name__ == "__main__":
    unittest.main()
