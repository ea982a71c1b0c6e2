#!/usr/bin/env python3
"""Makes the images a duplicator takes from the media of a release.

    mkimages.py --release DIR --product DIR --out DIR
                [--medium DIR] [--disks DIR] [--volume NAME]
                [--time SECONDS] [--time-from TEXT] [--commit TEXT] [--signature FILE]

--medium  the directory-source medium (mkmedium --medium): mastered as
          OUT/QUILLMRK.ISO, ISO 9660 level 1 without Rock Ridge, so that the
          names on the disc are the medium's own 8.3 names, in capitals; the
          Joliet names keep each name as the medium has it (a name longer
          than 8.3 whole). Volume label NAME in capitals.
--disks   the disk set (mkmedium --disks), for a release of more than one
          disk: each DIR/diskN becomes OUT/DISKN.IMG, a 1.44 MB FAT12 floppy
          image labelled with the disk's name.
--time    the release time (default: SOURCE_DATE_EPOCH): the ISO's volume
          dates, every file date on the disc and the floppies, and the
          floppies' volume ids come from it and from nothing else, so that
          the same media give the same images whenever they are made.
OUT also receives SHA256SUMS of the images (for sha256sum -c) and
release.txt: the version, the commit and the release time (--commit,
--time-from: where the time came from), SETUP.EXE's signature (the line in
the --signature file, or "unsigned"), the --layout file's lines (the disk
table a release of the product's own files used), then per disk its files, stored and
expanded sizes against the disk table, and the room left on each floppy.

The images are written and read only by Debian's tools (xorriso, isoinfo,
mkfs.fat, mtools). A disk whose files do not fit its floppy is refused,
naming the disk and by how much it overflows; on any refusal OUT keeps what
it held before.
"""
import argparse
import datetime
import hashlib
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(HERE, "..", "mkrelease"))
sys.path.insert(0, os.path.join(HERE, "..", "mkmedium"))
import mkrelease  # noqa: E402
import mkmedium  # noqa: E402

ISO_NAME = "QUILLMRK.ISO"
FLOPPY_KB = 1440                # mkfs.fat blocks of 1 KiB: 1,474,560 bytes
FLOPPY_LABEL_SIZE = 11
# Characters a FAT volume label may not hold.
LABEL_FORBIDDEN = set('"*+,./:;<=>?[\\]|')


class ImageError(Exception):
    pass


def run(args, what, time=None):
    """Runs a tool; its output, or an ImageError naming what failed. With a
    time, the tool takes it for "now" (SOURCE_DATE_EPOCH, which xorriso and
    mtools honour) and writes dates in UTC."""
    env = None
    if time is not None:
        env = dict(os.environ, SOURCE_DATE_EPOCH=str(time), TZ="UTC")
    try:
        result = subprocess.run(args, capture_output=True, text=True, env=env)
    except OSError as e:
        raise ImageError("%s: cannot run %s: %s" % (what, args[0], e.strerror))
    if result.returncode != 0:
        message = (result.stderr.strip() or result.stdout.strip()).splitlines()
        raise ImageError("%s: %s failed: %s" % (what, args[0], message[-1] if message else
                                                  "exit %d" % result.returncode))
    return result.stdout


def medium_names(folder):
    return sorted(os.listdir(folder))


def iso_label(name):
    label = re.sub(r"[^A-Z0-9_]", "_", name.upper())[:32]
    if not label:
        raise ImageError("the ISO volume label is empty")
    return label


def floppy_label(name):
    """The disk's name as a FAT label: its first 11 characters in capitals,
    plain ASCII, with those a label may not hold made '_'."""
    label = "".join("_" if c in LABEL_FORBIDDEN or not " " <= c <= "~" else c
                    for c in name.upper()[:FLOPPY_LABEL_SIZE])
    return label.rstrip() or "NO NAME"


def iso_names(image, joliet):
    args = ["isoinfo", "-f", "-i", image] + (["-J"] if joliet else [])
    names = []
    for line in run(args, ISO_NAME).split("\n"):
        name = line.strip().lstrip("/")
        if name:
            names.append(name if joliet else name.split(";")[0].rstrip("."))
    return sorted(names)


