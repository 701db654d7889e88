#!/usr/bin/env python3
"""Runs every script case of one folder against the built binary.

A case is NAME.dv with, beside it:
  NAME.out     expected standard output (absent: empty)
  NAME.err     expected standard error (absent: empty)
  NAME.status  expected exit status (absent: 0)
  NAME.args    command-line arguments, one per line; {script} stands for the
               script's file name (absent: just the script)
  NAME.in      standard input (absent: empty)
The driver's timings in standard error are compared as "#.###ms".
Each case runs in a fresh temporary copy of its folder, so scripts may write
files and use modules that sit beside them.

Usage: run_scripts.py DREVEL FOLDER [NAME...]
"""
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

TIMEOUT = 60

# The driver's timing lines ("-d", "-D") vary from run to run: their numbers
# are compared as "#.###ms".
TIMING = re.compile(rb"(\x1b\[33m\[\x1b\[93mDREVEL\x1b\[33m\]\x1b\[0m [^\n]*?)\d+\.\d{3}ms")


def read(path, default=b""):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return default


def show_diff(label, expected, actual):
    exp = expected.decode("utf-8", "replace").splitlines(keepends=True)
    act = actual.decode("utf-8", "replace").splitlines(keepends=True)
    diff = difflib.unified_diff(exp, act, f"expected {label}", f"actual {label}")
    sys.stdout.write("".join(repr(line)[1:-1] + "\n" for line in diff))


def run_case(drevel, folder, name):
    base = os.path.join(folder, name)
    expected_out = read(base + ".out")
    expected_err = read(base + ".err")
    expected_status = int(read(base + ".status", b"0").strip() or b"0")
    args_text = read(base + ".args", b"{script}").decode()
    args = [a.replace("{script}", name + ".dv") for a in args_text.splitlines() if a != ""]
    stdin = read(base + ".in")
    with tempfile.TemporaryDirectory(prefix="drevel-case-") as tmp:
        work = os.path.join(tmp, "work")
        shutil.copytree(folder, work, symlinks=True)
        try:
            proc = subprocess.run([drevel] + args, input=stdin, capture_output=True,
                                  cwd=work, timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            print(f"FAIL {name}: timed out after {TIMEOUT}s")
            return False
    ok = True
    if proc.stdout != expected_out:
        print(f"FAIL {name}: standard output differs")
        show_diff("stdout", expected_out, proc.stdout)
        ok = False
    actual_err = TIMING.sub(rb"\1#.###ms", proc.stderr)
    if actual_err != expected_err:
        print(f"FAIL {name}: standard error differs")
        show_diff("stderr", expected_err, actual_err)
        ok = False
    if proc.returncode != expected_status:
        print(f"FAIL {name}: exit status {proc.returncode}, expected {expected_status}")
        ok = False
    return ok


def main():
    drevel = os.path.abspath(sys.argv[1])
    folder = os.path.abspath(sys.argv[2])
    names = sys.argv[3:] or sorted(f[:-3] for f in os.listdir(folder)
                                   if f.endswith(".dv") and os.path.isfile(os.path.join(folder, f)))
    failures = [n for n in names if not run_case(drevel, folder, n)]
    print(f"{len(names) - len(failures)}/{len(names)} script cases passed in {folder}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
