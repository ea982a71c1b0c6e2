#!/usr/bin/env python3
"""Makes a test file pass for a release's file: the same size and CRC-32.

    forge_release_file.py FILE RELEASE_FILE

FILE (a test imaging library) is padded with zeros after its last byte
(the loader reads a program's sections, never what follows them) and its
last four bytes set so that its CRC-32 is RELEASE_FILE's. SETUP.EXE loads a
library only when it is the release's; the splash scenario's library must
look like it.
"""
import struct
import sys
import zlib


def forged(data, size, wanted):
    """data padded to size bytes, the last four chosen for CRC-32 wanted:
    the CRC's register run back from wanted over four unknown bytes."""
    if len(data) + 4 > size:
        raise ValueError("%d bytes do not fit in %d with the four of the CRC" % (len(data), size))
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
        table.append(c)
    by_top = {entry >> 24: n for n, entry in enumerate(table)}
    body = data + b"\0" * (size - 4 - len(data))
    register = wanted ^ 0xFFFFFFFF
    for _ in range(4):
        n = by_top[register >> 24]
        register = ((register ^ table[n]) << 8 | n) & 0xFFFFFFFF
    return body + struct.pack("<I", register ^ zlib.crc32(body) ^ 0xFFFFFFFF)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: forge_release_file.py FILE RELEASE_FILE\n")
        return 64
    with open(argv[1], "rb") as f:
        data = f.read()
    with open(argv[2], "rb") as f:
        release = f.read()
    try:
        result = forged(data, len(release), zlib.crc32(release))
    except ValueError as e:
        sys.stderr.write("forge_release_file: %s: %s\n" % (argv[1], e))
        return 1
    assert zlib.crc32(result) == zlib.crc32(release)
    with open(argv[1], "wb") as f:
        f.write(result)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
