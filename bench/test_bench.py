#!/usr/bin/env python3
"""The benchmark's own arithmetic and bookkeeping, before any figure is taken
from it: the order the sides take turns in, medians and ratios, the file list
the runs are given, the DLLs read from a program, the logic benchmark's output
and the goals in the table."""

import json
import os
import subprocess
import sys
import tempfile
import time
import unittest
from unittest import mock

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import bench  # noqa: E402


class Turns(unittest.TestCase):
    def test_sides_alternate_and_the_first_changes_every_round(self):
        order = []
        sides = [lambda k=k: order.append(k) or k for k in "ABC"]
        times = bench.interleaved(4, *sides)
        self.assertEqual("".join(order), "ABCCBAABCCBA")
        self.assertEqual(times, [["A"] * 4, ["B"] * 4, ["C"] * 4])

    def test_two_sides_are_abba(self):
        order = []
        bench.interleaved(3, lambda: order.append("ours"), lambda: order.append("floor"))
        self.assertEqual(order, ["ours", "floor", "floor", "ours", "ours", "floor"])


class Ratios(unittest.TestCase):
    def test_ratio_is_of_the_medians_and_an_outlier_does_not_move_it(self):
        row = bench.compared([1.0, 1.2, 9.0], [1.0, 1.1, 0.9], goal=1.10)
        self.assertAlmostEqual(row["ours"], 1.2)
        self.assertAlmostEqual(row["floor"], 1.0)
        self.assertAlmostEqual(row["ratio"], 1.2)
        self.assertFalse(row["met"])

    def test_goal_is_met_at_the_bound_itself(self):
        self.assertTrue(bench.compared([2.0, 2.0], [2.0, 2.0], goal=1.0)["met"])
        self.assertTrue(bench.compared([1.5], [1.25], goal=1.20)["met"])
        self.assertFalse(bench.compared([1.51], [1.25], goal=1.20)["met"])


class FileList(unittest.TestCase):
    def test_numbering_has_two_digits_at_least_and_no_gap(self):
        lines = bench.file_list(101).splitlines()
        keys = [line.split("=")[0] for line in lines if line.startswith("FILE")]
        self.assertEqual(keys[:3], ["FILE00", "FILE01", "FILE02"])
        self.assertEqual(keys[9:11], ["FILE09", "FILE10"])
        self.assertEqual(keys[-1], "FILE100")
        self.assertEqual(len(keys), 101)
        self.assertEqual(len(set(lines)), len(lines))  # every file its own

    def test_the_list_names_the_install_path_and_no_retried_directories(self):
        text = bench.file_list(3)
        self.assertIn("[UNINSTALL]\nPATH=" + bench.INSTALL_DIR + "\n", text)
        self.assertNotIn("STMPATHS", text)
        self.assertIn("FILE02=" + bench.INSTALL_DIR + "\\f00002.dat", text)

    def test_installed_files_and_inis_are_an_hour_old(self):
        with tempfile.TemporaryDirectory() as prefix:
            machine = mock.Mock()
            machine.unix_path.side_effect = lambda p: os.path.join(prefix, *p.split("\\")[1:])
            machine.windows_dir.return_value = os.path.join(prefix, "windows")
            os.makedirs(machine.windows_dir())
            bench.install_product(machine, 12, bench.file_list(12))
            self.assertEqual(bench.left_over(machine, 12), (12, ["ZEVFList.ini", "ZEVUnins.ini"]))
            ini = os.path.join(machine.windows_dir(), "ZEVFList.ini")
            self.assertGreater(time.time() - os.path.getmtime(ini), 3000)
            with open(ini, "rb") as f:
                self.assertIn(b"FILE11=", f.read())


def pe_with_strings(*names):
    """Bytes with NUL-terminated names among other bytes, as in a program's data."""
    blob = b"MZ\x90\x00" + b"\x00" * 60
    for name in names:
        blob += b"\x01\x02" + name + b"\x00" + b"\xff" * 5
    return blob


class DelayLoaded(unittest.TestCase):
    def dlls(self, data, imported):
        with tempfile.NamedTemporaryFile(delete=False) as f:
            f.write(data)
        try:
            return bench.delay_loaded_dlls(f.name, imported)
        finally:
            os.unlink(f.name)

    def test_names_not_in_the_import_table_are_reported_once(self):
        data = pe_with_strings(b"KERNEL32.dll", b"WINSPOOL.DRV", b"COMCTL32.dll", b"winspool.drv")
        self.assertEqual(self.dlls(data, ["KERNEL32.dll"]), ["WINSPOOL.DRV", "COMCTL32.dll"])

    def test_a_name_inside_a_longer_text_is_not_a_dll(self):
        data = pe_with_strings(b"see C:\\path\\to\\helper.dll", b"no extension", b"plain.dllx")
        self.assertEqual(self.dlls(data, []), [])

    def test_a_foreign_dll_fails_the_size_goal(self):
        with mock.patch.object(bench, "imported_dlls", return_value=["KERNEL32.dll", "libstdc++-6.dll"]), \
                mock.patch.object(bench, "delay_loaded_dlls", return_value=["WINSPOOL.DRV"]), \
                mock.patch("os.path.getsize", return_value=50000):
            row = bench.size_row("x.exe")
        self.assertEqual(row["foreign_dlls"], ["libstdc++-6.dll"])
        self.assertFalse(row["met"])

    def test_the_size_goal_is_100_kib(self):
        with mock.patch.object(bench, "imported_dlls", return_value=["USER32.dll"]), \
                mock.patch.object(bench, "delay_loaded_dlls", return_value=[]):
            with mock.patch("os.path.getsize", return_value=102400):
                self.assertTrue(bench.size_row("x.exe")["met"])
            with mock.patch("os.path.getsize", return_value=102401):
                self.assertFalse(bench.size_row("x.exe")["met"])


