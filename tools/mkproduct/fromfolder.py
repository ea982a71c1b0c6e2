#!/usr/bin/env python3
"""Takes a folder of the product's own files for a release: checks it
against the manifest, lays its files out flat as the medium tools read them,
and writes the release description the build then uses, with the disk table
computed from the files where disks.txt leaves it to the build ("auto").

    fromfolder.py --release DIR --from DIR --out DIR --resolved DIR
                  [--layout FILE] [--parts DIR] [--cache DIR]
                  [--setup-like SETUP.EXE] [--stamp FILE]

--from      the product's files as they are installed: the top-level files,
            each manifest directory a subfolder, names in any letter case.
            A manifest file missing there and a name that is not a short
            (8.3) name refuse the build; a file no entry names is a warning.
--out       the files, flat under their manifest names (the medium holds one
            file of each name, so two different files of one name refuse the
            build); the files the program opens beside itself that the
            folder lacks come from --parts, the build's own.
--resolved  the release description with the disk table the build uses.
--layout    what release.txt shows of that table.
--cache     mkmedium's folder of compressed files: the stored sizes are
            those the media will hold, and the files are compressed once.
--setup-like  a SETUP.EXE of the same program (another release's): disk 1
            keeps its size, and room for this release's tables, for SETUP.EXE.
--stamp     touched when anything written changed, so the steps after it run
            again only then.

A computed table spreads the manifest, in order, over the fewest disks whose
stored files fit diskSize bytes (each file whole clusters of 512 bytes, and
a floppy's root directory), each disk starting where the program's walk can
start it: at a top-level file or a directory opening that begins with a
file, never inside a directory, with "Finished" and the sample files on the
last disk. compressedKB and requiredKB are the disk's files, stored and
expanded, in 1000 bytes rounded up.
"""
import argparse
import os
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "mkrelease"))
sys.path.insert(0, os.path.join(HERE, "..", "mkmedium"))
import mkrelease  # noqa: E402
import mkmedium  # noqa: E402

CLUSTER = 512
ROOT_ENTRIES = 224 - 1        # a 1.44 MB floppy's root directory, less its label
TEXTS = ("manifest.txt", "billboard.txt", "version.txt", "publisher.txt")


class FolderError(Exception):
    pass


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def survey(top):
    """{upper-case relative path: relative path} of the files and of the
    folders under top."""
    files, folders = {}, {}
    for here, dirs, names in os.walk(top):
        rel = os.path.relpath(here, top)
        for name in dirs:
            path = os.path.normpath(os.path.join(rel, name))
            folders[path.upper()] = path
        for name in names:
            path = os.path.normpath(os.path.join(rel, name))
            files[path.upper()] = path
    return files, folders


def match(release, top):
    """{upper-case name: source path} of the manifest's files, and the
    problems and warnings found, each naming its file."""
    files, folders = survey(top)
    manifest = os.path.join(release.folder, "manifest.txt")
    inside = mkrelease.open_directories(release.manifest)
    problems, warnings, sources, listed = [], [], {}, set()
    for path in sorted(files.values()) + sorted(folders.values()):
        why = mkrelease.short_name_problem(os.path.basename(path))
        if why:
            problems.append("%s: not a short name (%s): rename it to 8.3 and list it in %s"
                            % (os.path.join(top, path), why, manifest))
    for index, name in mkrelease.file_entries(release.entries()):
        path = os.path.join(*([n for _, n in inside[index]] + [name]))
        listed.add(path.upper())
        line = release.manifest[index].line
        if path.upper() not in files:
            problems.append("%s:%d: %s is missing from %s" % (manifest, line, path, top))
            continue
        source = os.path.join(top, files[path.upper()])
        other = sources.setdefault(name.upper(), (name, source))[1]
        if other != source and mkrelease.crc_of(other) != mkrelease.crc_of(source):
            problems.append("%s:%d: %s and %s differ, but the medium holds one file of each "
                            "name" % (manifest, line, other, source))
    beside = {n.upper() for n in mkmedium.BESIDE_PROGRAM}
    for key, path in sorted(files.items()):
        if key not in listed and key not in beside and not mkrelease.short_name_problem(
                os.path.basename(path)):
            warnings.append("%s: not in the manifest; left out of the release"
                            % os.path.join(top, path))
    for key in beside - set(sources):
        if key in files:
            sources[key] = (files[key], os.path.join(top, files[key]))
    return sources, problems, warnings


