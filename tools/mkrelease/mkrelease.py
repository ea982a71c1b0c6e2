#!/usr/bin/env python3
"""Reads a release description and writes the program's compiled-in tables.

    mkrelease.py [--product DIR] RELEASE_DIR OUTPUT.cpp [VERSION.h]
                                check the release, write the tables (and the
                                version for the program's version resource);
                                with --product, each file's expanded size and
                                CRC-32 from the product folder, which the
                                program checks every file it reads against
    mkrelease.py --check RELEASE_DIR        check only

A release description is a folder of four text files (UTF-8; '#' lines and
blank lines are ignored):
    manifest.txt   the install manifest, one entry a line
    disks.txt      the disk table, "key = value" lines
    billboard.txt  the billboard texts, in [section] blocks
    version.txt    the release's version, one line: major.minor.patch
    publisher.txt  (optional) the publisher Add/Remove Programs shows, one line

Everything the program later trusts without checking is checked here. A
refusal names the file and the line: "release/manifest.txt:12: ...".
The medium builder imports this module to read the same description.
"""
import os
import re
import sys
import zlib

DIR_START = "[DIR_START]"
DIR_END = "[DIR_END]"
FINISHED = "Finished"
MARKERS = (DIR_START, DIR_END, FINISHED)

MAX_DISKS = 9
DISK_NAME_SIZE = 15        # bytes per slot, NUL included
BULLET_TEXT_SIZE = 80      # a line buffer of the billboard, NUL included
TEXT_SIZE = 256            # the program's ordinary text buffer
THEME_TITLE_COUNT = 7
BULLET_TEXT_COUNT = 30
# The program multiplies the summed sizes by 1000 in signed 32 bits.
MAX_TOTAL_KB = (2**31 - 1) // 1000

# Characters a short (8.3) file name may hold besides letters and digits.
SHORT_NAME_EXTRA = set("!#$%&'()-@^_`{}~")

CODEPAGE = "cp1252"        # the program's texts are Windows Western ANSI

# The uninstaller and its record, which the installation writes into the
# install directory beside the manifest's files: a file of the release under
# either name would be overwritten by them, or they by it.
RESERVED_NAMES = ("QMREMOVE.EXE", "QMREMOVE.DAT")

# The files the program opens by bare name beside itself on the medium,
# listed in the manifest or not; the medium builder stores them plain.
BESIDE_PROGRAM = ("SNBD7W95.DLL", "newscr1.bmp", "quillmrk.dat")


class ReleaseError(Exception):
    def __init__(self, path, line, message):
        super().__init__("%s:%d: %s" % (path, line, message))


class Entry:
    """One manifest entry with the line it came from."""
    def __init__(self, text, line):
        self.text = text
        self.line = line


class Release:
    def __init__(self, folder, manifest, disks, billboard, version, publisher=None):
        self.folder = folder
        self.files = {}               # upper-case name: (size, CRC-32), see read_product_files
        self.beside = {}              # the same for the files of BESIDE_PROGRAM
        self.publisher = publisher    # bytes, or None when the release names none
        self.manifest = manifest      # list of Entry
        self.disks = disks            # dict, see read_disks
        self.billboard = billboard    # dict, see read_billboard
        self.version = version        # (major, minor, patch)

    def version_text(self):
        return "%d.%d.%d" % self.version

    def entries(self):
        return [e.text for e in self.manifest]

    def disk_files(self, disk):
        """The file names of one disk's stretch, in order, markers and
        directory names left out."""
        start = self.disks["diskStart"][disk]
        end = self.disks["diskStart"][disk + 1]
        return [name for index, name in file_entries(self.entries())
                if start <= index < end]


def file_entries(entries):
    """(index, name) of every file-name entry of a manifest."""
    out = []
    after_start = False
    for index, text in enumerate(entries):
        if after_start:
            after_start = False
        elif text == DIR_START:
            after_start = True
        elif text not in MARKERS:
            out.append((index, text))
    return out


