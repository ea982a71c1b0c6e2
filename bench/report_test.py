"""The bench's table: which run is which, net times and ratios round by
round, the targets, and the README section rewritten between its markers."""
import contextlib
import io
import json
import os
import tempfile
import unittest

import report


def hyperfine(times):
    """hyperfine's export for {label: [seconds per round]}, rounds from 1,
    in hyperfine's order (round by round)."""
    results = []
    rounds = len(next(iter(times.values())))
    for r in range(rounds):
        for label, values in times.items():
            results.append({"command": "wine 'Z:\\b\\runner.exe' 'Z:\\b\\runs.log' %s:%d run 'C:\\BENCH\\X'"
                                       % (label, r + 1), "mean": values[r], "times": [values[r]]})
    return {"results": results}


def log_line(label, round_, dialog=-1.0, copy=-1.0, peak_kb=1024, status="ok"):
    return "%s:%d\tsetup\t0\t%.1f\t%.1f\t1000.0\t%d\t%s\n" % (label, round_, dialog, copy, peak_kb, status)


BASE = {
    "setup":        [2.1, 2.3, 2.2],
    "floor":        [0.6, 0.7, 0.5],
    "floor-length": [1.1, 1.0, 1.2],
    "nsis-zlib":    [1.6, 1.4, 2.1],
    "start-up":     [0.1, 0.1, 0.2],
}


class LabelTest(unittest.TestCase):
    def test_label_and_round_come_from_the_command(self):
        cases = [
            ("wine 'Z:\\r.exe' 'Z:\\l.log' floor-length:7 run 'C:\\BENCH\\FLOORLEN' x", ("floor-length", 7)),
            ("wine 'Z:\\tmp\\bare.exe' wine:12", ("wine", 12)),
        ]
        for command, expected in cases:
            with self.subTest(command):
                self.assertEqual(report.label_of(command), expected)

    def test_a_drive_letter_is_no_label(self):
        with self.assertRaises(report.ReportError):
            report.label_of("wine 'C:\\BENCH\\SETUP'")

    def test_the_timed_run_is_the_last_line_of_its_round(self):
        lines = [log_line("setup", 1, dialog=900.0), log_line("setup", 1, dialog=120.0),
                 log_line("floor", 1, peak_kb=7000), "a short line\n"]
        runs = report.read_runs(lines)
        self.assertEqual(runs["setup"][1]["dialog_ms"], 120.0)
        self.assertEqual(runs["floor"][1]["peak_kb"], 7000)
        self.assertEqual(sorted(runs), ["floor", "setup"])


