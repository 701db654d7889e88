#!/usr/bin/env python3
"""The include lines of src/ against the layers (docs/architecture.md).

Usage: check_layers.py [SRC]

Every folder below src/ is one unit; a file may include headers of its own
unit and of the units ALLOWED lists for it, nothing else. The list follows
the pipeline: front end (lexer, parser), interpreter core, native modules,
tools (building, check), driver (main, repl). An include that runs the other
way, or sideways between units of one layer, is reported with its file and
line, and the exit status is 1.
"""

import os
import re
import sys

FRONT = ["lexer", "parser"]
CORE = FRONT + ["interpreter"]
# Every folder below modules/ is one native module, allowed CORE; the list of
# modules (modules/native_modules.*) may include them all.
ANY_MODULE = "modules/*"

# unit -> the units its files may include besides their own.
ALLOWED = {
    "lexer": [],
    "parser": ["lexer"],
    "interpreter": FRONT,
    ANY_MODULE: CORE,
    "modules": CORE + [ANY_MODULE],
    "building": CORE,
    "check": CORE,
    "repl": CORE,
    "main": CORE + [ANY_MODULE, "modules", "building", "check", "repl"],
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def unit_of(path):
    """The unit of a path relative to src/: its module folder below modules/,
    or the longest folder ALLOWED names."""
    parts = path.split("/")
    if len(parts) > 2 and parts[0] == "modules":
        return "modules/" + parts[1]
    folder = os.path.dirname(path)
    while folder:
        if folder in ALLOWED:
            return folder
        folder = os.path.dirname(folder)
    return None


def rule(unit):
    return ALLOWED[ANY_MODULE] if unit.startswith("modules/") else ALLOWED[unit]


def allowed(unit, other):
    may = rule(unit)
    return other in may or (ANY_MODULE in may and (other or "").startswith("modules/"))


def violations(src):
    found = []
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.relpath(os.path.join(root, name), src)
            unit = unit_of(path)
            if unit is None:
                found.append(f"{path}: folder belongs to no layer")
                continue
            with open(os.path.join(src, path), encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    target = match.group(1)
                    if not os.path.exists(os.path.join(src, target)):
                        if os.path.exists(os.path.join(root, target)):
                            continue  # beside the file, same unit
                        found.append(f"{path}:{number}: includes {target}, not a file of src/")
                        continue
                    other = unit_of(target)
                    if other == unit or allowed(unit, other):
                        continue
                    found.append(f"{path}:{number}: {unit} may not include {target} ({other})")
    return found


def main(argv):
    src = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    found = violations(src)
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) against the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