def read_lines(path):
    """(line number, text) of each line that is not blank or a comment."""
    try:
        with open(path, "rb") as f:
            raw = f.read()
    except OSError as e:
        raise ReleaseError(path, 0, "cannot read: %s" % e.strerror)
    if raw.startswith(b"\xef\xbb\xbf"):    # a byte order mark some editors write
        raw = raw[3:]
    out = []
    for number, line in enumerate(raw.split(b"\n"), 1):
        try:
            text = line.decode("utf-8").rstrip("\r")
        except UnicodeDecodeError:
            raise ReleaseError(path, number, "not UTF-8 text")
        if text.strip() == "" or text.startswith("#"):
            continue
        out.append((number, text))
    return out


def ansi(path, line, text):
    """The text as the program stores it, or a refusal."""
    for ch in text:
        if ch < " " or ch == "\x7f":
            raise ReleaseError(path, line, "control character %r in %r" % (ch, text))
    try:
        return text.encode(CODEPAGE)
    except UnicodeEncodeError:
        raise ReleaseError(path, line, "%r has characters outside the Windows "
                           "Western code page" % text)


def short_name_problem(name):
    """Why name is not a short 8.3 name, or None."""
    if name == "":
        return "empty name"
    if len(name) > 12:
        return "longer than 12 characters"
    for ch in name:
        if not (ch.isascii() and ch.isalnum()) and ch not in SHORT_NAME_EXTRA and ch != ".":
            return "character %r not allowed in a short name" % ch
    base, dot, ext = name.partition(".")
    if dot:
        if "." in ext:
            return "more than one dot"
        if not 1 <= len(base) <= 8:
            return "name part must have 1 to 8 characters"
        if not 1 <= len(ext) <= 3:
            return "extension must have 1 to 3 characters"
    # A name without a dot is bounded only by the 12 characters: the
    # product's own font map is called VZFONTMAP.
    return None


def check_short_name(path, line, name, what):
    problem = short_name_problem(name)
    if problem is None:
        return
    for marker in MARKERS:
        if name.upper() == marker.upper():
            problem += " (markers are written exactly %r)" % marker
    raise ReleaseError(path, line, "%s %r is not a short name: %s" % (what, name, problem))


def read_manifest(path):
    """The manifest's entries, checked against the rules the copy relies on:
    a directory opening is a name followed by a file, "[DIR_END]" or
    "Finished"; openings and closings nest; "Finished" stands once at the
    top level; names are short names."""
    lines = read_lines(path)
    entries = [Entry(text, number) for number, text in lines]
    open_dirs = []          # Entry of each open "[DIR_START]"
    finished = None
    i = 0
    while i < len(entries):
        e = entries[i]
        if e.text == DIR_START:
            if i + 1 >= len(entries):
                raise ReleaseError(path, e.line, "[DIR_START] at the end: no directory name follows")
            name = entries[i + 1]
            if name.text in MARKERS:
                raise ReleaseError(path, name.line, "directory name expected after "
                                   "[DIR_START], found %r" % name.text)
            check_short_name(path, name.line, name.text, "directory name")
            if i + 2 < len(entries) and entries[i + 2].text == DIR_START:
                raise ReleaseError(path, entries[i + 2].line, "directory %r begins with "
                                   "another [DIR_START]: a directory must begin with a file "
                                   "or end at once" % name.text)
            open_dirs.append(e)
            i += 2
            continue
        if e.text == DIR_END:
            if not open_dirs:
                raise ReleaseError(path, e.line, "[DIR_END] without a matching [DIR_START]")
            open_dirs.pop()
        elif e.text == FINISHED:
            if finished is not None:
                raise ReleaseError(path, e.line, "second \"Finished\" (the first is on "
                                   "line %d)" % finished.line)
            if open_dirs:
                raise ReleaseError(path, e.line, "\"Finished\" inside a directory (opened "
                                   "on line %d); it must stand at the top level"
                                   % open_dirs[-1].line)
            finished = e
        else:
            check_short_name(path, e.line, e.text, "file name")
            if e.text.upper() in RESERVED_NAMES and not open_dirs:
                raise ReleaseError(path, e.line, "file name %r is the uninstaller's own: the "
                                   "installation writes %s into the install directory"
                                   % (e.text, " and ".join(RESERVED_NAMES)))
        i += 1
    if open_dirs:
        raise ReleaseError(path, open_dirs[-1].line, "[DIR_START] is never closed by [DIR_END]")
    if finished is None:
        last = entries[-1].line if entries else 0
        raise ReleaseError(path, last, "no \"Finished\" entry")
    if not file_entries([e.text for e in entries]):
        raise ReleaseError(path, entries[-1].line, "the manifest names no file")
    return entries