class SummaryTest(unittest.TestCase):
    def summary(self, times=BASE, lines=()):
        return report.summarise(report.read_times(hyperfine(times)), report.read_runs(lines))

    def test_net_times_and_ratios_round_by_round(self):
        s = self.summary()
        self.assertEqual(s["rounds"], 3)
        self.assertAlmostEqual(s["rows"]["setup"]["median"], 2.2)
        # setup net per round 2.0, 2.2, 2.0; floor + length check net 1.0, 0.9, 1.0
        self.assertAlmostEqual(s["rows"]["setup"]["net"], 2.0)
        self.assertAlmostEqual(s["rows"]["floor-length"]["net"], 1.0)
        # the rounds' ratios 2.0, 2.444, 2.0
        median, low, high = s["ratios"]["floor-length"]
        self.assertAlmostEqual(median, 2.0)
        self.assertAlmostEqual(low, 2.0)
        self.assertAlmostEqual(high, 2.2 / 0.9)
        # against NSIS: 2.0 / 1.5, 2.2 / 1.3, 2.0 / 1.9
        self.assertAlmostEqual(s["ratios"]["nsis-zlib"][0], 2.0 / 1.5)

    def test_the_unattended_run_against_the_floor_and_the_silent_peers(self):
        times = dict(BASE, **{"setup-silent": [0.7, 0.8, 0.6]})
        s = self.summary(times)
        # net per round 0.6, 0.7, 0.4 against the floor's 0.5, 0.6, 0.3
        median, low, high = s["silent_ratios"]["floor"]
        self.assertAlmostEqual(median, 0.6 / 0.5)
        self.assertAlmostEqual(low, 0.7 / 0.6)
        self.assertAlmostEqual(high, 0.4 / 0.3)
        self.assertAlmostEqual(s["silent_ratios"]["nsis-zlib"][0], 0.6 / 1.5)
        self.assertNotIn("nsis-window", s["silent_ratios"])
        # the interactive run's own ratios stay as they were, the unattended row among them
        self.assertAlmostEqual(s["ratios"]["floor-length"][0], 2.0)
        self.assertAlmostEqual(s["ratios"]["setup-silent"][0], 2.0 / 0.6)
        self.assertEqual(report.silent_sentence(s),
                         "SETUP.EXE /S took 0.600 s net: 1.20 × LZ32 floor (1.17–1.33), "
                         "0.60 × floor + length check (0.40–0.78), 0.40 × NSIS, zlib (0.21–0.54) "
                         "(medians of the rounds' own ratios, range in brackets).")
        self.assertIsNone(report.silent_sentence(self.summary()))

    def test_a_command_missing_a_round_is_refused(self):
        times = report.read_times(hyperfine(BASE))
        del times["floor"][2]
        with self.assertRaisesRegex(report.ReportError, "floor was not run in every round"):
            report.summarise(times, {})

    def test_without_the_start_up_nothing_can_be_subtracted(self):
        times = dict(BASE)
        del times["start-up"]
        with self.assertRaisesRegex(report.ReportError, "no runs of start-up"):
            self.summary(times)

    def test_dialog_and_memory_medians(self):
        lines = [log_line("setup", r, dialog=d, copy=c, peak_kb=k)
                 for r, d, c, k in ((1, 250.0, 1900.0, 24576), (2, 90.0, 2100.0, 23552), (3, 110.0, 2000.0, 24576))]
        lines.append(log_line("nsis-zlib", 1, peak_kb=23552))
        s = self.summary(lines=lines)
        self.assertEqual(s["dialog_ms"], (110.0, 90.0, 250.0))
        self.assertEqual(s["copy_ms"], 2000.0)
        self.assertEqual(s["rows"]["setup"]["peak_mb"], 24.0)
        self.assertEqual(s["rows"]["nsis-zlib"]["peak_mb"], 23.0)
        self.assertIsNone(s["rows"]["floor"]["peak_mb"])


class RequestsTest(unittest.TestCase):
    def test_per_file_net_of_the_start_up(self):
        requests = report.read_requests(["setup\t22660\n", "start-up\t660\n", "floor\t5700\n", "\n",
                                         "wine\t12\n"])
        self.assertEqual(requests, {"setup": 22660, "start-up": 660, "floor": 5700, "wine": 12})
        self.assertEqual(report.requests_per_file(requests, 1000), {"setup": 22.0, "floor": 5.04})

    def test_without_the_start_up_or_files_no_column(self):
        self.assertEqual(report.requests_per_file({"setup": 100}, 10), {})
        self.assertEqual(report.requests_per_file({"setup": 100, "start-up": 10}, 0), {})

    def test_the_table_shows_them(self):
        s = report.summarise(report.read_times(hyperfine(BASE)), {}, {"setup": 30660, "start-up": 660}, 1000)
        lines = report.table(s, "m", "src", "2026-12-07", "findings.md")
        self.assertIn("| SETUP.EXE | 2.200 s | 2.000 s |  |  | 30.0 |", lines)
        self.assertIn("| start-up (subtracted) | 0.100 s | — |  |  | (660 in all) |", lines)
        self.assertIn("| LZ32 floor | 0.600 s | 0.500 s | 4.00 (3.67–6.67) |  |  |", lines)


