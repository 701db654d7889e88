#!/usr/bin/env python3
"""The driver's "-d" and "-D" lines, whose timings vary from run to run, are
checked line by line against patterns; also the refusal of a non-UTF-8
argument and of source nested too deeply.

Usage: test_driver.py DREVEL
"""
import os
import re
import subprocess
import sys
import tempfile

from process_support import check, failures

TIMEOUT = 60
DREVEL_PREFIX = "\x1b[33m[\x1b[93mDREVEL\x1b[33m]\x1b[0m "
ERROR_PREFIX = "\x1b[31m[\x1b[91mERROR\x1b[31m]\x1b[0m "
CALL_PREFIX = "\x1b[33m[\x1b[93mDEBUG CALL\x1b[33m]\x1b[0m "
DEBUG_PREFIX = "\x1b[33m[\x1b[93mDEBUG\x1b[33m]\x1b[0m "
SEPARATOR = "\u2500" * 33
MS = r"\d+\.\d{3}ms"


def run(drevel, cwd, args, stdin=b""):
    proc = subprocess.run([drevel] + args, cwd=cwd, input=stdin, capture_output=True, timeout=TIMEOUT)
    return proc.returncode, proc.stdout.decode("utf-8", "replace"), proc.stderr.decode("utf-8", "replace")


def driver(text):
    return re.escape(DREVEL_PREFIX) + text


def header(size):
    return [
        driver(re.escape(f"File read successfully ({size} bytes)")),
        driver(SEPARATOR),
        driver(re.escape("Starting Drevel interpreter...")),
        driver("Tokenization completed in " + MS),
        driver("Parsing completed in " + MS),
        driver(re.escape("Starting execution...")),
        driver(SEPARATOR),
    ]


SUMMARY = [
    driver(SEPARATOR),
    driver("Tokenization : " + MS),
    driver("Parsing      : " + MS),
    driver("Execution    : " + MS),
    driver(SEPARATOR),
]


def match_lines(name, patterns, stderr):
    lines = stderr.split("\n")
    check(lines[-1] == "", f"{name}: standard error ends with a newline")
    lines = lines[:-1]
    check(len(lines) == len(patterns), f"{name}: {len(lines)} lines on standard error, expected {len(patterns)}:\n"
          + "\n".join(repr(l) for l in lines))
    for i, (line, pattern) in enumerate(zip(lines, patterns)):
        check(re.fullmatch(pattern, line) is not None, f"{name}: line {i + 1} {line!r} does not match {pattern!r}")


def write(folder, name, data):
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


def main():
    drevel = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix="drevel-driver-") as work:
        hello = 'print("Hi")\n'.encode()
        write(work, "hello.dv", hello)
        status, out, err = run(drevel, work, ["-d", "hello.dv"])
        check(status == 0, "hello -d: status 0")
        check(out == "Hi\n", "hello -d: the script's output")
        match_lines("hello -d", header(len(hello)) + SUMMARY, err)

        # Flags after the file count too; sizes are bytes, not characters.
        text = 'print("héllo")\nprint(1 / 0)\n'.encode()
        write(work, "late.dv", text)
        status, out, err = run(drevel, work, ["late.dv", "-d"])
        check(status == 0, "late flag: status 0 despite the runtime error")
        check(out == "héllo\n", "late flag: output")
        match_lines("late flag", header(len(text)) + [
            re.escape(ERROR_PREFIX + "Division by zero"),
            re.escape(ERROR_PREFIX + "Error in expression: Division by zero"),
        ] + SUMMARY, err)

        write(work, "empty.dv", b"")
        status, out, err = run(drevel, work, ["-d", "empty.dv"])
        check(status == 0 and out == "", "empty -d: nothing runs")
        match_lines("empty -d", header(0) + SUMMARY, err)

        # "-D" implies "-d" and adds the call traces between the separators.
        status, out, err = run(drevel, work, ["-D", "hello.dv"])
        check(status == 0 and out == "Hi\n", "hello -D: output")
        match_lines("hello -D", header(len(hello)) + [
            re.escape(CALL_PREFIX + "Calling function: print"),
            re.escape(CALL_PREFIX + "print is a builtin"),
        ] + SUMMARY, err)

        # Without a flag the driver writes nothing of its own.
        status, out, err = run(drevel, work, ["hello.dv"])
        check((status, out, err) == (0, "Hi\n", ""), "hello without flags: only the output")

        # An argument that is not UTF-8 stops everything before any command.
        proc = subprocess.run([drevel, b"\xff\xfe.dv", "hello.dv"], cwd=work, capture_output=True, timeout=TIMEOUT)
        check(proc.returncode != 0, "non-UTF-8 argument: non-zero status")
        check(proc.stdout == b"", "non-UTF-8 argument: nothing runs")
        check(proc.stderr != b"", "non-UTF-8 argument: a message")

        # Source nested too deeply is refused with one message and status 1;
        # nothing of it runs, also not the statements before the deep part.
        deep = b'print("before")\nprint(' + b"(" * 100000 + b"1" + b")" * 100000 + b")\n"
        write(work, "deep.dv", deep)
        status, out, err = run(drevel, work, ["deep.dv"])
        check(status == 1, f"deep: status 1, got {status}")
        check(out == "", "deep: nothing runs")
        check(err.count("\n") == 1 and "nested too deeply" in err, f"deep: one message, got {err!r}")
        status, out, err = run(drevel, work, ["-d", "deep.dv"])
        check(status == 1 and out == "", "deep -d: status 1")
        lines = err.split("\n")[:-1]
        check(len(lines) >= 4 and re.fullmatch(header(len(deep))[3], lines[3]) is not None,
              "deep -d: tokenization is logged")
        check(not any("Starting execution" in l for l in lines), "deep -d: no execution")

        # "-D" traces a module's exports in the order of its map, so the
        # three lines are compared as a set.
        write(work, "shapes.dv", b"def area(w, h) {\n    return w * h\n}\ndef perimeter(w, h) {\n"
              b"    return 2 * (w + h)\n}\nlet unit = \"cm\"\n")
        write(work, "use_shapes.dv", b"use shapes\nprint(shapes.area(2, 3))\n")
        status, out, err = run(drevel, work, ["-D", "use_shapes.dv"])
        check(status == 0 and out == "6\n", "module traces: output")
        lines = [l for l in err.split("\n")[:-1] if not l.startswith(DREVEL_PREFIX)]
        debug = [l[len(DEBUG_PREFIX):] for l in lines if l.startswith(DEBUG_PREFIX)]
        check(len(debug) == 5, f"module traces: five DEBUG lines, got {debug!r}")
        if len(debug) == 5:
            check(debug[0] == "Parsed 3 statements", "module traces: the Parsed line comes first")
            check(sorted(debug[1:4]) == ['Exporting: area = "Function"', 'Exporting: perimeter = "Function"',
                                         'Exporting: unit = "Other"'], f"module traces: exports {debug[1:4]!r}")
            check(debug[4] == "Module shapes has 3 exports", "module traces: the count comes last")
        # The module is imported in the first pass only; the second pass
        # finds it in the cache and writes nothing.
        check(lines.count(DEBUG_PREFIX + "Parsed 3 statements") == 1, "module traces: loaded once")

    if failures:
        print(f"{len(failures)} driver checks failed")
        sys.exit(1)
    print("driver checks passed")


if __name__ == "__main__":
    main()