def parse_ints(path, line, key, value):
    try:
        return [int(v, 10) for v in value.split()]
    except ValueError:
        raise ReleaseError(path, line, "%s: whole numbers expected, found %r" % (key, value))


def open_directories(manifest):
    """For each entry, (the "[DIR_START]" Entry, the name) of each directory
    still open before it."""
    out = []
    open_dirs = []
    after_start = False
    for index, e in enumerate(manifest):
        out.append(list(open_dirs))
        if after_start:
            after_start = False
        elif e.text == DIR_START:
            open_dirs.append((e, manifest[index + 1].text))
            after_start = True
        elif e.text == DIR_END:
            open_dirs.pop()
    return out


def check_disk_walks(path, line, manifest, start, count):
    """Each disk is walked on its own from the install directory and found in
    the drive by its first file, and declining the sample files ends the walk
    of the disk that holds "Finished": so every disk needs entries, begins at
    the top level with a file or a directory whose first entry is a file, and
    "Finished" lies on the last disk."""
    entries = [e.text for e in manifest]
    inside = open_directories(manifest)
    for d in range(1, count + 1):
        s = start[d]
        if s >= start[d + 1]:
            raise ReleaseError(path, line, "disk %d carries no entries: the check that the "
                               "right disk is in the drive would look for a file not on it" % d)
        if entries[s] == DIR_END:
            raise ReleaseError(path, line, "disk %d starts at entry %d, a [DIR_END]: a disk "
                               "starts at the top level, with a file or a [DIR_START]" % (d, s))
        if entries[s] == FINISHED:
            raise ReleaseError(path, line, "disk %d starts at entry %d, \"Finished\": a disk "
                               "starts with a file or a [DIR_START], so that it can be found "
                               "by its first file" % (d, s))
        if inside[s]:
            opening, name = inside[s][-1]
            raise ReleaseError(path, line, "disk %d starts at entry %d inside the directory %r "
                               "(opened on line %d of the manifest): its walk would not enter "
                               "the directory, and its [DIR_END] would climb above the install "
                               "directory" % (d, s, name, opening.line))
        if entries[s] == DIR_START and entries[s + 2] in MARKERS:
            raise ReleaseError(path, line, "disk %d starts with the empty directory %r: a disk "
                               "is found by its first file, and this one has none before %s"
                               % (d, entries[s + 1], entries[s + 2]))
    finished = entries.index(FINISHED)
    for d in range(1, count):
        if start[d] <= finished < start[d + 1]:
            raise ReleaseError(path, line, "\"Finished\" (line %d of the manifest) is on disk "
                               "%d of %d: without the sample files the walk ends there, and "
                               "the next disk would then never be found; it belongs on the "
                               "last disk" % (manifest[finished].line, d, count))


# What a disk of a set holds when the table leaves it to the build: the files
# space of a 1.44 MB floppy (2,847 clusters of 512 bytes).
FLOPPY_BYTES = 1457664
AUTO = "auto"


