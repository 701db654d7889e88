#!/usr/bin/env python3
"""A runaway recursion costs bounded memory whatever the shape of its body:
the refusal of a recursive call wrapped in hundreds of operators comes while
the process holds well under a gigabyte, and the stack it filled is given
back once the refusal has unwound, before the script goes on. A small body
still reaches the full call depth.

Usage: test_deep_recursion_memory.py DREVEL
"""
import os
import resource
import subprocess
import sys
import tempfile

from process_support import is_sanitized

# Each level of the recursive call sits inside 300 additions.
WIDE = ("use files\n"
        "def wide(n) {\n    return " + "(" * 300 + "wide(n + 1)" + " + 1)" * 300 + "\n}\n"
        "print(wide(0))\n"
        "for line in split(files.read(\"/proc/self/status\"), \"\\n\") {\n"
        "    if contains(line, \"VmRSS\") { print(line) }\n"
        "}\n")

SMALL = ("def down(n) {\n    if n == 0 { return 0 }\n    return down(n - 1) + 1\n}\n"
         "print(down(199990))\n")

PEAK_LIMIT_KB = 1 << 20  # 1 GiB
AFTER_LIMIT_KB = 64 << 10  # what stays resident once the refusal unwound


def run(drevel, path):
    """Output of the script and the child's peak resident size in kB."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    result = subprocess.run([drevel, path], capture_output=True, text=True, timeout=120)
    peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    # ru_maxrss of the children is the largest of any of them so far.
    return result, (peak if peak > before else None)


def main():
    drevel = os.path.abspath(sys.argv[1])
    if is_sanitized(drevel):
        print("skipped: sanitizer build")
        return 0
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        # The small body first: the wide one's peak must be its own.
        small = os.path.join(tmp, "small.dv")
        with open(small, "w") as f:
            f.write(SMALL)
        result, _ = run(drevel, small)
        if result.stdout != "199990\n":
            failures.append("200,000 calls of a small body: %r %r" % (result.stdout, result.stderr))

        wide = os.path.join(tmp, "wide.dv")
        with open(wide, "w") as f:
            f.write(WIDE)
        result, peak = run(drevel, wide)
        if "Maximum call depth exceeded" not in result.stderr:
            failures.append("wide body refused: %r" % result.stderr[-300:])
        if peak is not None and peak >= PEAK_LIMIT_KB:
            failures.append("peak resident size %d kB" % peak)
        rss = [line for line in result.stdout.splitlines() if line.startswith("VmRSS")]
        after = int(rss[0].split()[1]) if rss else None
        if after is None or after >= AFTER_LIMIT_KB:
            failures.append("resident after the refusal: %r" % rss)
    for failure in failures:
        print("FAIL: " + failure)
    if failures:
        return 1
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
