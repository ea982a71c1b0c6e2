#!/usr/bin/env python3
"""Writes the product's files for a release: deterministic stand-ins whose
sizes and compressibility add up to the release's disk table.

    mkproduct.py --release DIR --out DIR [--provided NAME ...]

Every file name of the manifest gets a file in --out, except the --provided
ones, which the build has put there already (the imaging library, the
configuration program, the picture, the owner data file); their real sizes
are counted. Sizes follow the kind of file (its extension) and a hash of its
name; contents mix incompressible stretches with repeated records, so that
the Windows LZ format ("SZDD", as Debian's mscompress writes it) shrinks each
file by a known share. On each disk one file takes up the difference, so
that the disk's files come to its row of the disk table: the stored
(compressed) size and the expanded size, in units of 1000 bytes, both within
a fraction of a percent.

Files whose contents did not change are not rewritten, so that the medium
builder does not compress them again.
"""
import argparse
import hashlib
import os
import random
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "mkrelease"))
sys.path.insert(0, os.path.join(HERE, "..", "mkmedium"))
import mkrelease  # noqa: E402
import mkmedium   # noqa: E402

PRODUCT = "Quillmark Professional 4.0"

# What mscompress makes of the two kinds of stretch, bytes out per byte in
# (measured): random bytes cannot be matched, a repeated record is matched
# almost completely. Each file also pays a fixed amount (the SZDD header, the
# text header line, the first record) and a little more per random stretch.
RANDOM_COST = 1.1253
RECORD_COST = 0.1328
FILE_COST = 200
FILE_COST_PER_RANDOM_SHARE = 400
CHUNK = 2048       # a random stretch and a record stretch, within LZ's 4 KB window

# Sizes (expanded, stored) the build's own files are planned with; the
# balance files take up whatever they really come to.
PLANNED_PROVIDED = {"SNBD7W95.DLL": (18000, 18000), "QMSETUP.EXE": (46000, 27000),
                    "NEWSCR1.BMP": (337078, 337078), "QUILLMRK.DAT": (100, 100)}
# What mscompress typically makes of the readable text files.
TEXT_RATIO = 0.33

# Kind of file by extension: (smallest KB, largest KB, share of random bytes,
# style). Text files are readable; their compression is measured, not planned.
KINDS = {
    "EXE": (40, 900, 0.55, "binary"), "DLL": (20, 700, 0.55, "binary"),
    "OCX": (60, 300, 0.55, "binary"), "TLB": (8, 40, 0.40, "binary"),
    "FLT": (15, 120, 0.55, "binary"), "LIB": (20, 150, 0.45, "binary"),
    "HLP": (150, 1500, 0.35, "binary"), "TTF": (40, 250, 0.60, "binary"),
    "PFB": (30, 80, 0.70, "binary"), "FOT": (1, 2, 0.30, "binary"),
    "FON": (10, 80, 0.30, "binary"), "BMP": (2, 80, 0.15, "binary"),
    "CUR": (1, 2, 0.10, "binary"), "STP": (3, 20, 0.20, "binary"),
    "ICM": (3, 30, 0.50, "binary"), "LEX": (100, 900, 0.45, "binary"),
    "DAT": (20, 400, 0.45, "binary"), "QMD": (30, 600, 0.40, "binary"),
    "QMT": (5, 40, 0.30, "binary"), "QMB": (50, 200, 0.40, "binary"),
    "TIF": (50, 800, 0.90, "binary"), "JPG": (30, 300, 1.0, "binary"),
    "GIF": (20, 200, 1.0, "binary"), "PCX": (50, 400, 0.35, "binary"),
    "DCX": (100, 600, 0.35, "binary"), "DOC": (20, 200, 0.30, "binary"),
    "WMF": (10, 120, 0.30, "binary"), "PIF": (1, 1, 0.30, "binary"),
    "SPD": (4, 20, 0.30, "binary"), "WPD": (4, 30, 0.30, "binary"),
    "TXT": (2, 30, None, "text"), "INI": (1, 6, None, "text"),
    "REG": (1, 4, None, "text"), "INF": (2, 10, None, "text"),
    "BAT": (1, 2, None, "text"), "LST": (1, 4, None, "text"),
    "CNT": (2, 12, None, "text"), "H": (4, 40, None, "text"),
    "C": (4, 30, None, "text"), "MAK": (1, 4, None, "text"),
    "DEF": (1, 4, None, "text"), "BAS": (4, 20, None, "text"),
    "PAS": (4, 20, None, "text"), "PRO": (4, 40, None, "text"),
    "PS": (4, 60, None, "text"), "PPD": (10, 60, None, "text"),
    "RTF": (10, 80, None, "text"), "DXF": (20, 200, None, "text"),
    "QMS": (2, 10, None, "text"), "": (8, 16, None, "text"),
}
LANGUAGE_RESOURCES = (50, 300, 0.50, "binary")   # QMRES.ENU and its kin
OTHER = (5, 60, 0.50, "binary")