def read_disks(path, manifest, allow_auto=False):
    """The disk table, checked: it must fit the program's arrays and its
    stretches must cover the manifest exactly, each disk beginning at an entry
    that the walk can start from. "auto" leaves a value to the build, which
    computes it from the product's files (tools/mkproduct/fromfolder.py):
    the disk count (then disks of diskSize bytes, a floppy's by default), the
    stretches of a set of one disk, the sizes; the table then comes back with
    "auto" naming what is left open."""
    fields = {}
    auto = {}
    names = [b""] * (MAX_DISKS + 1)
    last_line = 0
    for number, text in read_lines(path):
        last_line = number
        key, eq, value = text.partition("=")
        key, value = key.strip(), value.strip()
        if not eq:
            raise ReleaseError(path, number, "\"key = value\" expected, found %r" % text)
        if key.startswith("diskNames[") and key.endswith("]"):
            slot = key[len("diskNames["):-1]
            if not slot.isdigit() or int(slot) > MAX_DISKS:
                raise ReleaseError(path, number, "disk name slot must be 0 to %d" % MAX_DISKS)
            data = ansi(path, number, value)
            if len(data) >= DISK_NAME_SIZE:
                raise ReleaseError(path, number, "disk name %r has %d characters; at most %d "
                                   "fit" % (value, len(data), DISK_NAME_SIZE - 1))
            names[int(slot)] = data
            continue
        if key not in ("diskCount", "diskStart", "compressedKB", "requiredKB", "diskSize"):
            raise ReleaseError(path, number, "unknown key %r" % key)
        if key in fields or key in auto:
            raise ReleaseError(path, number, "%s given twice (first on line %d)"
                               % (key, (fields.get(key) or auto.get(key))[0]))
        if value == AUTO and key != "diskSize":
            if not allow_auto:
                raise ReleaseError(path, number, "%s = auto: the disk table is computed from the "
                                   "product's own files; build with make release PRODUCT=DIR"
                                   % key)
            auto[key] = (number,)
            continue
        fields[key] = (number, parse_ints(path, number, key, value))
    # A table that leaves anything to the build leaves it what it omits too.
    if auto or "diskSize" in fields:
        return auto_disks(path, fields, auto, names, last_line)
    for key in ("diskCount", "diskStart", "compressedKB", "requiredKB"):
        if key not in fields:
            raise ReleaseError(path, last_line, "%s is missing" % key)

    line, values = fields["diskCount"]
    if len(values) != 1 or not 1 <= values[0] <= MAX_DISKS:
        raise ReleaseError(path, line, "diskCount must be one number from 1 to %d" % MAX_DISKS)
    count = values[0]
    entries = [e.text for e in manifest]

    line, start = fields["diskStart"]
    if len(start) != count + 2:
        raise ReleaseError(path, line, "diskStart needs %d numbers (slot 0, the first entry "
                           "of each of %d disks, the entry count), found %d"
                           % (count + 2, count, len(start)))
    if start[0] != 0:
        raise ReleaseError(path, line, "diskStart slot 0 is unused and must be 0")
    if start[1] != 0:
        raise ReleaseError(path, line, "disk 1 must start at entry 0, not %d" % start[1])
    for d in range(1, count + 1):
        if start[d + 1] < start[d]:
            raise ReleaseError(path, line, "disk %d ends (%d) before it starts (%d)"
                               % (d, start[d + 1], start[d]))
    if start[count + 1] != len(entries):
        raise ReleaseError(path, line, "the disks end at entry %d but the manifest has %d "
                           "entries" % (start[count + 1], len(entries)))
    for d in range(2, count + 1):
        s = start[d]
        if 0 < s < len(entries) and entries[s - 1] == DIR_START:
            raise ReleaseError(path, line, "disk %d starts at entry %d, a directory name: a "
                               "disk may not split [DIR_START] from its name" % (d, s))
    check_disk_walks(path, line, manifest, start, count)

    sizes = {}
    for key in ("compressedKB", "requiredKB"):
        line, values = fields[key]
        if len(values) != count:
            raise ReleaseError(path, line, "%s needs %d numbers, one a disk, found %d"
                               % (key, count, len(values)))
        if any(v < 0 for v in values):
            raise ReleaseError(path, line, "%s may not be negative" % key)
        if sum(values) > MAX_TOTAL_KB:
            raise ReleaseError(path, line, "%s adds up to %d KB; the program counts at most "
                               "%d KB" % (key, sum(values), MAX_TOTAL_KB))
        sizes[key] = values
    return {"diskCount": count, "diskStart": start, "compressedKB": sizes["compressedKB"],
            "requiredKB": sizes["requiredKB"], "diskNames": names}