def make_iso(medium, image, volume, application, time):
    """Masters the medium; gives its names and those the ISO 9660 names
    could not keep (level 1 holds 8 characters, a dot and 3)."""
    names = medium_names(medium)
    for name in names:
        if os.path.isdir(os.path.join(medium, name)):
            raise ImageError("%s: a folder; the medium is flat" % os.path.join(medium, name))
    # Level 1 names for every reader; the Joliet names keep a name that has
    # no level 1 form (the font map's nine letters) for Windows.
    # The volume dates and every file's dates are the release time.
    date = datetime.datetime.fromtimestamp(time, datetime.timezone.utc).strftime("%Y%m%d%H%M%S00")
    run(["xorriso", "-as", "mkisofs", "-quiet", "-iso-level", "1", "--norock", "-J",
         "-V", volume, "-A", application, "--modification-date=" + date,
         "--set_all_file_dates", date, "-o", image, medium], ISO_NAME, time)
    # Read back with another tool.
    joliet = iso_names(image, True)
    if joliet != names:
        raise ImageError("%s: the disc's Joliet names differ from the medium's: %s"
                         % (ISO_NAME, sorted(set(joliet) ^ set(names))))
    level1 = iso_names(image, False)
    if len(level1) != len(names):
        raise ImageError("%s: the disc lists %d ISO 9660 names, the medium has %d files"
                         % (ISO_NAME, len(level1), len(names)))
    return names, [n for n in names if n.upper() not in level1]


def bytes_free(image, what):
    listing = run(["mdir", "-i", image, "::/"], what)
    found = re.search(r"([\d ]+) bytes free", listing)
    if not found:
        raise ImageError("%s: mdir shows no free space" % what)
    return int(found.group(1).replace(" ", ""))


def blank_floppy(image, label, volume_id, what, time):
    """A formatted floppy image. mkfs.fat dates a label with the clock, so
    mlabel writes it, dated like the files."""
    if os.path.exists(image):
        os.remove(image)
    run(["mkfs.fat", "-C", "--invariant", "-i", "%08X" % volume_id, image, str(FLOPPY_KB)], what)
    run(["mlabel", "-i", image, "::" + label], what, time)


