#!/usr/bin/env python3
"""The bench's table: medians and ratios of one hyperfine run, written to
bench/results.md and between the markers of the README's Benchmark section.

    report.py --hyperfine JSON --runs LOG --requests TSV --files N --machine TEXT --source TEXT
              --results MD --readme MD

JSON is hyperfine's export (one run per command and round, every command
carrying "label:round"); LOG is the bench runner's log, one line per run
(a warm-up run and then the timed run of each command and round); TSV has
one "label<TAB>requests" line per command: the wineserver requests of the
program it ran, counted once from the server's trace; N is the number of
files an installation writes. The folders of MD are made when missing.
"""
import argparse
import datetime
import json
import os
import re
import statistics
import sys

BEGIN = "<!-- bench:begin -->"
END = "<!-- bench:end -->"
SECTION = "## Benchmark"

# label: (row title, what it does), in the order of a round: each pair that
# a target compares, run one after the other, so that the machine's drift
# within a round weighs little on their ratio.
COMMANDS = [
    ("setup", "SETUP.EXE", "the installer, driven from outside: dialog filled, Continue, completion question answered No"),
    ("floor-length", "floor + length check", "the floor plus, per file, GetShortPathNameA and fopen/fseek/ftell/fclose of the source"),
    ("floor", "LZ32 floor", "LZStart, then LZOpenFileA / CopyLZFile / LZClose per file, LZDone; nothing else"),
    ("setup-silent", "SETUP.EXE /S", "the installer run unattended: SETUP.EXE /S with the answers as switches "
     "(/NAME, /DEPT, /ORG, /DIR, /SAMPLES=1); no window, no log"),
    ("start-up", "start-up (subtracted)", "the runner starting a program that exits at once"),
    ("nsis-zlib", "NSIS, zlib", "an NSIS installer of the same files, default compression, run with /S"),
    ("nsis-lzma", "NSIS, solid LZMA", "the same with SetCompressor /SOLID lzma, run with /S"),
    ("nsis-window", "NSIS, zlib, window", "the NSIS, zlib installer with its page, started without /S: one "
     "page showing each file's name (details shown) and the bar, closing by itself at the end"),
    ("wine", "bare Wine start-up", "wine starting that program directly"),
]
TITLES = {label: title for label, title, _ in COMMANDS}
COMPARED = ["floor", "floor-length", "nsis-window", "setup-silent", "nsis-zlib", "nsis-lzma"]
# What the unattended run is set against: the floor and the silent peers.
SILENT = "setup-silent"
SILENT_COMPARED = ["floor", "floor-length", "nsis-zlib", "nsis-lzma"]
LABEL = re.compile(r"(?:^|\s)([a-z][a-z-]*):(\d+)(?=\s|$)")

# Targets: SETUP.EXE at most 22 wineserver requests per file, its net time
# at most 1.2 x floor + length check and below NSIS with its window, the
# dialog within 300 ms, peak memory no higher than NSIS with its window.
MAX_REQUESTS_PER_FILE = 22.0
MAX_RATIO_FLOOR_LENGTH = 1.2
MAX_DIALOG_MS = 300.0
PEER = "nsis-window"
# SETUP.EXE /S paints nothing: what is left is the copy itself.
MAX_SILENT_REQUESTS_PER_FILE = 8.0
MAX_SILENT_RATIO_FLOOR = 1.10


class ReportError(Exception):
    pass


def label_of(command):
    m = LABEL.search(command)
    if not m:
        raise ReportError("no label:round in the command %r" % command)
    return m.group(1), int(m.group(2))


def read_times(data):
    """{label: {round: seconds}} from hyperfine's export."""
    times = {}
    for result in data["results"]:
        label, round_ = label_of(result["command"])
        runs = result.get("times") or [result["mean"]]
        times.setdefault(label, {})[round_] = runs[-1]
    return times