WORDS = ("page document markup layer stamp note viewer print scan fax zoom "
         "rotate thumbnail annotation highlight redact compare revision folder "
         "index search font printer driver option setting default user network "
         "file format image text the a of to and for with on in is are each "
         "select open close save export import convert colour width height "
         "resolution paper tray orientation portrait landscape margin").split()


class ProductError(Exception):
    pass


def kind_of(name):
    base, _, ext = name.upper().partition(".")
    if base == "QMRES":
        return LANGUAGE_RESOURCES
    return KINDS.get(ext, OTHER)


def name_hash(name):
    return int.from_bytes(hashlib.sha256(name.encode("ascii")).digest()[:8], "little")


def planned_size(name):
    """Expanded bytes before scaling: log-uniform within the kind's range."""
    low, high, _, _ = kind_of(name)
    u = (name_hash(name) % 1000003) / 1000003
    return 1000 * low * (high / low) ** u


def binary_cost(size, random_share):
    """Bytes mscompress makes of a binary stand-in (see binary_contents)."""
    random_bytes = size * random_share
    return (FILE_COST + FILE_COST_PER_RANDOM_SHARE * random_share +
            RANDOM_COST * random_bytes + RECORD_COST * (size - random_bytes))


def stored_cost(size, random_share):
    """The medium keeps a file plain when compression does not shrink it."""
    return min(size, binary_cost(size, random_share))


def header_line(name, what):
    return ("%s -- %s -- %s\r\n" % (PRODUCT, name, what)).encode("ascii")