class Writer:
    """Writes files only when their contents change, and remembers whether
    anything did."""
    changed = False

    def text(self, path, data):
        if os.path.exists(path) and read_bytes(path) == data:
            return
        with open(path, "wb") as f:
            f.write(data)
        self.changed = True

    def copy(self, source, path):
        st = os.stat(source)
        if os.path.exists(path):
            old = os.stat(path)
            if (old.st_size, old.st_mtime_ns) == (st.st_size, st.st_mtime_ns):
                return
        # The date comes along: mkmedium's cache knows a file by size and date.
        shutil.copy2(source, path)
        self.changed = True


def lay_out_flat(sources, parts, out, writer):
    os.makedirs(out, exist_ok=True)
    own = {n.upper(): n for n in os.listdir(parts)} if parts else {}
    for name in mkmedium.BESIDE_PROGRAM:
        if name.upper() not in sources and name.upper() in own:
            sources[name.upper()] = (own[name.upper()], os.path.join(parts, own[name.upper()]))
    keep = set()
    for name, source in sources.values():
        writer.copy(source, os.path.join(out, name))
        keep.add(name)
    for name in os.listdir(out):
        if name not in keep:
            os.remove(os.path.join(out, name))
            writer.changed = True


def break_points(release):
    """The entries a disk after the first may start at, and the end."""
    entries = release.entries()
    inside = mkrelease.open_directories(release.manifest)
    finished = entries.index(mkrelease.FINISHED)
    starts = [s for s in range(1, finished) if not inside[s]
              and entries[s] not in (mkrelease.DIR_END, mkrelease.FINISHED)
              and not (entries[s] == mkrelease.DIR_START and entries[s + 2] in mkrelease.MARKERS)]
    return [0] + starts + [len(entries)]


def names_in(release, start, end):
    return [n.upper() for i, n in mkrelease.file_entries(release.entries()) if start <= i < end]