def read_runs(lines):
    """{label: {round: fields}} from the runner's log; the last line of a
    label and round is its timed run (the warm-up run comes first)."""
    runs = {}
    for line in lines:
        parts = line.rstrip("\n").split("\t")
        if len(parts) < 8:
            continue
        label, round_ = label_of(parts[0])
        runs.setdefault(label, {})[round_] = {
            "exit": int(parts[2]), "dialog_ms": float(parts[3]), "copy_ms": float(parts[4]),
            "total_ms": float(parts[5]), "peak_kb": int(parts[6]), "status": parts[7]}
    return runs


def read_requests(lines):
    """{label: requests} from "label<TAB>requests" lines."""
    out = {}
    for line in lines:
        parts = line.split()
        if len(parts) == 2:
            out[parts[0]] = int(parts[1])
    return out


def requests_per_file(requests, files):
    """{label: requests per installed file net of the start-up's}; the
    start-up itself and commands without a count are left out."""
    if "start-up" not in requests or files <= 0:
        return {}
    base = requests["start-up"]
    return {label: (count - base) / float(files) for label, count in requests.items()
            if label not in ("start-up", "wine")}


def ratios_of(net, rounds, label, others):
    """{other: (median, lowest, highest)} of the rounds' own ratios of
    label's net time to each other command's."""
    out = {}
    for other in others:
        if other in net:
            per_round = [net[label][r] / net[other][r] for r in rounds if net[other][r] > 0]
            if per_round:
                out[other] = (statistics.median(per_round), min(per_round), max(per_round))
    return out


def summarise(times, runs, requests=None, files=0):
    """Medians and ratios. Net times are taken round by round (the command
    minus the same round's start-up), and ratios are medians of the rounds'
    own ratios, so that drift between rounds cancels."""
    for needed in ("setup", "start-up"):
        if needed not in times:
            raise ReportError("no runs of %s" % needed)
    rounds = sorted(times["start-up"])
    for label, by_round in times.items():
        if sorted(by_round) != rounds:
            raise ReportError("%s was not run in every round" % label)
    base = times["start-up"]
    net = {label: {r: by_round[r] - base[r] for r in rounds} for label, by_round in times.items()}
    out = {"rounds": len(rounds), "rows": {}, "ratios": {}}
    for label, by_round in times.items():
        row = {"median": statistics.median(by_round.values()),
               "net": statistics.median(net[label].values())}
        peaks = [run["peak_kb"] for run in runs.get(label, {}).values()]
        row["peak_mb"] = statistics.median(peaks) / 1024.0 if peaks else None
        out["rows"][label] = row
    out["ratios"] = ratios_of(net, rounds, "setup", COMPARED)
    out["silent_ratios"] = ratios_of(net, rounds, SILENT, SILENT_COMPARED) if SILENT in net else {}
    setup_runs = runs.get("setup", {})
    dialogs = [run["dialog_ms"] for run in setup_runs.values() if run["dialog_ms"] >= 0]
    copies = [run["copy_ms"] for run in setup_runs.values() if run["copy_ms"] >= 0]
    out["dialog_ms"] = (statistics.median(dialogs), min(dialogs), max(dialogs)) if dialogs else None
    out["copy_ms"] = statistics.median(copies) if copies else None
    out["requests"] = dict(requests or {})
    out["per_file"] = requests_per_file(out["requests"], files)
    out["files"] = files
    return out