def auto_disks(path, fields, auto, names, last_line):
    """A table with values left to the build: what was given, checked for
    what the build can work with, and "auto" listing what it computes."""
    if "diskSize" in fields and "diskCount" not in auto:
        raise ReleaseError(path, fields["diskSize"][0], "diskSize is read only with "
                           "diskCount = auto")
    size = FLOPPY_BYTES
    if "diskSize" in fields:
        line, values = fields["diskSize"]
        if len(values) != 1 or values[0] < 1:
            raise ReleaseError(path, line, "diskSize must be one number of bytes")
        size = values[0]
    count = None
    if "diskCount" in fields:
        line, values = fields["diskCount"]
        if len(values) != 1 or not 1 <= values[0] <= MAX_DISKS:
            raise ReleaseError(path, line, "diskCount must be one number from 1 to %d" % MAX_DISKS)
        count = values[0]
    for key in ("diskStart", "compressedKB", "requiredKB"):
        given = key in fields
        if given and count is None:
            raise ReleaseError(path, fields[key][0], "%s is computed with diskCount = auto; "
                               "leave it out" % key)
        if key == "diskStart" and not given and count != 1 and count is not None:
            raise ReleaseError(path, auto.get(key, (last_line,))[0], "diskStart = auto needs "
                               "diskCount = auto or 1: the build spreads the files only over "
                               "disks it counts itself")
        if not given:
            auto.setdefault(key, (last_line,))
    return {"auto": sorted(auto), "diskSize": size, "diskCount": count,
            "given": {k: v[1] for k, v in fields.items()}, "diskNames": names}


BILLBOARD_SECTIONS = {
    # section: (most lines, bytes the buffer holds with its NUL)
    "themeTitles": (THEME_TITLE_COUNT, TEXT_SIZE),
    "bulletTexts": (BULLET_TEXT_COUNT, BULLET_TEXT_SIZE),
    "productTagLine": (1, TEXT_SIZE),
    "makerNoticeLine": (1, TEXT_SIZE),
}


def read_billboard(path):
    texts = {name: [] for name in BILLBOARD_SECTIONS}
    section = None
    last_line = 0
    for number, text in read_lines(path):
        last_line = number
        stripped = text.strip()
        if stripped.startswith("[") and stripped.endswith("]"):
            section = stripped[1:-1]
            if section not in BILLBOARD_SECTIONS:
                raise ReleaseError(path, number, "unknown section [%s]" % section)
            continue
        if section is None:
            raise ReleaseError(path, number, "text before the first [section]")
        most, size = BILLBOARD_SECTIONS[section]
        if len(texts[section]) == most:
            raise ReleaseError(path, number, "[%s] holds at most %d line%s"
                               % (section, most, "" if most == 1 else "s"))
        data = ansi(path, number, text)
        if len(data) >= size:
            raise ReleaseError(path, number, "%d characters do not fit [%s], at most %d"
                               % (len(data), section, size - 1))
        texts[section].append(data)
    for section in ("productTagLine", "makerNoticeLine"):
        if not texts[section]:
            raise ReleaseError(path, last_line, "[%s] is missing" % section)
    return texts


