#!/usr/bin/env python3
"""Builds the installation media of a release from its product files.

    mkmedium.py --release DIR --product DIR [--setup SETUP.EXE]
                [--medium DIR] [--disks DIR] [--cache DIR] [--report FILE]
                [--time SECONDS]

--medium  the directory-source medium: one flat folder with SETUP.EXE, every
          file of the manifest under its plain name, and the files the
          program opens beside itself (the imaging library, the picture, the
          owner data file).
--disks   a disk set: DIR/disk1 .. DIR/diskN, each with the files of its
          stretch of the manifest; disk 1 also with SETUP.EXE and the owner
          data file.
--time    the release time: every file on the media gets it as its date.
--cache   the build's own folder for this tool: compressed files kept between
          runs, and the record of the folders the tool made.

The media hold nothing but their files: what was made is recorded in the
cache, and only a folder recorded there (or an empty one) is replaced.
Without --cache nothing is remembered, so a second run into the same
folders is refused.

Files are stored in the Windows LZ format (Debian's mscompress, kept under
the plain name) when that makes them smaller, plain otherwise; the files
opened beside the program are always plain. The stored and expanded totals
of each disk are reported and must be within 1 % of the disk table (or
under its unit, 1000 bytes), or nothing is written; each difference is named. A manifest file missing from the product folder is
refused by name.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "mkrelease"))
import mkrelease  # noqa: E402

# Opened by bare name beside the program, so never compressed; the owner
# data file is named as the program opens it, whatever the manifest's case.
BESIDE_PROGRAM = mkrelease.BESIDE_PROGRAM
OWNER_DATA = "quillmrk.dat"
SETUP_NAME = "SETUP.EXE"
MADE_RECORD = "made.json"   # in the cache: the folders this tool made and may replace
OLD_MARK = ".mkmedium"      # what earlier versions left inside the folders they made
TOLERANCE = 0.01
JOBS = 2


class MediumError(Exception):
    pass


class StoredFile:
    def __init__(self, name, source, line):
        self.name = name          # the name on the medium
        self.source = source      # the product file
        self.line = line          # manifest line that first names it (0: not in it)
        self.stored = None        # path of the file as stored
        self.stored_size = None
        self.expanded_size = os.path.getsize(source)
        self.compressed = False


def find_product(product, name, listing):
    exact = os.path.join(product, name)
    if os.path.isfile(exact):
        return exact
    other = listing.get(name.upper())
    return os.path.join(product, other) if other else None


def collect(release, product):
    """StoredFile of every file the media hold, keyed by upper-case name."""
    try:
        listing = {n.upper(): n for n in os.listdir(product)
                   if os.path.isfile(os.path.join(product, n))}
    except OSError as e:
        raise MediumError("%s: cannot read the product folder: %s" % (product, e.strerror))
    beside = {n.upper(): n for n in BESIDE_PROGRAM}
    files = {}
    manifest_path = os.path.join(release.folder, "manifest.txt")
    for index, name in mkrelease.file_entries(release.entries()):
        key = name.upper()
        if key in files:
            continue
        source = find_product(product, name, listing)
        line = release.manifest[index].line
        if not source:
            raise MediumError("%s: missing from the product folder (%s line %d)"
                              % (os.path.join(product, name), manifest_path, line))
        files[key] = StoredFile(beside.get(key, name), source, line)
    return files


def add_beside_program(files, product):
    listing = {n.upper(): n for n in os.listdir(product)}
    for name in BESIDE_PROGRAM:
        if name.upper() in files:
            continue
        source = find_product(product, name, listing)
        if not source:
            raise MediumError("%s: missing from the product folder (opened beside the "
                              "program)" % os.path.join(product, name))
        files[name.upper()] = StoredFile(name, source, 0)


def compress(files, cache):
    """Gives each file its stored form: the LZ-compressed copy when smaller,
    else the product file itself. Compressed copies are kept in cache and
    made again only when the product file changed."""
    os.makedirs(cache, exist_ok=True)
    index_path = os.path.join(cache, "index.json")
    try:
        with open(index_path) as f:
            index = json.load(f)
    except (OSError, ValueError):
        index = {}
    plain = {n.upper() for n in BESIDE_PROGRAM}
    todo = []
    for key, f in files.items():
        f.stored, f.stored_size = f.source, f.expanded_size
        if key in plain:
            continue
        st = os.stat(f.source)
        stamp = [st.st_size, st.st_mtime_ns]
        cached = os.path.join(cache, key + ".lz")
        entry = index.get(key)
        if entry and entry["source"] == stamp and (not entry["lz"] or os.path.exists(cached)):
            if entry["lz"]:
                f.stored, f.stored_size, f.compressed = cached, os.path.getsize(cached), True
            continue
        todo.append((key, f, stamp))

    if todo:
        work = os.path.join(cache, "work")
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        copies = []
        for n, (key, f, stamp) in enumerate(todo):
            copy = os.path.join(work, "f%d" % n)
            shutil.copyfile(f.source, copy)
            copies.append(copy)
        batches = [copies[i::JOBS] for i in range(JOBS)]

        def run(batch):
            if batch:
                subprocess.run(["mscompress"] + batch, check=True, stdout=subprocess.DEVNULL)
        with ThreadPoolExecutor(JOBS) as pool:
            for result in pool.map(run, batches):
                pass
        for (key, f, stamp), copy in zip(todo, copies):
            cached = os.path.join(cache, key + ".lz")
            packed = copy + "_"
            if os.path.getsize(packed) < f.expanded_size:
                os.replace(packed, cached)
                f.stored, f.stored_size, f.compressed = cached, os.path.getsize(cached), True
                index[key] = {"source": stamp, "lz": True}
            else:
                if os.path.exists(cached):
                    os.remove(cached)
                index[key] = {"source": stamp, "lz": False}
        shutil.rmtree(work, ignore_errors=True)
        with open(index_path + ".tmp", "w") as out:
            json.dump(index, out)
        os.replace(index_path + ".tmp", index_path)


def disk_totals(release, files):
    """Per disk: (first entry, end entry, file count, stored bytes, expanded
    bytes), counting every occurrence: that is what the walk reads and what
    lands on the target."""
    totals = []
    for d in range(1, release.disks["diskCount"] + 1):
        names = release.disk_files(d)
        stored = sum(files[n.upper()].stored_size for n in names)
        expanded = sum(files[n.upper()].expanded_size for n in names)
        totals.append((release.disks["diskStart"][d], release.disks["diskStart"][d + 1],
                       len(names), stored, expanded))
    return totals


def check_totals(release, totals):
    """Report lines, and the problems found against the disk table."""
    lines = ["Medium of the release in %s (1 KB = 1000 bytes)" % release.folder,
             "disk  entries      files  stored KB  table KB  expanded KB  table KB"]
    problems = []
    for d, (start, end, count, stored, expanded) in enumerate(totals, 1):
        table_stored = release.disks["compressedKB"][d - 1]
        table_expanded = release.disks["requiredKB"][d - 1]
        lines.append("%4d  %4d-%-6d %6d %10.1f %9d %12.1f %9d"
                     % (d, start, end - 1, count, stored / 1000, table_stored,
                        expanded / 1000, table_expanded))
        for what, actual, table in (("stored", stored, table_stored),
                                    ("expanded", expanded, table_expanded)):
            # Under the table's unit (1000 bytes) a size cannot be written closer.
            if abs(actual - 1000 * table) >= 1000 and \
                    abs(actual - 1000 * table) > TOLERANCE * 1000 * table:
                problems.append("disk %d: %s files come to %.1f KB, the disk table says %d KB "
                                "(more than 1 %% apart)" % (d, what, actual / 1000, table))
    stored = sum(t[3] for t in totals)
    expanded = sum(t[4] for t in totals)
    lines.append("total %18d %10.1f %9d %12.1f %9d"
                 % (sum(t[2] for t in totals), stored / 1000,
                    sum(release.disks["compressedKB"]), expanded / 1000,
                    sum(release.disks["requiredKB"])))
    return lines, problems


class MadeFolders:
    """The folders this tool made, kept in the cache, outside the media: a
    medium copied to a disc then carries nothing but its files."""

    def __init__(self, cache):
        self.path = os.path.join(cache, MADE_RECORD)
        try:
            with open(self.path) as f:
                self.folders = set(json.load(f))
        except (OSError, ValueError):
            self.folders = set()

    def made(self, folder):
        return (os.path.abspath(folder) in self.folders
                or os.path.exists(os.path.join(folder, OLD_MARK)))

    def change(self, folder, made):
        if made:
            self.folders.add(os.path.abspath(folder))
        else:
            self.folders.discard(os.path.abspath(folder))
        with open(self.path + ".tmp", "w") as out:
            json.dump(sorted(self.folders), out)
        os.replace(self.path + ".tmp", self.path)


def fresh_folder(path, made):
    """Empties a folder this tool made before, or makes a new one; refuses
    to touch a folder it did not make."""
    if os.path.exists(path):
        if os.listdir(path) and not made.made(path):
            raise MediumError("%s: exists and was not made by mkmedium (no record of it in "
                              "the cache); not replacing it" % path)
        shutil.rmtree(path)
    # Recorded first: a run that fails half way may redo its own folder.
    made.change(path, True)
    os.makedirs(path)


def put(source, path, time):
    """Copies a file onto a medium, dated the release time when one is given."""
    shutil.copyfile(source, path)
    if time is not None:
        os.utime(path, (time, time))


def write_medium(folder, files, setup, made, time):
    fresh_folder(folder, made)
    if setup:
        put(setup, os.path.join(folder, SETUP_NAME), time)
    for f in files.values():
        put(f.stored, os.path.join(folder, f.name), time)


def write_disks(folder, release, files, setup, made, time):
    os.makedirs(folder, exist_ok=True)
    count = release.disks["diskCount"]
    for d in range(1, count + 1):
        disk = os.path.join(folder, "disk%d" % d)
        fresh_folder(disk, made)
        names = {n.upper() for n in release.disk_files(d)}
        if d == 1:
            if setup:
                put(setup, os.path.join(disk, SETUP_NAME), time)
            names.add(OWNER_DATA.upper())
        for key in sorted(names):
            put(files[key].stored, os.path.join(disk, files[key].name), time)
    # Disks of an earlier, longer set would be taken for part of this one.
    stale = os.path.join(folder, "disk%d" % (count + 1))
    while os.path.isdir(stale) and made.made(stale):
        shutil.rmtree(stale)
        made.change(stale, False)
        count += 1
        stale = os.path.join(folder, "disk%d" % (count + 1))


def build(args):
    release = mkrelease.read_release(args.release)
    files = collect(release, args.product)
    add_beside_program(files, args.product)
    if args.setup and not os.path.isfile(args.setup):
        raise MediumError("%s: no such setup program" % args.setup)
    if args.cache:
        compress(files, args.cache)
        return finish(args, release, files, args.cache)
    with tempfile.TemporaryDirectory() as cache:
        compress(files, cache)
        return finish(args, release, files, cache)


def finish(args, release, files, cache):
    lines, problems = check_totals(release, disk_totals(release, files))
    report = "\n".join(lines + ["problem: " + p for p in problems]) + "\n"
    sys.stdout.write(report)
    if args.report:
        os.makedirs(os.path.dirname(os.path.abspath(args.report)), exist_ok=True)
        with open(args.report, "w") as f:
            f.write(report)
    if problems:
        raise MediumError("\n".join(problems))
    made = MadeFolders(cache)
    if args.medium:
        write_medium(args.medium, files, args.setup, made, args.time)
    if args.disks:
        write_disks(args.disks, release, files, args.setup, made, args.time)
    return 0


def main(argv):
    parser = argparse.ArgumentParser(description="Builds the installation media of a release.")
    parser.add_argument("--release", required=True, help="the release description")
    parser.add_argument("--product", required=True, help="folder of the product's files")
    parser.add_argument("--setup", help="SETUP.EXE to put on the media")
    parser.add_argument("--medium", help="directory-source medium to write")
    parser.add_argument("--disks", help="folder to write disk1 .. diskN into")
    parser.add_argument("--cache", help="folder that keeps compressed files, and the record "
                        "of the folders made, between runs")
    parser.add_argument("--report", help="file to write the totals report to")
    parser.add_argument("--time", type=int, help="the release time (seconds since 1970): "
                        "every file on the media is dated so")
    args = parser.parse_args(argv[1:])
    try:
        return build(args)
    except (mkrelease.ReleaseError, MediumError) as e:
        for line in str(e).split("\n"):
            sys.stderr.write("mkmedium: %s\n" % line)
        return 1
    except subprocess.CalledProcessError as e:
        sys.stderr.write("mkmedium: mscompress failed (exit %d)\n" % e.returncode)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