def targets(summary):
    """[(met, text)] for the five targets of SETUP.EXE and the two of
    SETUP.EXE /S, each where it was measured."""
    rows, ratios = summary["rows"], summary["ratios"]
    out = []
    per_file = summary.get("per_file", {}).get("setup")
    if per_file is not None:
        out.append((per_file <= MAX_REQUESTS_PER_FILE, "SETUP.EXE at most %.0f wineserver requests per file: %.1f"
                    % (MAX_REQUESTS_PER_FILE, per_file)))
    if "floor-length" in ratios:
        r = ratios["floor-length"][0]
        out.append((r <= MAX_RATIO_FLOOR_LENGTH, "SETUP.EXE at most %.2f x the floor + length check: %.2f x"
                    % (MAX_RATIO_FLOOR_LENGTH, r)))
    if PEER in ratios:
        r = ratios[PEER][0]
        out.append((r < 1.0, "SETUP.EXE faster than NSIS with its window: %.2f x its time" % r))
    if summary["dialog_ms"]:
        d = summary["dialog_ms"][0]
        out.append((d <= MAX_DIALOG_MS, "dialog visible at most %d ms after the process starts: %.0f ms"
                    % (MAX_DIALOG_MS, d)))
    ours, peer = rows["setup"]["peak_mb"], rows.get(PEER, {}).get("peak_mb")
    if ours is not None and peer is not None:
        out.append((ours <= peer, "peak memory no higher than NSIS with its window: %.1f MB against %.1f MB"
                    % (ours, peer)))
    silent = summary.get("per_file", {}).get(SILENT)
    if silent is not None:
        out.append((silent <= MAX_SILENT_REQUESTS_PER_FILE, "SETUP.EXE /S at most %.0f wineserver requests per file: %.1f"
                    % (MAX_SILENT_REQUESTS_PER_FILE, silent)))
    if "floor" in summary.get("silent_ratios", {}):
        r = summary["silent_ratios"]["floor"][0]
        out.append((r <= MAX_SILENT_RATIO_FLOOR, "SETUP.EXE /S at most %.2f x the LZ32 floor: %.2f x"
                    % (MAX_SILENT_RATIO_FLOOR, r)))
    return out


def silent_sentence(summary):
    """SETUP.EXE /S set against the floor and the silent peers, or None."""
    ratios = summary.get("silent_ratios", {})
    if not ratios:
        return None
    parts = ["%.2f × %s (%.2f–%.2f)" % ((ratios[o][0], TITLES[o]) + ratios[o][1:]) for o in SILENT_COMPARED
             if o in ratios]
    return ("SETUP.EXE /S took %.3f s net: %s (medians of the rounds' own ratios, range in brackets)."
            % (summary["rows"][SILENT]["net"], ", ".join(parts)))


def table(summary, machine, source, date, findings):
    rows, ratios = summary["rows"], summary["ratios"]
    lines = ["Measured %s on %s; SETUP.EXE built optimised from %s; Xvfb with a window manager (evilwm), Wine placing and captioning its own windows. "
             "One hyperfine run: %d rounds, each "
             "running every command once in the order below after a warm-up run of it, with a fresh target "
             "each run; medians over the rounds. Net = the command minus the same round's start-up; "
             "SETUP.EXE ÷ this = median of the rounds' own ratios of net times (range in brackets). "
             "Requests per file: the wineserver requests of the program the command ran, less those of the "
             "start-up's program, divided by the %d files an installation writes; counted once, untimed, from "
             "the server's own trace (they do not follow the machine's load; two runs differ by a few hundred in all)."
             % (date, machine, source, summary["rounds"], summary.get("files", 0)), "",
             "| Command | Median | Net | SETUP.EXE ÷ this | Peak memory | Requests per file |",
             "|---|---:|---:|---:|---:|---:|"]
    for label, title, _ in COMMANDS:
        if label not in rows:
            continue
        row = rows[label]
        ratio = ""
        if label in ratios:
            ratio = "%.2f (%.2f–%.2f)" % ratios[label]
        net = "—" if label in ("start-up", "wine") else "%.3f s" % row["net"]
        peak = "" if row["peak_mb"] is None else "%.1f MB" % row["peak_mb"]
        requests = ""
        if label in summary.get("per_file", {}):
            requests = "%.1f" % summary["per_file"][label]
        elif label == "start-up" and label in summary.get("requests", {}):
            requests = "(%d in all)" % summary["requests"][label]
        lines.append("| %s | %.3f s | %s | %s | %s | %s |" % (title, row["median"], net, ratio, peak, requests))
    lines.append("")
    if summary["dialog_ms"]:
        lines.append("SETUP.EXE's user dialog was visible %.0f ms after CreateProcess (median; %.0f–%.0f ms); "
                     "from Continue to the completion question took %.2f s (median)."
                     % (summary["dialog_ms"] + (summary["copy_ms"] / 1000.0,)))
        lines.append("")
    if silent_sentence(summary):
        lines.append(silent_sentence(summary))
        lines.append("")
    lines.append("Targets:")
    lines.append("")
    missed = False
    for met, text in targets(summary):
        lines.append("- %s %s" % ("met:" if met else "**missed**:", text))
        missed = missed or not met
    lines.append("")
    lines.append("Peak memory: the largest PeakWorkingSetSize of the program's process the runner read while "
                 "it ran (every 10 ms); under Wine the Linux process's peak resident set, shared libraries "
                 "included. Every command's tree was checked byte for byte against the payload once, untimed "
                 "(SETUP.EXE's owner data file only for being there: it holds the answers).")
    lines.append("")
    if missed:
        lines.append("Where a target is missed, the measured reason and the proposed change are in "
                     "[findings.md](%s), with the requests SETUP.EXE makes per file by name." % findings)
    else:
        lines.append("The requests SETUP.EXE makes per file, by name, are in [findings.md](%s)." % findings)
    return lines