def room_needed(paths, work, what):
    """Bytes the files take on a FAT file system of the floppy's cluster
    size, measured by mtools on a larger scratch image."""
    scratch = os.path.join(work, "measure.img")
    total = sum(os.path.getsize(p) for p in paths)
    size_kb = max(8192, 2 * total // 1024 + 1024)
    # One sector a cluster, as on the floppy; FAT16 counts up to about 32 MB
    # of such clusters, FAT32 more.
    fat = "16" if size_kb < 30000 else "32"
    size_kb = max(size_kb, 40000) if fat == "32" else size_kb
    if os.path.exists(scratch):
        os.remove(scratch)
    run(["mkfs.fat", "-C", "-F", fat, "-s", "1", "-r", "512", scratch, str(size_kb)], what)
    before = bytes_free(scratch, what)
    run(["mcopy", "-i", scratch] + paths + ["::/"], what)
    after = bytes_free(scratch, what)
    os.remove(scratch)
    return before - after


def make_floppy(folder, image, label, disk, name, work, time):
    what = "disk %d (%s)" % (disk, name)
    files = medium_names(folder)
    paths = [os.path.join(folder, n) for n in files]
    # Each disk of a set its own volume id, as formatting gives them.
    blank_floppy(image, label, (time + disk - 1) & 0xFFFFFFFF, what, time)
    capacity = bytes_free(image, what)
    try:
        # Without -m mcopy dates every file with SOURCE_DATE_EPOCH.
        run(["mcopy", "-i", image] + paths + ["::/"], what, time)
    except ImageError:
        needed = room_needed(paths, work, what)
        if needed <= capacity:
            raise
        raise ImageError("%s does not fit a 1.44 MB floppy: its %d files take %d bytes, the "
                         "floppy holds %d, %d bytes too many"
                         % (what, len(files), needed, capacity, needed - capacity))
    # Read back with mtools: every file there under its name.
    listing = run(["mdir", "-b", "-i", image, "::/"], what)
    seen = sorted(line.strip().lstrip(":/").upper() for line in listing.splitlines() if line.strip())
    if seen != sorted(n.upper() for n in files):
        raise ImageError("%s: the image lists %s, the folder holds %s" % (what, seen, files))
    return files, capacity, bytes_free(image, what)


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def expanded_sizes(release, product):
    """Expanded size and CRC-32 of every file the media hold, by upper-case
    name: what SETUP.EXE's tables hold of each and check it against."""
    files = mkmedium.collect(release, product)
    mkmedium.add_beside_program(files, product)
    return {key: mkrelease.crc_of(f.source) for key, f in files.items()}


def file_rows(folder, names, expanded):
    rows = []
    for name in names:
        path = os.path.join(folder, name)
        stored = os.path.getsize(path)
        size, crc = expanded.get(name.upper()) or mkrelease.crc_of(path)
        rows.append("  %-12s %10d %10d   %08X" % (name, stored, size, crc))
    return rows


def disk_totals(release, folders, expanded):
    """Per disk of the table: stored and expanded bytes of its stretch,
    counting every occurrence as the installation does."""
    lines = ["disk  files  stored KB  table KB  expanded KB  table KB"]
    for d in range(1, release.disks["diskCount"] + 1):
        names = release.disk_files(d)
        folder = folders[min(d, len(folders)) - 1]
        stored = sum(os.path.getsize(os.path.join(folder, found_name(folder, n))) for n in names)
        full = sum(expanded[n.upper()][0] for n in names)
        lines.append("%4d %6d %10.1f %9d %12.1f %9d"
                     % (d, len(names), stored / 1000, release.disks["compressedKB"][d - 1],
                        full / 1000, release.disks["requiredKB"][d - 1]))
    return lines


def found_name(folder, name):
    for n in os.listdir(folder):
        if n.upper() == name.upper():
            return n
    raise ImageError("%s: missing from %s" % (name, folder))


def ours(name):
    return name in (ISO_NAME, "SHA256SUMS", "release.txt") or re.fullmatch(r"DISK\d\.IMG", name)


def check_out(path):
    """The images folder may hold only what an earlier run wrote there."""
    others = [n for n in os.listdir(path) if not ours(n)] if os.path.isdir(path) else []
    if others:
        raise ImageError("%s: holds %s, which mkimages did not make; not replacing it"
                         % (path, others[0]))
    if os.path.exists(path) and not os.path.isdir(path):
        raise ImageError("%s: not a folder" % path)


def fresh_folder(path):
    """Empties the images folder of an earlier run's images; it keeps no
    mark of its own."""
    check_out(path)
    if os.path.isdir(path):
        for name in os.listdir(path):
            os.remove(os.path.join(path, name))
    else:
        os.makedirs(path)


def release_time(given):
    """The release time: --time, else SOURCE_DATE_EPOCH; never the clock."""
    text = given if given is not None else os.environ.get("SOURCE_DATE_EPOCH")
    if text is None:
        raise ImageError("no release time: give --time or set SOURCE_DATE_EPOCH")
    if not re.fullmatch(r"[0-9]+", text):
        raise ImageError("the release time must be seconds since 1970, not %r" % text)
    return int(text)


def shown_path(folder):
    """The folder as release.txt names it: inside the sources relative to
    them, so that two checkouts write the same report."""
    folder = os.path.abspath(folder)
    inside = os.path.relpath(folder, ROOT)
    return folder if inside.startswith("..") else inside


def signature(path):
    """What the signing step says of SETUP.EXE: its one line, or unsigned."""
    if not path:
        return "unsigned"
    try:
        with open(path) as f:
            return f.read().strip()
    except OSError as e:
        raise ImageError("%s: cannot read the signature note: %s" % (path, e.strerror))


def build(args):
    release = mkrelease.read_release(args.release)
    count = release.disks["diskCount"]
    if not args.medium and not (args.disks and count > 1):
        raise ImageError("nothing to make: give --medium, or --disks for a release of more "
                         "than one disk")
    expanded = expanded_sizes(release, args.product)
    out = os.path.abspath(args.out)
    check_out(out)
    work = out + ".work"
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    time = release_time(args.time)
    application = "%s %s" % (args.volume.upper(), release.version_text())
    report = ["Release images of %s %s (1 KB = 1000 bytes)" % (args.volume, release.version_text()),
              "Release description: %s" % shown_path(release.folder),
              "Commit: %s" % args.commit,
              "Release time: %d (%s UTC), from %s"
              % (time, datetime.datetime.fromtimestamp(time, datetime.timezone.utc)
                 .strftime("%Y-%m-%d %H:%M:%S"), args.time_from),
              "SETUP.EXE: %s" % signature(args.signature), ""]
    if args.layout:
        with open(args.layout) as f:
            report += f.read().splitlines() + [""]
    images = []
    try:
        if args.medium:
            names, long_names = make_iso(args.medium, os.path.join(work, ISO_NAME),
                                         iso_label(args.volume), application, time)
            images.append(ISO_NAME)
            report += ["%s: volume %s, application %s, %d files, %d bytes"
                       % (ISO_NAME, iso_label(args.volume), application, len(names),
                          os.path.getsize(os.path.join(work, ISO_NAME)))]
            if long_names:
                report.append("  not 8.3, so whole only in the Joliet names: %s"
                              % " ".join(long_names))
            report.append("  %-12s %10s %10s   %s" % ("file", "stored", "expanded", "CRC-32"))
            report += file_rows(args.medium, names, expanded)
            report += ["", "The medium against the disk table:"]
            report += disk_totals(release, [args.medium], expanded)
            report.append("")
        if args.disks and count > 1:
            folders = [os.path.join(args.disks, "disk%d" % d) for d in range(1, count + 1)]
            for d, folder in enumerate(folders, 1):
                if not os.path.isdir(folder):
                    raise ImageError("%s: no such disk folder" % folder)
            report += ["The disk set against the disk table:"]
            report += disk_totals(release, folders, expanded)
            report.append("")
            for d, folder in enumerate(folders, 1):
                name = release.disks["diskNames"][d].decode(mkrelease.CODEPAGE)
                image = "DISK%d.IMG" % d
                label = floppy_label(name)
                files, capacity, free = make_floppy(folder, os.path.join(work, image), label, d,
                                                    name, work, time)
                images.append(image)
                report += ["%s: disk %d \"%s\", volume %s, %d files"
                           % (image, d, name, label, len(files)),
                           "  %-12s %10s %10s   %s" % ("file", "stored", "expanded", "CRC-32")]
                report += file_rows(folder, files, expanded)
                report += ["  room left on the floppy: %d of %d bytes" % (free, capacity), ""]
        with open(os.path.join(work, "SHA256SUMS"), "w") as f:
            for image in images:
                f.write("%s  %s\n" % (sha256(os.path.join(work, image)), image))
        with open(os.path.join(work, "release.txt"), "w") as f:
            f.write("\n".join(report) + "\n")
        fresh_folder(out)
        for name in images + ["SHA256SUMS", "release.txt"]:
            os.replace(os.path.join(work, name), os.path.join(out, name))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    sys.stdout.write("\n".join(report) + "\n")
    return 0


def main(argv):
    parser = argparse.ArgumentParser(description="Makes the release images of a release.")
    parser.add_argument("--release", required=True, help="the release description")
    parser.add_argument("--product", required=True, help="folder of the product's files")
    parser.add_argument("--out", required=True, help="folder to write the images into")
    parser.add_argument("--medium", help="the directory-source medium, mastered as the ISO")
    parser.add_argument("--disks", help="folder of disk1 .. diskN, made into floppy images")
    parser.add_argument("--volume", default="Quillmark", help="the product, as the ISO's label")
    parser.add_argument("--time", help="the release time, seconds since 1970 (default: "
                        "SOURCE_DATE_EPOCH)")
    parser.add_argument("--time-from", default="SOURCE_DATE_EPOCH",
                        help="where the release time came from, for release.txt")
    parser.add_argument("--commit", default="not given", help="the commit built, for release.txt")
    parser.add_argument("--signature", help="file holding the signing step's line on SETUP.EXE")
    parser.add_argument("--layout", help="file holding what the report shows of the disk table "
                        "the build used (tools/mkproduct/fromfolder.py)")
    args = parser.parse_args(argv[1:])
    try:
        return build(args)
    except (mkrelease.ReleaseError, mkmedium.MediumError, ImageError) as e:
        sys.stderr.write("mkimages: %s\n" % e)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
