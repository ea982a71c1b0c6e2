#!/usr/bin/env python3
"""Writes a first install manifest from a folder of the product's files,
for the release engineer to edit: the top-level files, then each subfolder
as a directory, "Finished", and the sample folder after it.

    mkmanifest.py DIR [--samples NAME] > release/manifest.txt

The sample folder is the top-level folder named NAME (SAMPLES by default,
any letter case). Files and folders are in name order; a name that is not a
short (8.3) name is left out and named on stderr, since the release cannot
hold it. The order of the manifest is the order of installation: put first
what the installation should write first. A folder that holds only folders
would open with another directory, which the release refuses: the engineer
gives it a file or moves its folders up.
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "mkrelease"))
import mkrelease  # noqa: E402


def entries(folder, skipped):
    """The manifest lines of folder's files, then of its subfolders."""
    names = sorted(os.listdir(folder), key=str.upper)
    lines, dirs = [], []
    for name in names:
        path = os.path.join(folder, name)
        if mkrelease.short_name_problem(name):
            skipped.append(path)
        elif os.path.isdir(path):
            dirs.append(name)
        else:
            lines.append(name)
    for name in dirs:
        inner = entries(os.path.join(folder, name), skipped)
        # A directory opens with a file or ends at once: its subfolders follow its files.
        lines += [mkrelease.DIR_START, name] + inner + [mkrelease.DIR_END]
    return lines


def main(argv):
    parser = argparse.ArgumentParser(description="Writes a first manifest from a folder.")
    parser.add_argument("folder", help="the product's files, as they are installed")
    parser.add_argument("--samples", default="SAMPLES", help="the top-level folder of sample files")
    args = parser.parse_args(argv[1:])
    if not os.path.isdir(args.folder):
        sys.stderr.write("mkmanifest: %s: no such folder\n" % args.folder)
        return 1
    skipped = []
    main_lines = entries(args.folder, skipped)
    samples = []
    for i, line in enumerate(main_lines):
        if line == mkrelease.DIR_START and main_lines[i + 1].upper() == args.samples.upper():
            end = i + 2
            depth = 1
            while depth:
                depth += {mkrelease.DIR_START: 1, mkrelease.DIR_END: -1}.get(main_lines[end], 0)
                end += 1
            samples, main_lines = main_lines[i:end], main_lines[:i] + main_lines[end:]
            break
    out = ["# The install manifest, written by tools/mkproduct/mkmanifest.py from",
           "# %s: edit it (order, what is a sample) and keep it with the release." % args.folder]
    sys.stdout.write("\n".join(out + main_lines + [mkrelease.FINISHED] + samples) + "\n")
    for path in skipped:
        sys.stderr.write("mkmanifest: %s: left out, not a short name (8.3)\n" % path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