def results_file(lines):
    head = ["# Benchmark: installing the demo medium", "",
            "Written by `make bench` (scripts/bench.sh); do not edit by hand.", "",
            "| Command | What it runs |", "|---|---|"]
    head += ["| %s | %s |" % (title, what) for _, title, what in COMMANDS]
    return "\n".join(head + [""] + lines) + "\n"


def readme_with_section(text, lines):
    """The README with its Benchmark section's generated part replaced, or
    the section added at the end."""
    block = BEGIN + "\n" + "\n".join(lines) + "\n" + END
    start, end = text.find(BEGIN), text.find(END)
    if start >= 0 and end > start:
        return text[:start] + block + text[end + len(END):]
    if start >= 0 or end >= 0:
        raise ReportError("the README has only one of the benchmark markers")
    intro = ("`make bench` (not part of `make test`) times whole installations of the demo medium under "
             "Wine against the platform's floor and an NSIS peer; see [bench/results.md](bench/results.md).")
    return text.rstrip("\n") + "\n\n" + SECTION + "\n\n" + intro + "\n\n" + block + "\n"


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--hyperfine", required=True)
    parser.add_argument("--runs", required=True)
    parser.add_argument("--machine", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--results", required=True)
    parser.add_argument("--readme", required=True)
    parser.add_argument("--requests")
    parser.add_argument("--files", type=int, default=0)
    parser.add_argument("--date", default=datetime.date.today().isoformat())
    args = parser.parse_args(argv)
    try:
        with open(args.hyperfine) as f:
            times = read_times(json.load(f))
        with open(args.runs) as f:
            runs = read_runs(f)
        requests = {}
        if args.requests:
            with open(args.requests) as f:
                requests = read_requests(f)
        summary = summarise(times, runs, requests, args.files)
        for path in (args.results, args.readme):
            os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        with open(args.results, "w") as f:
            f.write(results_file(table(summary, args.machine, args.source, args.date, "findings.md")))
        readme = ""
        if os.path.exists(args.readme):
            with open(args.readme) as f:
                readme = f.read()
        lines = table(summary, args.machine, args.source, args.date, "bench/findings.md")
        with open(args.readme, "w") as f:
            f.write(readme_with_section(readme, lines))
    except (OSError, ValueError, KeyError, ReportError) as e:
        print("report: %s" % e, file=sys.stderr)
        return 1
    print("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