def read_version(path):
    """(major, minor, patch) of the one version line; each part is a word of
    the version resource, so 0 to 65535."""
    lines = read_lines(path)
    if not lines:
        raise ReleaseError(path, 0, "no version line (major.minor.patch, e.g. 1.0.0)")
    if len(lines) > 1:
        raise ReleaseError(path, lines[1][0], "a second version line (the first is on line %d)"
                           % lines[0][0])
    number, text = lines[0]
    if not re.fullmatch(r"(0|[1-9][0-9]{0,4})(\.(0|[1-9][0-9]{0,4})){2}", text.strip()):
        raise ReleaseError(path, number, "version %r is not major.minor.patch (three whole "
                           "numbers, e.g. 1.0.0)" % text)
    parts = tuple(int(p) for p in text.strip().split("."))
    if max(parts) > 65535:
        raise ReleaseError(path, number, "version %r: each number must be at most 65535" % text)
    return parts


def read_publisher(path):
    """The publisher's name as the program stores it, or None without the file."""
    if not os.path.exists(path):
        return None
    lines = read_lines(path)
    if len(lines) != 1:
        raise ReleaseError(path, lines[1][0] if lines else 0, "one line expected: the publisher's name")
    number, text = lines[0]
    data = ansi(path, number, text.strip())
    if len(data) >= TEXT_SIZE:
        raise ReleaseError(path, number, "%d characters do not fit, at most %d" % (len(data), TEXT_SIZE - 1))
    return data


def read_release(folder, allow_auto=False):
    manifest = read_manifest(os.path.join(folder, "manifest.txt"))
    disks = read_disks(os.path.join(folder, "disks.txt"), manifest, allow_auto)
    billboard = read_billboard(os.path.join(folder, "billboard.txt"))
    version = read_version(os.path.join(folder, "version.txt"))
    publisher = read_publisher(os.path.join(folder, "publisher.txt"))
    return Release(folder, manifest, disks, billboard, version, publisher)


def crc_of(path):
    """(size, CRC-32) of a file, read in pieces."""
    crc, size = 0, 0
    with open(path, "rb") as f:
        for piece in iter(lambda: f.read(1 << 16), b""):
            crc = zlib.crc32(piece, crc)
            size += len(piece)
    return size, crc


def read_product_files(release, product):
    """Each manifest file's expanded size and CRC-32, from the product folder
    (found under its own name, or in another letter case), into
    release.files. A file missing from the folder is refused by name."""
    try:
        listing = {n.upper(): n for n in os.listdir(product)
                   if os.path.isfile(os.path.join(product, n))}
    except OSError as e:
        raise ReleaseError(product, 0, "cannot read the product folder: %s" % e.strerror)
    manifest_path = os.path.join(release.folder, "manifest.txt")
    for index, name in file_entries(release.entries()):
        key = name.upper()
        if key in release.files:
            continue
        if key not in listing:
            raise ReleaseError(manifest_path, release.manifest[index].line,
                               "%s is missing from the product folder %s" % (name, product))
        release.files[key] = crc_of(os.path.join(product, listing[key]))
    # The medium holds the product folder's own, plain; the medium builder
    # refuses a folder without one.
    for name in BESIDE_PROGRAM:
        if name.upper() in listing:
            release.beside[name.upper()] = crc_of(os.path.join(product, listing[name.upper()]))


def render_files(release):
    """The size and CRC-32 of each manifest entry, beside the manifest, and of
    each file opened beside the program; -1 where the entry is a marker or a
    directory name, or where the tables were made without the product's
    files."""
    files = dict(file_entries(release.entries()))
    out = ["const ReleaseFile releaseFiles[] = {"]
    for index, e in enumerate(release.manifest):
        size, crc = release.files.get(files.get(index, "").upper(), (-1, 0))
        out.append("    {%d, 0x%08Xu},  // %d" % (size, crc, index))
    out += ["};", "", "const BesideFile releaseFilesBeside[] = {"]
    for name in BESIDE_PROGRAM:
        size, crc = release.beside.get(name.upper(), (-1, 0))
        out.append("    {%s, {%d, 0x%08Xu}}," % (c_string(name.encode(CODEPAGE)), size, crc))
    return out + ["};", "const int releaseFilesBesideCount = %d;" % len(BESIDE_PROGRAM), ""]


