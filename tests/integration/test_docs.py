#!/usr/bin/env python3
"""Runs every example of the guides and compares what it prints.

Usage: test_docs.py DREVEL

The guides (README.md, docs/language.md, docs/modules.md) mark their examples
with fenced blocks:

    ```drevel            a program; it runs in a fresh temporary folder
    ```stdin             (optional) what the program reads on standard input
    ```output            exactly what the program writes on standard output
    ```errors            (optional) its standard error, colours removed;
                         without this block standard error must be empty
    ```check             (optional) exactly what `drevel check` reports for
                         a program that shows one of the traps it finds
    ```drevel file=NAME  a file written into the folder of the next program
    ```drevel norun      shown but not run (opens a window, serves forever)

An example without an ```errors or ```check block must also come out clean
from `drevel check`.

A ```drevel block that is neither a file, norun nor followed by an ```output
block is an error, so that an example cannot silently go unchecked.
"""
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GUIDES = ["README.md", "docs/language.md", "docs/modules.md"]
ANSI = re.compile(r"\x1b\[[0-9;]*m")
FENCE = re.compile(r"^```(\S*)\s*(.*)$")
RUN_SECONDS = 10


def blocks(text):
    """Yields (line number, language, info, body) for each fenced block."""
    lines = text.split("\n")
    i = 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m or not m.group(1):
            i += 1
            continue
        start, lang, info = i + 1, m.group(1), m.group(2).strip()
        body = []
        i += 1
        while i < len(lines) and lines[i].rstrip() != "```":
            body.append(lines[i])
            i += 1
        i += 1
        yield start, lang, info, "\n".join(body) + "\n" if body else ""


def examples(path):
    """Groups the blocks of one guide into runnable examples."""
    with open(path, encoding="utf-8") as f:
        found = list(blocks(f.read()))
    pending_files = {}
    result = []
    problems = []
    i = 0
    while i < len(found):
        line, lang, info, body = found[i]
        i += 1
        if lang != "drevel":
            if lang in ("output", "errors", "stdin", "check"):
                problems.append(f"{path}:{line}: ```{lang} block without a program before it")
            continue
        if info == "norun":
            continue
        if info.startswith("file="):
            pending_files[info[len("file="):]] = body
            continue
        example = {"where": f"{path}:{line}", "source": body, "files": pending_files,
                   "stdin": "", "output": None, "errors": "", "expected_check": None}
        pending_files = {}
        while i < len(found) and found[i][1] in ("stdin", "output", "errors", "check"):
            example["expected_check" if found[i][1] == "check" else found[i][1]] = found[i][3]
            i += 1
        if example["output"] is None:
            problems.append(f"{example['where']}: program without an ```output block")
            continue
        result.append(example)
    if pending_files:
        problems.append(f"{path}: file blocks {sorted(pending_files)} are not followed by a program")
    return result, problems


def run(drevel, example):
    with tempfile.TemporaryDirectory(prefix="drevel-docs-") as folder:
        for name, text in example["files"].items():
            target = os.path.join(folder, name)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "w", encoding="utf-8") as f:
                f.write(text)
        with open(os.path.join(folder, "example.dv"), "w", encoding="utf-8") as f:
            f.write(example["source"])
        done = subprocess.run([drevel, "example.dv"], cwd=folder, input=example["stdin"].encode(),
                              capture_output=True, timeout=RUN_SECONDS)
        checked = subprocess.run([drevel, "check", "example.dv"], cwd=folder, capture_output=True,
                                 timeout=RUN_SECONDS)
    example["check"] = checked.stdout.decode(errors="replace") + checked.stderr.decode(errors="replace")
    return done.returncode, done.stdout.decode(errors="replace"), ANSI.sub("", done.stderr.decode(errors="replace"))


def main():
    if len(sys.argv) != 2:
        print("usage: test_docs.py DREVEL", file=sys.stderr)
        return 2
    drevel = os.path.abspath(sys.argv[1])
    failures = []
    count = 0
    for guide in GUIDES:
        found, problems = examples(os.path.join(ROOT, guide))
        failures.extend(problems)
        for example in found:
            count += 1
            try:
                status, out, err = run(drevel, example)
            except subprocess.TimeoutExpired:
                failures.append(f"{example['where']}: did not finish within {RUN_SECONDS}s")
                continue
            if status != 0:
                failures.append(f"{example['where']}: exit status {status}")
            if out != example["output"]:
                failures.append(f"{example['where']}: standard output differs\n--- expected\n"
                                f"{example['output']}--- actual\n{out}")
            # An example that shows no error must also pass `drevel check`,
            # unless it shows what the check says about it.
            if example["expected_check"] is not None:
                if example["check"] != example["expected_check"]:
                    failures.append(f"{example['where']}: drevel check reports differ\n--- expected\n"
                                    f"{example['expected_check']}--- actual\n{example['check']}")
            elif not example["errors"] and example["check"]:
                failures.append(f"{example['where']}: drevel check reports\n{example['check']}")
            if err != example["errors"]:
                failures.append(f"{example['where']}: standard error differs\n--- expected\n"
                                f"{example['errors']}--- actual\n{err}")
    for failure in failures:
        print("FAIL " + failure)
    print(f"{count} examples checked, {len(failures)} failures")
    if count < 50:
        print("FAIL too few examples found: the guides lost their checked examples")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
