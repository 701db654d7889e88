#!/usr/bin/env python3
"""Checks of the benchmark runner itself: `python3 bench/test_run.py`.

Uses stand-in drevel binaries (small shell scripts) so that it needs no build;
runs in a few seconds and is not part of `make test`.
"""
import importlib.machinery
import importlib.util
import os
import stat
import subprocess
import sys
import tempfile
import unittest

BENCH = os.path.dirname(os.path.abspath(__file__))
RUN = os.path.join(BENCH, "run")


def load_runner():
    loader = importlib.machinery.SourceFileLoader("bench_run", RUN)
    spec = importlib.util.spec_from_loader("bench_run", loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    return module


runner = load_runner()


class StandIn:
    """A fake drevel: a shell script with the given body, in a temporary dir."""

    def __init__(self, body):
        self.dir = tempfile.TemporaryDirectory()
        unittest.addModuleCleanup(self.dir.cleanup)
        self.path = os.path.join(self.dir.name, "drevel")
        with open(self.path, "w") as f:
            f.write("#!/bin/sh\n" + body + "\n")
        os.chmod(self.path, os.stat(self.path).st_mode | stat.S_IXUSR)

    def run(self, *args):
        return subprocess.run([sys.executable, RUN, "--drevel", self.path, *args],
                              capture_output=True, text=True, timeout=120)


# Runs the Python twin of the .dv script it is given: always agrees.
AGREEING = 'exec python3 "${1%.dv}.py"'


class OutputAgreement(unittest.TestCase):
    def test_agreeing_outputs_pass_the_smoke_run(self):
        result = StandIn(AGREEING).run("--smoke", "--only", "loop", "--only", "calls")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("outputs agree on 2 workload(s)", result.stdout)

    def test_a_wrong_checksum_fails_loudly(self):
        result = StandIn("echo 12345").run("--smoke", "--only", "loop")
        self.assertEqual(result.returncode, 1)
        self.assertIn("OUTPUTS DIFFER on workload loop", result.stderr)
        self.assertIn("'12345\\n'", result.stderr)

    def test_error_lines_or_a_failed_exit_fail(self):
        noisy = StandIn(AGREEING.replace("exec ", "echo oops >&2; "))
        result = noisy.run("--smoke", "--only", "dicts")
        self.assertEqual(result.returncode, 1)
        self.assertIn("wrote to standard error", result.stderr)
        result = StandIn("exit 3").run("--smoke", "--only", "dicts")
        self.assertEqual(result.returncode, 1)
        self.assertIn("exit status 3", result.stderr)

    def test_full_run_prints_ratios_and_linear_growth(self):
        result = StandIn(AGREEING).run("--rounds", "1", "--only", "strings", "--only", "startup",
                                     "--startup-runs", "2")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("only the ratios of one run count", result.stdout)
        rows = [line.split() for line in result.stdout.splitlines()
                if line.strip().startswith("strings ")]
        self.assertEqual(len(rows), 2, result.stdout)  # the table and the growth table
        table, growth = rows
        self.assertGreaterEqual(len(table), 9, table)  # name, 3 times, 2 ratios, 3 memories, marks
        self.assertEqual(len(growth), 4, growth)  # name and one ratio per language
        for field in table[1:9] + growth[1:]:
            self.assertGreater(float(field), 0)
        self.assertIn("start-up: median", result.stdout)


class Sizes(unittest.TestCase):
    def test_every_scalable_workload_has_a_size_line_in_each_language(self):
        with tempfile.TemporaryDirectory() as work:
            for name, rule in runner.WORKLOADS.items():
                if rule is None:
                    continue
                scripts = runner.prepare_scripts(name, 0.5, work)
                for language, path in scripts.items():
                    with open(path) as f:
                        size = int(runner.SIZE_LINE.search(f.read()).group(2))
                    with open(os.path.join(runner.WORKLOADS_DIR,
                                           name + runner.EXTENSIONS[language])) as f:
                        full = int(runner.SIZE_LINE.search(f.read()).group(2))
                    expected = full - 1 if rule in ("fib", "doubling") else round(full / 2)
                    self.assertEqual(size, expected, path)

    def test_fib_size_follows_the_golden_ratio(self):
        self.assertEqual(runner.scaled_size("fib", 33, 0.1), 28)
        self.assertEqual(runner.scaled_size("fib", 33, 1), 33)
        self.assertEqual(runner.scaled_size("linear", 10, 0.01), 1)

    def test_doubling_size_moves_by_the_binary_logarithm(self):
        self.assertEqual(runner.scaled_size("doubling", 17, 0.1), 14)
        self.assertEqual(runner.scaled_size("doubling", 17, 0.5), 16)


class PeakMemory(unittest.TestCase):
    def test_peak_memory_is_the_programs_not_the_runners(self):
        small = runner.run_once(["/bin/true"])
        # The runner (a python3 process) is well above 5 MiB; /bin/true is not.
        self.assertLess(small.maxrss_kib, 5 * 1024)
        big = runner.run_once([sys.executable, "-c", "b = bytearray(80 << 20); b[::4096] = b'x' * len(b[::4096])"])
        self.assertGreater(big.maxrss_kib, 80 * 1024)


if __name__ == "__main__":
    unittest.main()