def benchmark_json(times, unit="ms"):
    runs = []
    for count, values in times.items():
        for value in values:
            runs.append({"run_name": "UninstallRun/%d/real_time" % count, "run_type": "iteration",
                         "real_time": value, "time_unit": unit})
        runs.append({"run_name": "UninstallRun/%d/real_time" % count, "run_type": "aggregate",
                     "aggregate_name": "mean", "real_time": 1e9, "time_unit": unit})
    return json.dumps({"benchmarks": runs})


class LogicRows(unittest.TestCase):
    def setUp(self):
        bench.args = mock.Mock(logic_samples=3)

    def rows(self, text):
        done = subprocess.CompletedProcess([], 0, stdout=text.encode())
        with mock.patch("subprocess.run", return_value=done):
            return bench.logic_rows("logic_bench")

    def test_medians_of_the_repetitions_not_the_aggregates(self):
        row = self.rows(benchmark_json({10000: [40, 50, 45], 100000: [500, 400, 450]}))
        self.assertAlmostEqual(row["10000"], 0.045)
        self.assertAlmostEqual(row["100000"], 0.450)
        self.assertAlmostEqual(row["ratio"], 10.0)
        self.assertTrue(row["met"])

    def test_more_than_eleven_times_misses_the_goal(self):
        row = self.rows(benchmark_json({10000: [10, 10, 10], 100000: [120, 120, 120]}, unit="us"))
        self.assertAlmostEqual(row["10000"], 10e-6)
        self.assertFalse(row["met"])

    def test_a_failed_or_missing_size_is_an_error(self):
        with self.assertRaises(bench.BenchError):
            self.rows(benchmark_json({10000: [10, 10, 10]}))
        failed = json.loads(benchmark_json({10000: [1, 1, 1], 100000: [9, 9, 9]}))
        failed["benchmarks"][0]["error_occurred"] = True
        with self.assertRaises(bench.BenchError):
            self.rows(json.dumps(failed))


class Table(unittest.TestCase):
    def results(self, run_ratio=1.1):
        run = {"ours": 0.2 * run_ratio, "floor": 0.2, "ratio": run_ratio, "met": run_ratio <= bench.RUN_GOAL,
               "bar_floor": 0.19, "ratio_to_bar_floor": 0.2 * run_ratio / 0.19}
        return {
            "size": {"bytes": 64000, "dlls": ["KERNEL32.dll"], "delay_loaded": ["WINSPOOL.DRV"],
                     "foreign_dlls": [], "met": True},
            "start": {"ours": 0.11, "floor": 0.1, "ratio": 1.1, "met": True},
            "run": {100: dict(run), 5000: dict(run, ours=5.0 * run_ratio, floor=5.0, bar_floor=5.5)},
            "logic": {"10000": 0.04, "100000": 0.4, "ratio": 10.0, "met": True},
        }

    def test_every_goal_has_its_row_and_verdict(self):
        text = bench.table(self.results(run_ratio=1.5))
        lines = text.splitlines()
        self.assertTrue(all(line.startswith("|") and line.endswith("|") for line in lines))
        self.assertEqual(len({len(line) for line in lines}), 1)  # columns line up
        row = next(line for line in lines if "5000 files" in line and "Yes to" in line)
        self.assertIn("NO", row)
        self.assertIn("1.50", row)
        self.assertIn("64000 B", text)
        self.assertIn("WINSPOOL.DRV", text)

    def test_growth_per_file_is_the_slope_between_the_smallest_and_largest_list(self):
        for ratio, verdict in ((1.1, "yes"), (1.5, "NO")):
            results = self.results(run_ratio=ratio)
            results["per_file"] = bench.per_file(results["run"])
            row = next(line for line in bench.table(results).splitlines() if "per listed file, 100 to 5000" in line)
            # ours: (5.0 - 0.2) * ratio s over 4900 files, the floor's at 1.0
            self.assertIn("%.3f ms" % ((5.0 - 0.2) * ratio * 1000 / 4900), row)
            self.assertIn("%.3f ms" % ((5.0 - 0.2) * 1000 / 4900), row)
            self.assertIn(verdict, row.split("|")[-2])


class Machine(unittest.TestCase):
    def test_the_machine_line_names_cores_cpu_and_wine(self):
        done = subprocess.CompletedProcess([], 0, stdout=b"wine-8.0 (Debian 8.0~repack-4)\n")
        with mock.patch("subprocess.run", return_value=done):
            line = bench.machine_line()
        self.assertIn("%d cores" % os.cpu_count(), line)
        self.assertIn("wine-8.0", line)


if __name__ == "__main__":
    unittest.main(verbosity=1)
