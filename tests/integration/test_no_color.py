#!/usr/bin/env python3
"""NO_COLOR: each command runs three times, with the variable unset, set but
empty and set to 1. Empty must give the same bytes as unset; 1 must give the
same text with every escape sequence taken out, and none left.

Usage: test_no_color.py DREVEL
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

DREVEL = os.path.abspath(sys.argv[1])
TIMEOUT = 60
ESCAPE = re.compile(r"\x1b(\[[\x20-\x3f]*)?[\x40-\x7e]")
failures = []

# (what, arguments, standard input): error, warning, debug and driver lines,
# the REPL, progress lines of the tools and their red failures.
COMMANDS = [
    ("script", ["-D", "s.dv"], b""),
    ("repl", [], b"print(1 / 0)\nlet x = \nnope()\nexit\n"),
    ("modules", ["modules"], b""),
    ("install", ["install", "nobody/nothing"], b""),
    ("build", ["build", "s.dv", "app"], b""),
    ("uninstall", ["uninstall", "a/b"], b""),
]


def check(condition, what, detail=""):
    if not condition:
        failures.append(what)
        print("FAIL: " + what + (": " + detail if detail else ""))


def steady(text):
    """Timings differ from run to run."""
    return re.sub(r"\d+\.\d+(ms|s)", "T", text)


def run(work, args, stdin, no_color):
    env = dict(os.environ, DREVEL_REGISTRY="http://127.0.0.1:9")
    env.pop("NO_COLOR", None)
    if no_color is not None:
        env["NO_COLOR"] = no_color
    proc = subprocess.run([DREVEL] + args, cwd=work, env=env, input=stdin, capture_output=True,
                          timeout=TIMEOUT)
    shutil.rmtree(os.path.join(work, ".drevel", "build"), ignore_errors=True)
    return (proc.returncode, steady(proc.stdout.decode(errors="replace")),
            steady(proc.stderr.decode(errors="replace")))


def main():
    with tempfile.TemporaryDirectory(prefix="drevel-no-color-") as work:
        with open(os.path.join(work, "s.dv"), "w") as f:
            f.write('def f(x) { return x / 0 }\nprint(f(1))\nlet d = {"a": 1, 2}\n'
                    'print(files.read("missing"))\n')
        os.makedirs(os.path.join(work, ".drevel", "modules", "alice", "math"))
        for what, args, stdin in COMMANDS:
            plain = run(work, args, stdin, None)
            check("\x1b" in plain[1] + plain[2], what + ": coloured without NO_COLOR", repr(plain))
            check(run(work, args, stdin, "") == plain, what + ": empty NO_COLOR changes nothing")
            quiet = run(work, args, stdin, "1")
            stripped = (plain[0], ESCAPE.sub("", plain[1]), ESCAPE.sub("", plain[2]))
            check(quiet == stripped, what + ": NO_COLOR=1 drops the escapes",
                  "got %r\nwant %r" % (quiet, stripped))
            check("\x1b" not in quiet[1] + quiet[2], what + ": no escape left", repr(quiet))
    if failures:
        sys.exit("%d failure(s)" % len(failures))
    print("ok")


if __name__ == "__main__":
    main()
