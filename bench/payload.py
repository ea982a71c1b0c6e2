#!/usr/bin/env python3
"""The payload of a release: every file its install manifest puts into the
install tree, where it goes and which product file it must equal.

    payload.py expected --release DIR --product DIR --out LIST
    payload.py nsi --release DIR --product DIR --compression zlib|lzma [--window] --out NSI
    payload.py verify --release DIR --product DIR TREE [--owner-data-written]
                      [--over-release DIR --over-product DIR]

expected  writes "path<TAB>size" lines (Windows separators) for the bench
          runner's completeness check; "*" for the owner data file's size.
nsi       writes an NSIS script that installs the same tree into $INSTDIR;
          with --window its one page shows each file and the bar and closes
          by itself at the end.
verify    compares an installed tree with the payload, byte for byte; with
          --owner-data-written the owner data file only has to be there (the
          installer writes the user's answers into it). Exit status 1 and one
          line per difference when they differ. With --over-release the
          tree is an upgrade over that earlier release: the files only the
          earlier one has stay, as the earlier release's, until the removal.
"""
import argparse
import filecmp
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
import qmtest  # noqa: E402
from qmtest import mkrelease  # noqa: E402

OWNER_DATA = "QUILLMRK.DAT"
RENAMED = {"VZFONTMAP": "fontmap"}   # read under one name, installed under another


class PayloadError(Exception):
    pass


def tree_of(entries):
    """The install tree of a manifest's entries (see qmtest.install_tree)."""
    return qmtest.install_tree(entries, RENAMED)


def product_file(product, name, listing):
    found = listing.get(name.upper())
    if not found:
        raise PayloadError("%s: no product file %s" % (product, name))
    return os.path.join(product, found)


def payload(release_dir, product_dir):
    """[(relative path parts, product file path)] of the release's install
    tree, and its directories (see tree_of)."""
    try:
        release = mkrelease.read_release(release_dir)
    except mkrelease.ReleaseError as e:
        raise PayloadError(str(e))
    try:
        listing = {n.upper(): n for n in os.listdir(product_dir)}
    except OSError as e:
        raise PayloadError("%s: %s" % (product_dir, e.strerror))
    files, dirs = tree_of(release.entries())
    return [(parts, product_file(product_dir, name, listing)) for parts, name in files], dirs


def expected_lines(files):
    """The runner's list: the owner data file's size is left open ("*"),
    as the installer writes the user's answers into it."""
    lines = []
    for parts, source in files:
        size = "*" if tuple(p.upper() for p in parts) == (OWNER_DATA,) else str(os.path.getsize(source))
        lines.append("%s\t%s\n" % ("\\".join(parts), size))
    return lines


def nsis_script(files, compression, window=False):
    """An NSIS installer of the tree, into /D=DIR: silent with /S; with
    window, started without /S, it shows only the page of the files being
    installed, details shown (each file's name) with the bar, and closes by
    itself when done."""
    lines = ["; The same product files as SETUP.EXE installs, for comparison.\n",
             'Name "Quillmark Professional"\n',
             'InstallDir "C:\\QUILLMRK"\n',
             "RequestExecutionLevel user\n"]
    if window:
        lines += ["ShowInstDetails show\n", "AutoCloseWindow true\n", "Page instfiles\n"]
    if compression == "lzma":
        lines.append("SetCompressor /SOLID lzma\n")
    elif compression != "zlib":
        raise PayloadError("compression must be zlib or lzma, not %r" % compression)
    lines.append("Section\n")
    current = None
    for parts, source in files:
        folder = "\\".join(("$INSTDIR",) + parts[:-1])
        if folder != current:
            lines.append('  SetOutPath "%s"\n' % folder)
            current = folder
        lines.append('  File "/oname=%s" "%s"\n' % (parts[-1], source))
    lines.append("SectionEnd\n")
    return lines


def listing_of(tree):
    """Upper-case relative paths (tuples) of the files and of the
    directories under tree: Windows names ignore letter case."""
    files, dirs = {}, set()
    for top, subdirs, names in os.walk(tree):
        rel = os.path.relpath(top, tree)
        base = () if rel == "." else tuple(p.upper() for p in rel.split(os.sep))
        for d in subdirs:
            dirs.add(base + (d.upper(),))
        for n in names:
            files[base + (n.upper(),)] = os.path.join(top, n)
    return files, dirs


def differences(tree, files, wanted_dirs, owner_data_written=False):
    """What differs between the installed tree and the payload, one text each."""
    if not os.path.isdir(tree):
        return ["%s: no such folder" % tree]
    found, found_dirs = listing_of(tree)
    wanted = {tuple(p.upper() for p in parts): source for parts, source in files}
    out = []
    for key in sorted(set(wanted) - set(found)):
        out.append("missing %s" % "\\".join(key))
    for key in sorted(set(found) - set(wanted)):
        out.append("not in the payload: %s" % "\\".join(key))
    for key in sorted(found_dirs ^ wanted_dirs):
        out.append("directory %s %s" % ("\\".join(key), "missing" if key in wanted_dirs else "not in the payload"))
    for key in sorted(set(wanted) & set(found)):
        if wanted[key] is None or (owner_data_written and key == (OWNER_DATA,)):
            continue
        if not filecmp.cmp(wanted[key], found[key], shallow=False):
            out.append("differs: %s" % "\\".join(key))
    return out


def upgraded(files, dirs, earlier):
    """The payload of an upgrade over the earlier release's payload: the
    release's files, and the earlier one's that the release has no file of."""
    names = {tuple(p.upper() for p in parts) for parts, _ in files}
    kept = [(parts, source) for parts, source in earlier[0] if tuple(p.upper() for p in parts) not in names]
    return files + kept, dirs | earlier[1]


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("command", choices=("expected", "nsi", "verify"))
    parser.add_argument("tree", nargs="?")
    parser.add_argument("--release", required=True)
    parser.add_argument("--product", required=True)
    parser.add_argument("--out")
    parser.add_argument("--compression", default="zlib")
    parser.add_argument("--window", action="store_true")
    parser.add_argument("--owner-data-written", action="store_true")
    parser.add_argument("--over-release")
    parser.add_argument("--over-product")
    args = parser.parse_args(argv)
    try:
        files, dirs = payload(args.release, args.product)
        if args.over_release:
            files, dirs = upgraded(files, dirs, payload(args.over_release, args.over_product or args.product))
        if args.command == "verify":
            if not args.tree:
                raise PayloadError("verify needs the installed tree")
            problems = differences(args.tree, files, dirs, args.owner_data_written)
            for p in problems[:20]:
                print("%s: %s" % (args.tree, p))
            if len(problems) > 20:
                print("%s: ... %d differences in all" % (args.tree, len(problems)))
            return 1 if problems else 0
        if not args.out:
            raise PayloadError("--out is needed")
        if args.command == "expected":
            lines = expected_lines(files)
        else:
            lines = nsis_script(files, args.compression, args.window)
        with open(args.out, "w", newline="\n") as f:
            f.writelines(lines)
        return 0
    except PayloadError as e:
        print("payload: %s" % e, file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