def c_string(data):
    """A C++ string literal of the bytes, safe for any byte."""
    out = ['"']
    for b in data:
        ch = chr(b)
        if ch in '"\\':
            out.append("\\" + ch)
        elif 0x20 <= b < 0x7f and ch != "?":   # '?' could start a trigraph
            out.append(ch)
        else:
            out.append("\\%03o" % b)
    out.append('"')
    return "".join(out)


def render(release):
    d = release.disks
    count = d["diskCount"]

    def padded(values, size):
        return ", ".join(str(v) for v in values + [0] * (size - len(values)))

    out = ["// Generated by tools/mkrelease/mkrelease.py from the release description",
           "// in %s. Do not edit: change the description and rebuild." % release.folder,
           '#include "copy/manifest.h"',
           '#include "shell/billboard_state.h"',
           "",
           "const char *const InstallManifest[] = {"]
    for index, e in enumerate(release.manifest):
        out.append("    %s,  // %d" % (c_string(e.text.encode(CODEPAGE)), index))
    out += ["};",
            "const int installManifestCount = %d;" % len(release.manifest),
            ""] + render_files(release) + [
            "DiskTable diskTable = {",
            "    %d," % count,
            "    {%s}," % padded(d["diskStart"], MAX_DISKS + 2),
            "    {%s}," % padded(d["compressedKB"], MAX_DISKS),
            "    {%s}," % padded(d["requiredKB"], MAX_DISKS),
            "    {%s}," % ", ".join(c_string(n) for n in d["diskNames"]),
            "};",
            ""]
    b = release.billboard

    def table(name, size_name, size, texts):
        rows = [c_string(t) for t in texts] + ['""'] * (size - len(texts))
        return ["const char *const %s[%s] = {" % (name, size_name)] + \
               ["    %s," % r for r in rows] + ["};"]

    out += table("themeTitles", "themeTitleCount", THEME_TITLE_COUNT, b["themeTitles"])
    out += table("bulletTexts", "bulletTextCount", BULLET_TEXT_COUNT, b["bulletTexts"])
    out += ["const char productTagLine[] = %s;" % c_string(b["productTagLine"][0]),
            "const char makerNoticeLine[] = %s;" % c_string(b["makerNoticeLine"][0]),
            "",
            "const char releaseVersion[] = %s;" % c_string(release.version_text().encode(CODEPAGE)),
            "const char releasePublisher[] = %s;" % c_string(release.publisher or b""),
            ""]
    return "\n".join(out)


def write_tables(path, text):
    """Writes through a temporary file, so that a failed run leaves no
    half-written tables behind."""
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    temp = path + ".tmp"
    with open(temp, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    os.replace(temp, path)


def render_version(release):
    """The version as the program's resource script (resources/version.rc)
    takes it: numbers for the fixed part, text for the strings."""
    return "\n".join(["// Generated by tools/mkrelease/mkrelease.py from version.txt of the release",
                      "// description. Do not edit: change the description and rebuild.",
                      "#define QM_VERSION_NUMBERS %d, %d, %d, 0" % release.version,
                      '#define QM_VERSION_TEXT "%s"' % release.version_text(),
                      ""])


def main(argv):
    version = None
    product = None
    if len(argv) > 2 and argv[1] == "--product":
        product = argv[2]
        argv = argv[:1] + argv[3:]
    if len(argv) == 3 and argv[1] == "--check":
        folder, output = argv[2], None
    elif len(argv) in (3, 4) and not argv[1].startswith("-"):
        folder, output = argv[1], argv[2]
        version = argv[3] if len(argv) == 4 else None
    else:
        sys.stderr.write("usage: mkrelease.py [--product DIR] RELEASE_DIR OUTPUT.cpp [VERSION.h] | "
                         "--check RELEASE_DIR\n")
        return 64
    try:
        release = read_release(folder)
        if product:
            read_product_files(release, product)
    except ReleaseError as e:
        sys.stderr.write("mkrelease: %s\n" % e)
        return 1
    if output:
        write_tables(output, render(release))
    if version:
        write_tables(version, render_version(release))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
