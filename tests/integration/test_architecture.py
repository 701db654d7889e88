#!/usr/bin/env python3
"""docs/architecture.md names real places: every file or folder it writes in
backquotes exists (below src/ or the repository), and every name that an item
of "How to add each kind of thing" gives occurs in one of that item's files.
A renamed file or symbol fails here until the guide follows.

Usage: test_architecture.py DREVEL   (the binary is not used)
"""
import os
import re
import sys

from process_support import check, failures

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GUIDE = os.path.join(ROOT, "docs", "architecture.md")
QUOTED = re.compile(r"`([^`]+)`")
PATH = re.compile(r"^[\w./*-]+\.(h|cpp|md|py|txt)$|^[\w./-]*/[\w./-]*$")
NAME = re.compile(r"^[A-Za-z_]\w*$")
GENERATED = ("build/",)


def resolve(path, beside=None):
    """The existing files a path stands for: below src/, the repository, or
    (a bare file name) the folder of the item's previous path."""
    bases = [os.path.join(ROOT, "src"), ROOT] + ([beside] if beside else [])
    for base in bases:
        full = os.path.join(base, path)
        if "*" in path:
            folder, pattern = os.path.split(full)
            if os.path.isdir(folder):
                regex = re.compile("^" + re.escape(pattern).replace(r"\*", ".*") + "$")
                found = [os.path.join(folder, n) for n in os.listdir(folder) if regex.match(n)]
                if found:
                    return found
        elif os.path.exists(full):
            return [full]
    return []


def anywhere(name):
    """A bare file name stands for any file of that name below src/."""
    return [os.path.join(root, name) for root, _, files in os.walk(os.path.join(ROOT, "src"))
            if name in files]


def items(text):
    """The bullet items of the how-to section, continuation lines joined."""
    section = text[text.index("\n## How to add each kind of thing\n"):]
    section = section.split("\n## ", 2)[1]
    found = []
    for line in section.split("\n"):
        if line.startswith("- "):
            found.append(line)
        elif line.startswith("  ") and found:
            found[-1] += " " + line.strip()
    return found


def file_text(path):
    if os.path.isdir(path):
        return ""
    with open(path, encoding="utf-8") as f:
        return f.read()


def main():
    with open(GUIDE, encoding="utf-8") as f:
        text = re.sub(r"```.*?```", "", f.read(), flags=re.S)  # drawings, not names
    paths = [q for q in sorted(set(QUOTED.findall(text))) if PATH.match(q)]
    check(len(paths) > 20, "the guide's file names are found, got %d" % len(paths))
    for quoted in paths:
        if "NAME" not in quoted and not quoted.startswith(GENERATED):
            check(resolve(quoted) or ("/" not in quoted and anywhere(quoted)),
                  "docs/architecture.md names %s, which does not exist" % quoted)
    how_to = items(text)
    check(len(how_to) >= 6, "the how-to section has its six items, found %d" % len(how_to))
    for item in how_to:
        files, names, beside = [], [], None
        for quoted in QUOTED.findall(item):
            if PATH.match(quoted):
                found = resolve(quoted, beside)
                check(found, "%r: %s does not exist" % (item[:40], quoted))
                files += found
                if found:
                    beside = os.path.dirname(found[0])
            elif NAME.match(quoted):
                names.append(quoted)
        check(files, "%r names no file" % item[:40])
        texts = [file_text(path) for path in files]
        for name in names:
            check(any(re.search(r"\b%s\b" % re.escape(name), t) for t in texts),
                  "%r: %s is in none of its files" % (item[:40], name))
    if failures:
        sys.exit("%d failure(s)" % len(failures))
    print("ok: %d items" % len(how_to))


if __name__ == "__main__":
    main()
