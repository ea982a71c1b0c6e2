#!/usr/bin/env python3
"""Seals a Windows program and sets the checksum in its PE header, in place.

    pesum.py PROGRAM.EXE          write the seal and the checksum
    pesum.py --check PROGRAM.EXE  exit 1 when either is wrong

The seal is a CRC-32 of the whole file but the seal itself, the header's
checksum, the certificate table's directory entry and the certificate table
(the signature) at the file's end. It lies in the DOS header's reserved
words (offset 0x28: the tag "QMS1", then the CRC), which no loader reads.
SETUP.EXE checks both at every start: the header's 16-bit sum alone stays
valid when two table entries or two sectors are swapped.

The linker leaves both unset; the build runs this after linking, and
tools/mksign again after signing (signing changes only the parts left out,
so the seal still holds and the checksum is set over the signed file).
An unsigned file is first padded with zeros to a multiple of 8 bytes, so
that signing never adds bytes the seal covers. A program edited on purpose
(a vendor changing a resource) is sealed again with this tool before it is
signed; a signed program whose sealed bytes changed is refused: remove its
signature (osslsigncode remove-signature), seal it, sign it again.
"""
import struct
import sys
import zlib

SEAL_TAG_AT = 0x28
SEAL_AT = 0x2C
SEAL_TAG = b"QMS1"


def checksum_offset(data):
    """Where the header's checksum lies: 64 bytes into the optional header."""
    if data[:2] != b"MZ" or len(data) < 64:
        raise ValueError("not a Windows program (no MZ header)")
    pe = struct.unpack_from("<I", data, 60)[0]
    if data[pe:pe + 4] != b"PE\0\0" or pe + 24 + 68 > len(data):
        raise ValueError("not a Windows program (no PE header)")
    return pe + 24 + 64


def security_entry(data):
    """Where the certificate table's directory entry lies (a 32-bit
    program's fifth data directory), with its offset and size."""
    pe = struct.unpack_from("<I", data, 60)[0]
    optional = pe + 24
    if optional + 136 > len(data) or struct.unpack_from("<H", data, optional)[0] != 0x10B \
            or struct.unpack_from("<I", data, optional + 92)[0] < 5:
        raise ValueError("not a 32-bit Windows program with a certificate directory")
    entry = optional + 128
    offset, size = struct.unpack_from("<II", data, entry)
    return entry, offset, size


def sealed_end(data):
    """Where the sealed bytes end: at the signature, which must run to the
    file's end (bytes after it would be checked by nobody)."""
    _, offset, size = security_entry(data)
    if size == 0:
        return len(data)
    if offset + size != len(data):
        raise ValueError("the certificate table does not end the file")
    return offset


def seal(data):
    """The CRC-32 of the sealed bytes."""
    skip = sorted([(SEAL_AT, 4), (checksum_offset(data), 4), (security_entry(data)[0], 8)])
    crc, at, end = 0, 0, sealed_end(data)
    for start, length in skip:
        crc = zlib.crc32(data[at:start], crc)
        at = start + length
    return zlib.crc32(data[at:end], crc) & 0xFFFFFFFF


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


def problems(data):
    """What is wrong with the seal and the checksum, [] when both hold."""
    found = []
    stored_tag, stored_seal = data[SEAL_TAG_AT:SEAL_TAG_AT + 4], struct.unpack_from("<I", data, SEAL_AT)[0]
    if stored_tag != SEAL_TAG:
        found.append("no seal")
    elif stored_seal != seal(data):
        found.append("seal %08X stored, %08X computed" % (stored_seal, seal(data)))
    stored, wanted = struct.unpack_from("<I", data, checksum_offset(data))[0], pe_checksum(data)
    if stored != wanted:
        found.append("checksum %08X stored, %08X computed" % (stored, wanted))
    return found


def sealed(data):
    """data sealed and with its checksum set."""
    if security_entry(data)[2] == 0:
        data += b"\0" * (-len(data) % 8)
    elif data[SEAL_TAG_AT:SEAL_TAG_AT + 4] != SEAL_TAG or \
            struct.unpack_from("<I", data, SEAL_AT)[0] != seal(data):
        raise ValueError("signed, and its sealed bytes changed since: remove the signature, "
                         "seal it, sign it again")
    data = bytearray(data)
    data[SEAL_TAG_AT:SEAL_TAG_AT + 4] = SEAL_TAG
    struct.pack_into("<I", data, SEAL_AT, seal(bytes(data)))
    struct.pack_into("<I", data, checksum_offset(data), pe_checksum(bytes(data)))
    return bytes(data)


def main(argv):
    check = len(argv) == 3 and argv[1] == "--check"
    if len(argv) != 2 and not check:
        sys.stderr.write("usage: pesum.py [--check] PROGRAM.EXE\n")
        return 64
    path = argv[-1]
    try:
        with open(path, "rb") as f:
            data = f.read()
        if check:
            found = problems(data)
            if found:
                sys.stderr.write("pesum: %s: %s\n" % (path, "; ".join(found)))
            return 1 if found else 0
        result = sealed(data)
    except (OSError, ValueError, struct.error) as e:
        sys.stderr.write("pesum: %s: %s\n" % (path, e))
        return 1
    if result != data:
        with open(path, "wb") as f:
            f.write(result)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
