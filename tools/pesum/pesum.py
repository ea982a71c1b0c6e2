#!/usr/bin/env python3
"""Sets the checksum in a Windows program's PE header, in place.

    pesum.py PROGRAM.EXE          write the checksum
    pesum.py --check PROGRAM.EXE  exit 1 when the stored checksum is wrong

The linker leaves the field 0; SETUP.EXE compares it with the sum of its own
file at every start and refuses to install from a damaged copy. Signing
(osslsigncode) writes the field again over the signed file, so the check
holds for a signed program too.
"""
import struct
import sys


def checksum_offset(data):
    """Where the header's checksum lies: 64 bytes into the optional header."""
    if data[:2] != b"MZ" or len(data) < 64:
        raise ValueError("not a Windows program (no MZ header)")
    pe = struct.unpack_from("<I", data, 60)[0]
    if data[pe:pe + 4] != b"PE\0\0" or pe + 24 + 68 > len(data):
        raise ValueError("not a Windows program (no PE header)")
    return pe + 24 + 64


def pe_checksum(data):
    """The sum the platform defines: 16-bit words added with their carries,
    the checksum field left out, plus the file's length."""
    offset = checksum_offset(data)
    padded = data + b"\0" * (len(data) % 2)
    words = struct.unpack("<%dH" % (len(padded) // 2), padded)
    total = sum(words) - sum(struct.unpack_from("<2H", data, offset))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def main(argv):
    check = len(argv) == 3 and argv[1] == "--check"
    if len(argv) != 2 and not check:
        sys.stderr.write("usage: pesum.py [--check] PROGRAM.EXE\n")
        return 64
    path = argv[-1]
    try:
        with open(path, "rb") as f:
            data = f.read()
        offset = checksum_offset(data)
    except (OSError, ValueError) as e:
        sys.stderr.write("pesum: %s: %s\n" % (path, e))
        return 1
    stored = struct.unpack_from("<I", data, offset)[0]
    wanted = pe_checksum(data)
    if check:
        if stored != wanted:
            sys.stderr.write("pesum: %s: checksum %08X stored, %08X computed\n" % (path, stored, wanted))
            return 1
        return 0
    if stored != wanted:
        with open(path, "r+b") as f:
            f.seek(offset)
            f.write(struct.pack("<I", wanted))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