def binary_contents(name, size, random_share):
    """A header line, then chunks of random bytes and repeated records."""
    rng = random.Random(name_hash(name))
    out = bytearray(header_line(name, "binary file"))
    record = bytes(rng.randrange(32, 127) for _ in range(61)) + b"\r\n\x00"
    random_part = int(round(random_share * CHUNK))
    while len(out) < size:
        out += rng.randbytes(random_part)
        count = CHUNK - random_part
        start = rng.randrange(len(record))
        out += (record * (count // len(record) + 2))[start:start + count]
    return bytes(out[:size])


def text_contents(name, size):
    """Readable lines of product words, with CR LF line ends."""
    rng = random.Random(name_hash(name))
    out = bytearray(header_line(name, "text file"))
    out += b"\r\n"
    section = 1
    while len(out) < size:
        if rng.random() < 0.1:
            out += ("\r\n[Section %d]\r\n" % section).encode("ascii")
            section += 1
        words = [rng.choice(WORDS) for _ in range(rng.randrange(5, 12))]
        out += (" ".join(words).capitalize() + ".\r\n").encode("ascii")
    return bytes(out[:size - 2]) + b"\r\n" if size > 2 else bytes(out[:size])


def measure_stored(paths, keep_plain):
    """Real stored sizes: mscompress each file in a scratch folder."""
    sizes = {}
    with tempfile.TemporaryDirectory() as scratch:
        jobs = []
        for key, path in paths.items():
            if key in keep_plain:
                sizes[key] = os.path.getsize(path)
                continue
            copy = os.path.join(scratch, "f%d" % len(jobs))
            shutil.copyfile(path, copy)
            jobs.append((key, copy))
        if jobs:
            subprocess.run(["mscompress"] + [c for _, c in jobs], check=True,
                           stdout=subprocess.DEVNULL)
            for key, copy in jobs:
                sizes[key] = min(os.path.getsize(copy), os.path.getsize(copy + "_"))
    return sizes


def write_if_changed(path, data):
    try:
        if os.path.getsize(path) == len(data):
            with open(path, "rb") as f:
                if f.read() == data:
                    return False
    except OSError:
        pass
    with open(path, "wb") as f:
        f.write(data)
    return True


def solve(target, low, high, total):
    """The x in [low, high] at which the rising function total(x) reaches
    target (bisection; deterministic). Clamped to the ends."""
    for _ in range(60):
        mid = (low + high) / 2
        if total(mid) < target:
            low = mid
        else:
            high = mid
    return (low + high) / 2


def base_share(key):
    return kind_of(key)[2]


def share_at(key, factor):
    """A kind's random share scaled by factor. Already compressed kinds
    (share 1) stay incompressible."""
    base = base_share(key)
    return 1.0 if base >= 1.0 else min(0.85, base * factor)


class Plan:
    def __init__(self):
        self.spelling = {}     # upper-case name -> the manifest's spelling
        self.per_disk = []     # per disk: {key: occurrences on that disk}
        self.targets = []      # per disk: (expanded bytes, stored bytes)
        self.sizes = {}        # generated key -> expanded bytes
        self.shares = {}       # binary key -> random share
        self.balance = []      # per disk: the key that takes up the difference
        self.text = []
        self.binary = []


def plan(release, provided):
    """Sizes and random shares of the files to generate, disk by disk.

    Each file is sized on the first disk that carries it: the kind's planned
    size scaled so that the disk's files come to the disk table's expanded
    size, and the random shares scaled so that they come to its stored size.
    The provided files are planned with fixed sizes and the text files with
    a typical compression, so everything but the balance files depends on
    the release alone. One balance file a disk, the largest binary file found
    on that disk only, later takes up what the real sizes differ by."""
    p = Plan()
    owner = {}
    for d in range(1, release.disks["diskCount"] + 1):
        counts = {}
        for name in release.disk_files(d):
            key = name.upper()
            counts[key] = counts.get(key, 0) + 1
            p.spelling.setdefault(key, name)
            owner.setdefault(key, d)
        p.per_disk.append(counts)
        p.targets.append((1000 * release.disks["requiredKB"][d - 1],
                          1000 * release.disks["compressedKB"][d - 1]))
    elsewhere = {}
    for d, counts in enumerate(p.per_disk, 1):
        for key in counts:
            elsewhere.setdefault(key, set()).add(d)

    stored_estimate = {}
    for d, counts in enumerate(p.per_disk, 1):
        expanded_target, stored_target = p.targets[d - 1]
        owned = sorted(k for k in counts if owner[k] == d and k not in provided)
        candidates = [k for k in owned if kind_of(k)[3] == "binary" and
                      base_share(k) < 1.0 and elsewhere[k] == {d}]
        if not counts:
            p.balance.append(None)
            continue
        if not candidates:
            raise ProductError("disk %d carries no binary file of its own that could take "
                               "up the difference to the disk table" % d)
        balance = max(candidates, key=lambda k: (planned_size(k), k))
        p.balance.append(balance)

        fixed_expanded = fixed_stored = 0.0
        for k, n in counts.items():
            if k in provided:
                planned = PLANNED_PROVIDED.get(k, (0, 0))
                fixed_expanded += n * planned[0]
                fixed_stored += n * planned[1]
            elif owner[k] != d:
                fixed_expanded += n * p.sizes[k]
                fixed_stored += n * stored_estimate[k]
        raw = sum(counts[k] * planned_size(k) for k in owned)
        if expanded_target <= fixed_expanded or raw <= 0:
            raise ProductError("disk %d: %d KB expanded leave no room for its files"
                               % (d, expanded_target // 1000))
        scale = (expanded_target - fixed_expanded) / raw
        for k in owned:
            p.sizes[k] = max(64, int(round(planned_size(k) * scale)))

        text = [k for k in owned if kind_of(k)[3] == "text"]
        binary = [k for k in owned if kind_of(k)[3] == "binary"]
        for k in text:
            stored_estimate[k] = TEXT_RATIO * p.sizes[k]
        fixed_stored += sum(counts[k] * stored_estimate[k] for k in text)
        factor = solve(stored_target - fixed_stored, 0.0, 4.0, lambda f: sum(
            counts[k] * stored_cost(p.sizes[k], share_at(k, f)) for k in binary))
        for k in binary:
            p.shares[k] = share_at(k, factor)
            stored_estimate[k] = stored_cost(p.sizes[k], p.shares[k])
        p.text += text
        p.binary += binary
    return p


def generate(release, out, provided_names):
    provided = {n.upper() for n in provided_names}
    p = plan(release, provided)
    os.makedirs(out, exist_ok=True)
    balances = set(p.balance)
    for k in p.binary:
        if k not in balances:
            write_if_changed(os.path.join(out, p.spelling[k]),
                             binary_contents(p.spelling[k], p.sizes[k], p.shares[k]))
    for k in p.text:
        write_if_changed(os.path.join(out, p.spelling[k]), text_contents(p.spelling[k], p.sizes[k]))

    # Real sizes: provided and text files measured, binary stand-ins as the
    # model they were made by says.
    measured = {}
    for k in sorted(provided | set(p.text)):
        if k not in p.spelling:
            continue
        path = os.path.join(out, p.spelling[k])
        if not os.path.exists(path):
            raise ProductError("%s: provided file missing" % path)
        measured[k] = path
    stored = measure_stored(measured, {n.upper() for n in mkmedium.BESIDE_PROGRAM})
    expanded = {k: os.path.getsize(path) for k, path in measured.items()}
    for k in p.binary:
        if k not in balances:
            expanded[k] = p.sizes[k]
            stored[k] = stored_cost(p.sizes[k], p.shares[k])

    for d, counts in enumerate(p.per_disk, 1):
        balance = p.balance[d - 1]
        if balance is None:
            continue
        expanded_target, stored_target = p.targets[d - 1]
        others = [k for k in counts if k != balance]
        n = counts[balance]
        size = int(round((expanded_target - sum(counts[k] * expanded[k] for k in others)) / n))
        want = (stored_target - sum(counts[k] * stored[k] for k in others)) / n
        # stored_cost(size, share) = want, solved for share.
        share = (want - FILE_COST - RECORD_COST * size) / \
            ((RANDOM_COST - RECORD_COST) * size + FILE_COST_PER_RANDOM_SHARE) if size > 0 else -1
        if size <= 0 or not 0.0 <= share <= 0.85:
            raise ProductError("disk %d cannot reach the disk table (%d KB stored, %d KB "
                               "expanded): its balance file %s would need %d bytes with "
                               "%.2f of them random" % (d, stored_target // 1000,
                                                        expanded_target // 1000,
                                                        p.spelling[balance], size, share))
        write_if_changed(os.path.join(out, p.spelling[balance]),
                         binary_contents(p.spelling[balance], size, share))
    return p


def main(argv):
    parser = argparse.ArgumentParser(description="Writes the product's files for a release.")
    parser.add_argument("--release", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--provided", nargs="*", default=[])
    args = parser.parse_args(argv[1:])
    try:
        release = mkrelease.read_release(args.release)
        generate(release, args.out, args.provided)
    except (mkrelease.ReleaseError, ProductError) as e:
        sys.stderr.write("mkproduct: %s\n" % e)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