class TargetTest(unittest.TestCase):
    def summary(self, per_file, floor_length_ratio, peer_ratio, dialog_ms, setup_mb, peer_mb):
        rows = {"setup": {"peak_mb": setup_mb}, "nsis-window": {"peak_mb": peer_mb}, "nsis-zlib": {"peak_mb": 1.0}}
        return {"rows": rows, "per_file": {"setup": per_file},
                "ratios": {"floor-length": (floor_length_ratio, 0, 0), "nsis-window": (peer_ratio, 0, 0),
                           "nsis-zlib": (9.0, 0, 0)},
                "dialog_ms": (dialog_ms, 0, 0)}

    def test_limits_are_inclusive_where_they_say_at_most(self):
        cases = [
            ((22.0, 1.20, 0.99, 300.0, 20.0, 20.0), [True, True, True, True, True]),
            ((22.1, 1.21, 1.00, 301.0, 20.1, 20.0), [False, False, False, False, False]),
            ((110.0, 2.55, 2.54, 97.0, 23.6, 22.6), [False, False, False, True, False]),
        ]
        for values, expected in cases:
            with self.subTest(values=values):
                self.assertEqual([met for met, _ in report.targets(self.summary(*values))], expected)

    def test_the_unattended_targets_where_measured(self):
        cases = [
            ((8.0, 1.10), [True, True]),
            ((8.1, 1.11), [False, False]),
        ]
        for (per_file, ratio), expected in cases:
            with self.subTest(per_file=per_file, ratio=ratio):
                s = self.summary(24.3, 1.0, 0.5, 97.0, 20.0, 20.0)
                s["per_file"]["setup-silent"] = per_file
                s["silent_ratios"] = {"floor": (ratio, 0, 0)}
                out = report.targets(s)
                self.assertEqual([met for met, _ in out[5:]], expected)
                self.assertEqual([text for _, text in out[5:]], [
                    "SETUP.EXE /S at most 8 wineserver requests per file: %.1f" % per_file,
                    "SETUP.EXE /S at most 1.10 x the LZ32 floor: %.2f x" % ratio])

    def test_texts_quote_the_measured_values(self):
        texts = [text for _, text in report.targets(self.summary(24.3, 2.55, 2.54, 97.0, 23.6, 22.6))]
        self.assertEqual(texts, [
            "SETUP.EXE at most 22 wineserver requests per file: 24.3",
            "SETUP.EXE at most 1.20 x the floor + length check: 2.55 x",
            "SETUP.EXE faster than NSIS with its window: 2.54 x its time",
            "dialog visible at most 300 ms after the process starts: 97 ms",
            "peak memory no higher than NSIS with its window: 23.6 MB against 22.6 MB",
        ])


class MainTest(unittest.TestCase):
    def test_an_output_folder_without_its_bench_folder_is_made(self):
        with tempfile.TemporaryDirectory() as work:
            data = os.path.join(work, "hyperfine.json")
            with open(data, "w") as f:
                json.dump(hyperfine(BASE), f)
            runs = os.path.join(work, "runs.log")
            with open(runs, "w") as f:
                f.write(log_line("setup", 1, dialog=100.0, copy=2000.0))
            out = os.path.join(work, "out")
            os.mkdir(out)
            results, readme = os.path.join(out, "bench", "results.md"), os.path.join(out, "README.md")
            with contextlib.redirect_stdout(io.StringIO()):
                code = report.main(["--hyperfine", data, "--runs", runs, "--machine", "m", "--source", "s",
                                    "--results", results, "--readme", readme])
            self.assertEqual(code, 0)
            with open(results) as f:
                self.assertIn("| SETUP.EXE | 2.200 s |", f.read())
            with open(readme) as f:
                self.assertIn("<!-- bench:begin -->", f.read())


class ReadmeTest(unittest.TestCase):
    def test_the_section_between_the_markers_is_replaced(self):
        text = "# Title\n\n## Benchmark\n\nintro\n\n<!-- bench:begin -->\nold\n<!-- bench:end -->\n\n## Later\nkept\n"
        self.assertEqual(report.readme_with_section(text, ["new 1", "new 2"]),
                         "# Title\n\n## Benchmark\n\nintro\n\n<!-- bench:begin -->\nnew 1\nnew 2\n"
                         "<!-- bench:end -->\n\n## Later\nkept\n")

    def test_the_section_is_added_at_the_end_when_missing(self):
        out = report.readme_with_section("# Title\n\nText.\n\n", ["row"])
        self.assertTrue(out.startswith("# Title\n\nText.\n\n## Benchmark\n\n"))
        self.assertTrue(out.endswith("\n<!-- bench:begin -->\nrow\n<!-- bench:end -->\n"))
        self.assertEqual(report.readme_with_section(out, ["row"]), out)

    def test_a_lone_marker_is_refused(self):
        with self.assertRaises(report.ReportError):
            report.readme_with_section("x\n<!-- bench:end -->\n", ["row"])


if __name__ == "__main__":
    unittest.main()
