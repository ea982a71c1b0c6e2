#!/usr/bin/env python3
"""Runs the ownerdata tool on files in a temporary folder and checks exit
status, output and the files' bytes.
   ownerdata_tool_test.py --crlf=[1] [EMULATOR...] TOOL
--crlf=1: the tool is a Windows program, whose text files and output end
lines with CR LF."""
import os
import subprocess
import sys
import tempfile
import unittest

CRLF = False
COMMAND = []

HEADER = b"Type=Tessera Data"
# Worked by hand from the key schedule (initial key 0x5A3C).
AB_FILE = HEADER + b"3C1B1AB4"              # the one line "Ab"
EMPTY_FILE = HEADER + b"3C"                 # no lines
USER_FILE = HEADER + b"3C0F0BD18355E2"      # the one line "User="
USER_X_FILE = HEADER + b"3C0F0BD183559AD1"  # the one line "User=x"


def text_lines(*lines):
    end = b"\r\n" if CRLF else b"\n"
    return b"".join(line + end for line in lines)


class Tool(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def run_tool(self, *args):
        # Files, not pipes: a Wine server started by the run inherits the
        # output and would hold a pipe open long after the tool has ended.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            rc = subprocess.run(COMMAND + list(args), cwd=self.dir.name, stdout=out,
                                stderr=err, stdin=subprocess.DEVNULL, timeout=120).returncode
            out.seek(0)
            err.seek(0)
            stdout, stderr = out.read(), err.read()
        if CRLF:
            stdout = stdout.replace(b"\r\n", b"\n")
        return rc, stdout.decode("latin-1"), stderr.decode("latin-1")

    def files(self):
        return sorted(os.listdir(self.dir.name))

    def test_create_writes_the_exact_bytes(self):
        cases = [
            (["Ab"], AB_FILE),
            ([], EMPTY_FILE),
            (["User="], USER_FILE),
            (["User=x"], USER_X_FILE),
        ]
        for lines, expected in cases:
            with self.subTest(lines=lines):
                rc, out, err = self.run_tool("create", "o.dat", *lines)
                self.assertEqual((0, "", ""), (rc, out, err))
                self.assertEqual(expected, self.read("o.dat"))
        rc, _, _ = self.run_tool("create", "--plain", "p.dat", "User=Ann", "Dept=")
        self.assertEqual(0, rc)
        self.assertEqual(text_lines(HEADER, b"User=Ann", b"Dept="), self.read("p.dat"))
        self.assertEqual(["o.dat", "p.dat"], self.files())

    def test_release_file_reads_back_empty_fields(self):
        rc, _, _ = self.run_tool("create", "quillmrk.dat", "User=", "Dept=", "Company=")
        self.assertEqual(0, rc)
        self.assertEqual((0, "User=\nDept=\nCompany=\n", ""), self.run_tool("dump", "quillmrk.dat"))
        self.assertEqual((0, "\n", ""), self.run_tool("get", "quillmrk.dat", "Company"))

    def test_dump_and_get(self):
        self.write("s.dat", AB_FILE)
        self.assertEqual((0, "Ab\n", ""), self.run_tool("dump", "s.dat"))
        self.write("p.dat", text_lines(HEADER, b"User=one", b"", b"Dept=Sales=East",
                                       b"user=two", b"Note"))
        self.assertEqual((0, "User=one\nDept=Sales=East\nuser=two\nNote\n", ""),
                         self.run_tool("dump", "--plain", "p.dat"))
        cases = [
            (["USER"], 0, "one\n"),
            (["user", "2"], 0, "two\n"),
            (["Dept"], 0, "Sales=East\n"),
            (["Note"], 0, "\n"),
            (["User", "3"], 9, ""),
            (["User", "0"], 9, ""),
            (["Company"], 8, ""),
        ]
        for args, status, out in cases:
            with self.subTest(args=args):
                rc, got, err = self.run_tool("get", "--plain", "p.dat", *args)
                self.assertEqual((status, out), (rc, got))
                if status:
                    self.assertTrue(err.startswith("p.dat: "), err)
                    self.assertIn(args[0], err)

    def test_set_saves_in_the_same_mode(self):
        self.write("s.dat", USER_FILE)
        self.assertEqual((0, "", ""), self.run_tool("set", "s.dat", "user", "x"))
        self.assertEqual(USER_X_FILE, self.read("s.dat"))
        self.write("p.dat", text_lines(HEADER, b"User=one", b"User=two"))
        self.assertEqual(0, self.run_tool("set", "--plain", "p.dat", "USER", "2nd", "2")[0])
        self.assertEqual(text_lines(HEADER, b"User=one", b"User=2nd"), self.read("p.dat"))
        rc, _, err = self.run_tool("set", "--plain", "p.dat", "Dept", "x")
        self.assertEqual(8, rc)
        self.assertEqual(text_lines(HEADER, b"User=one", b"User=2nd"), self.read("p.dat"))
        self.assertEqual(["p.dat", "s.dat"], self.files())

    def test_long_value_is_cut_so_the_file_still_loads(self):
        self.write("s.dat", USER_FILE)
        self.assertEqual(0, self.run_tool("set", "s.dat", "User", "v" * 300)[0])
        self.assertEqual(17 + 2 + 2 * 254, len(self.read("s.dat")))
        rc, out, _ = self.run_tool("dump", "s.dat")
        self.assertEqual((0, "User=" + "v" * 248 + "\n"), (rc, out))

    def test_lines_that_would_not_read_back_are_refused(self):
        # An empty line is dropped by the next read; a plain file cannot hold
        # a line break inside a line.
        self.write("p.dat", text_lines(HEADER, b"User=one"))
        cases = [
            (["create", "o.dat", "User=", ""], "line 2 would not read back: empty lines are dropped"),
            (["create", "--plain", "o.dat", ""], "line 1 would not read back: empty lines are dropped"),
            (["set", "--plain", "p.dat", "User", "a\nb"], "VALUE would not read back"),
            (["set", "--plain", "p.dat", "User", "a\rb"], "VALUE would not read back"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                rc, out, err = self.run_tool(*args)
                self.assertEqual((64, ""), (rc, out))
                self.assertIn("ownerdata: " + message, err)
        self.assertEqual(["p.dat"], self.files())
        self.assertEqual(text_lines(HEADER, b"User=one"), self.read("p.dat"))
        # A scrambled file holds any byte but NUL: there the line break stays.
        self.write("s.dat", USER_FILE)
        self.assertEqual((0, "", ""), self.run_tool("set", "s.dat", "User", "a\nb"))
        self.assertEqual((0, "a\nb\n", ""), self.run_tool("get", "s.dat", "User"))

    def test_keys_count_with_their_first_80_characters(self):
        long_key = b"k" * 100
        self.write("p.dat", text_lines(HEADER, long_key + b"=far"))
        self.assertEqual((0, "far\n", ""), self.run_tool("get", "--plain", "p.dat", "k" * 80))
        rc, out, err = self.run_tool("get", "--plain", "p.dat", "k" * 100)
        self.assertEqual((8, ""), (rc, out))
        self.assertIn("longer than 80", err)
        # The help says so.
        rc, out, _ = self.run_tool("--help")
        self.assertIn("a KEY longer than 80 characters matches no line", " ".join(out.split()))

    def test_failures_name_the_file_and_the_problem(self):
        self.write("empty.dat", b"")
        self.write("other.dat", b"Kind=Tessera Data3C")
        self.write("s.dat", AB_FILE)
        cases = [
            (["dump", "missing.dat"], 1, "missing.dat: cannot open the file for reading"),
            (["dump", "empty.dat"], 2, "empty.dat: file cannot be read as an owner data file"),
            (["dump", "other.dat"], 4, "other.dat: header is not an owner data header"),
            (["dump", "--plain", "s.dat"], 4, "s.dat: header is not an owner data header"),
            (["create", "nodir/n.dat", "User="], 1, "nodir/n.dat: cannot open the file for writing"),
        ]
        for args, status, message in cases:
            with self.subTest(args=args):
                rc, out, err = self.run_tool(*args)
                self.assertEqual((status, "", message), (rc, out, err.strip()))
        self.assertEqual(["empty.dat", "other.dat", "s.dat"], self.files())

    def test_command_line_errors(self):
        cases = [
            [],
            ["frobnicate", "x.dat"],
            ["dump"],
            ["dump", "a.dat", "b.dat"],
            ["get", "x.dat"],
            ["get", "x.dat", "User", "two"],
            ["set", "x.dat", "User"],
            ["create"],
            ["create", "--scrambled", "x.dat"],
            ["create", "x.dat", "v" * 254],
            ["create", "--plain", "x.dat", "a\nb"],
        ]
        for args in cases:
            with self.subTest(args=args):
                rc, out, err = self.run_tool(*args)
                self.assertEqual((64, ""), (rc, out))
                self.assertIn("usage: ownerdata", err)
        self.assertEqual([], self.files())
        rc, out, err = self.run_tool("--help")
        self.assertEqual((0, ""), (rc, err))
        for word in ["dump", "get", "set", "create", "--plain", "Exit status"]:
            self.assertIn(word, out)


def main():
    global CRLF, COMMAND
    args = sys.argv[1:]
    if args and args[0].startswith("--crlf="):
        CRLF = args.pop(0)[len("--crlf="):] not in ("", "0", "FALSE", "OFF")
    COMMAND = args
    unittest.main(argv=[sys.argv[0], "-v"])


if __name__ == "__main__":
    main()
