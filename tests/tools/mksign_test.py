#!/usr/bin/env python3
"""The signing step on the built SETUP.EXE, with a throwaway authority and
certificate made by openssl here.

    mksign_test.py --setup SETUP.EXE
"""
import os
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from qmtest import read, signing_identity, write  # noqa: E402

MKSIGN = os.path.join(ROOT, "tools", "mksign", "mksign.py")
PESUM = os.path.join(ROOT, "tools", "pesum", "pesum.py")
SETUP = None


class Signing(unittest.TestCase):
    def setUp(self):
        work = tempfile.TemporaryDirectory()
        self.addCleanup(work.cleanup)
        self.work = work.name
        self.id = signing_identity(os.path.join(self.work, "id"))
        self.out = os.path.join(self.work, "out", "SETUP.EXE")
        self.note = os.path.join(self.work, "out", "signature.txt")

    def sign(self, *identity):
        return subprocess.run([sys.executable, MKSIGN, "--in", SETUP, "--out", self.out, "--note",
                               self.note, "--time", "1700000000", "--ca", self.id["ca.pem"]]
                              + list(identity), capture_output=True, text=True)

    def test_signature_verifies_against_the_authority_and_signing_again_gives_the_same_bytes(self):
        result = self.sign("--cert", self.id["cert.pem"], "--key", self.id["key.pem"])
        self.assertEqual(result.returncode, 0, result.stderr)
        verify = subprocess.run(["osslsigncode", "verify", "-CAfile", self.id["ca.pem"], "-in",
                                 self.out], capture_output=True, text=True)
        self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)
        self.assertIn("Signing time: Nov 14 22:13:20 2023 GMT", verify.stdout)
        self.assertRegex(read(self.note).decode(), r"\Asigned by O=Quillmark,CN=Quillmark Test "
                         r"Signer, SHA-256 ([0-9A-F]{2}:){31}[0-9A-F]{2}\n\Z")
        signed = read(self.out)
        # The header's checksum and the seal, which SETUP.EXE checks itself
        # against, hold for the signed file.
        check = subprocess.run([sys.executable, PESUM, "--check", self.out], capture_output=True,
                               text=True)
        self.assertEqual(check.returncode, 0, check.stderr)
        # Two words swapped before the signature keep the header's sum; the
        # seal tells, and pesum refuses to seal the signed file over them.
        swapped = bytearray(signed)
        swapped[0x400:0x404], swapped[0x408:0x40C] = signed[0x408:0x40C], signed[0x400:0x404]
        self.assertNotEqual(bytes(swapped), signed)
        write(self.out, bytes(swapped))
        check = subprocess.run([sys.executable, PESUM, "--check", self.out], capture_output=True,
                               text=True)
        self.assertEqual((check.returncode, check.stderr.count("checksum")), (1, 0), check.stderr)
        self.assertIn(": seal ", check.stderr)
        reseal = subprocess.run([sys.executable, PESUM, self.out], capture_output=True, text=True)
        self.assertIn("remove the signature, seal it, sign it again", reseal.stderr)
        self.assertEqual(read(self.out), bytes(swapped))
        # The same identity from a PKCS#12 file and its password file.
        result = self.sign("--pkcs12", self.id["id.p12"], "--pass-file", self.id["password.txt"])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(read(self.out), signed)

    def test_bad_input_is_refused_in_one_line_and_changes_nothing(self):
        wrong = os.path.join(self.work, "wrong.txt")
        write(wrong, "not the password\n")
        missing = os.path.join(self.work, "missing.pem")
        ec_cert, ec_key = os.path.join(self.work, "ec.pem"), os.path.join(self.work, "ec.key")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                        "ec_paramgen_curve:P-256", "-nodes", "-keyout", ec_key, "-out", ec_cert,
                        "-days", "30", "-subj", "/CN=EC"], check=True, capture_output=True)
        self.assertEqual(self.sign("--cert", self.id["cert.pem"], "--key", self.id["key.pem"])
                         .returncode, 0)
        before = read(self.out), read(self.note)
        for identity, refusal in [
                (["--cert", self.id["cert.pem"], "--key", self.id["ca.key"]],
                 "the key does not belong to the certificate"),
                (["--pkcs12", self.id["id.p12"], "--pass-file", wrong], "wrong password"),
                (["--cert", self.id["expired.pem"], "--key", self.id["key.pem"]],
                 "the certificate expired on"),
                (["--cert", missing, "--key", self.id["key.pem"]], missing + ": no such file"),
                (["--cert", ec_cert, "--key", ec_key], "ECDSA keys sign differently each time"),
                # An empty --ca: the system's authorities, which do not know the test's.
                (["--cert", self.id["cert.pem"], "--key", self.id["key.pem"], "--ca", ""],
                 "SIGN_CA names a company's own authority")]:
            with self.subTest(refusal=refusal):
                result = self.sign(*identity)
                self.assertEqual(result.returncode, 1)
                self.assertRegex(result.stderr,
                                 r"\Amksign: [^\n]*%s[^\n]*\n\Z" % re.escape(refusal))
                self.assertEqual((read(self.out), read(self.note)), before)
                self.assertEqual(sorted(os.listdir(os.path.dirname(self.out))),
                                 ["SETUP.EXE", "signature.txt"])


if __name__ == "__main__":
    if sys.argv[1:2] == ["--setup"]:
        SETUP = sys.argv.pop(2)
        sys.argv.pop(1)
    unittest.main()