def room(keys, files):
    """Bytes and root directory entries the files take on a floppy; a name
    not in capitals takes a long-name entry too."""
    used = sum(-(-files[k].stored_size // CLUSTER) * CLUSTER for k in keys)
    return used, sum(1 if files[k].name == files[k].name.upper() else 2 for k in keys)


def spread(release, files, size, setup_room):
    """(start, end) of each disk: the fewest disks, each filled as far as a
    break point allows (filling each disk to the last stretch that fits
    never needs more disks than any other way)."""
    points = break_points(release)
    disks, first = [], 0
    owner = mkmedium.OWNER_DATA.upper()

    def fits(a, b):
        keys = set(names_in(release, a, b)) | ({owner} if not disks else set())
        used, entries = room(keys, files)
        extra = (setup_room, 1) if not disks else (0, 0)
        return used + extra[0] <= size and entries + extra[1] <= ROOT_ENTRIES, used + extra[0]

    while first < len(points) - 1:
        end = first + 1
        ok, used = fits(points[first], points[end])
        if not ok:
            entry = release.manifest[points[first]]
            what = entry.text
            if what == mkrelease.DIR_START:
                what = "the directory " + release.manifest[points[first] + 1].text
            raise FolderError("disk %d cannot hold %s (manifest line %d) with what must go with "
                              "it: %d bytes%s, more than the %d a disk holds (diskSize)"
                              % (len(disks) + 1, what, entry.line, used,
                                 " with SETUP.EXE and the owner data file" if not disks else "",
                                 size))
        while end + 1 < len(points) and fits(points[first], points[end + 1])[0]:
            end += 1
        disks.append((points[first], points[end]))
        first = end
    if len(disks) > mkrelease.MAX_DISKS:
        raise FolderError("the files need %d disks of %d bytes; the program reads at most %d"
                          % (len(disks), size, mkrelease.MAX_DISKS))
    return disks


def table_lines(values):
    return ["%s = %s" % (k, " ".join(str(v) for v in values[k]))
            for k in ("diskCount", "diskStart", "compressedKB", "requiredKB")]


def compute(release, files, setup_like):
    """The lines of the computed disks.txt, and the heading release.txt
    gives the table."""
    table = release.disks
    given = table["given"]
    entries = len(release.manifest)
    setup_room = 0
    if setup_like:
        # The tables grow with the manifest; a signature adds a few KB.
        setup_room = os.path.getsize(setup_like) + 32 * entries + 16384
        setup_room = -(-setup_room // CLUSTER) * CLUSTER
    if "diskStart" in given:
        starts = given["diskStart"]
        disks = list(zip(starts[1:-1], starts[2:]))
    elif table["diskCount"] == 1:
        disks = [(0, entries)]
    else:
        disks = spread(release, files, table["diskSize"], setup_room)
    count = len(disks)
    values = {"diskCount": [count], "diskStart": [0] + [a for a, _ in disks] + [entries]}
    for key, attr in (("compressedKB", "stored_size"), ("requiredKB", "expanded_size")):
        values[key] = given.get(key) or [
            -(-sum(getattr(files[k], attr) for k in names_in(release, a, b)) // 1000)
            for a, b in disks]
    lines = table_lines(values)
    for slot, name in enumerate(table["diskNames"]):
        if name:
            lines.append("diskNames[%d] = %s" % (slot, name.decode(mkrelease.CODEPAGE)))
    how = []
    if table["diskCount"] is None:
        how.append("disks of %d bytes" % table["diskSize"])
        if setup_room:
            how[-1] += ", disk 1 keeping %d for SETUP.EXE" % setup_room
    left = [k for k in ("diskCount", "diskStart", "compressedKB", "requiredKB")
            if k in table["auto"]]
    note = ["Disk table computed from the product's files for %s (%s):"
            % (os.path.join(release.folder, "disks.txt"), "; ".join(["computed: " + ", ".join(left)]
                                                                  + how))]
    return lines, note


def build(args):
    release = mkrelease.read_release(args.release, allow_auto=True)
    top = os.path.abspath(getattr(args, "from"))
    if not os.path.isdir(top):
        raise FolderError("%s: no such folder" % top)
    sources, problems, warnings = match(release, top)
    for warning in warnings:
        sys.stderr.write("fromfolder: warning: %s\n" % warning)
    if problems:
        raise FolderError("\n".join(problems))
    writer = Writer()
    lay_out_flat(sources, args.parts, args.out, writer)
    os.makedirs(args.resolved, exist_ok=True)
    for name in TEXTS:
        path = os.path.join(args.release, name)
        if os.path.exists(path):
            writer.text(os.path.join(args.resolved, name), read_bytes(path))
        elif os.path.exists(os.path.join(args.resolved, name)):
            os.remove(os.path.join(args.resolved, name))
            writer.changed = True
    disks_txt = os.path.join(args.release, "disks.txt")
    if "auto" in release.disks:
        files = mkmedium.collect(release, args.out)
        mkmedium.add_beside_program(files, args.out)
        if args.cache:
            mkmedium.compress(files, args.cache)
        else:
            with tempfile.TemporaryDirectory() as scratch:
                mkmedium.compress(files, scratch)
        lines, shown = compute(release, files, args.setup_like)
        text = ("# The disk table the build computed from the files of %s for %s.\n"
                "# Edit that file, not this one.\n" % (top, disks_txt)) + "\n".join(lines) + "\n"
        writer.text(os.path.join(args.resolved, "disks.txt"), text.encode("utf-8"))
    else:
        writer.text(os.path.join(args.resolved, "disks.txt"), read_bytes(disks_txt))
        shown = ["Disk table as written in %s, checked against the product's files:" % disks_txt]
    # The table as the program will hold it passes every check of a written one.
    used = mkrelease.read_release(args.resolved).disks
    shown += ["  " + line for line in table_lines(dict(used, diskCount=[used["diskCount"]]))]
    if args.layout:
        writer.text(args.layout, ("\n".join(shown) + "\n").encode("utf-8"))
    if args.stamp and (writer.changed or not os.path.exists(args.stamp)):
        open(args.stamp, "w").close()
    return 0


def main(argv):
    parser = argparse.ArgumentParser(description="Takes a folder of the product's files.")
    parser.add_argument("--release", required=True, help="the release description")
    parser.add_argument("--from", required=True, help="the folder of the product's files")
    parser.add_argument("--out", required=True, help="folder for the files, flat")
    parser.add_argument("--resolved", required=True, help="folder for the release description used")
    parser.add_argument("--layout", help="file for what release.txt shows of the disk table")
    parser.add_argument("--parts", help="the build's own files the program opens beside itself")
    parser.add_argument("--cache", help="mkmedium's folder of compressed files")
    parser.add_argument("--setup-like", help="a SETUP.EXE of the same program, for disk 1's room")
    parser.add_argument("--stamp", help="file touched when anything written changed")
    args = parser.parse_args(argv[1:])
    try:
        return build(args)
    except (mkrelease.ReleaseError, mkmedium.MediumError, FolderError) as e:
        for line in str(e).split("\n"):
            sys.stderr.write("fromfolder: %s\n" % line)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
