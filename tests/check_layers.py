#!/usr/bin/env python3
"""The include lines of src/ and the libraries' link lists against the layers
(docs/architecture.md).

Usage: check_layers.py [SRC] [--links FILE]

Every folder below src/ belongs to one unit that FOLDERS names; a folder the
table does not name is reported, so a new sub-folder never joins its parent's
layer unnoticed. A file may include any header of its own unit and the
public headers (PUBLIC) of the units ALLOWED lists for it, nothing else. The
order follows the pipeline: platform, front end (lexer, parser), interpreter
core, native modules, tools (building, check), driver (main, repl). An
include that runs the other way, sideways between units of one layer, or into
another unit's private header is reported with its file and line.

FILE, written by CMake at configure time (layer_links.txt), has one line per
library: "name|its folders|the libraries it links", lists separated by ";".
A library may link another only when every unit of the other is allowed to
some unit of its own. The exit status is 1 on any finding.
"""

import os
import re
import sys

FRONT = ["platform", "lexer", "parser"]
CORE = FRONT + ["interpreter"]
# Every folder directly below modules/ is one native module and its own unit;
# the list of modules (the files of modules/ itself) may include them all.
ANY_MODULE = "modules/*"

# folder -> the unit its files belong to.
FOLDERS = {
    "platform": "platform",
    "lexer": "lexer",
    "parser": "parser",
    "interpreter": "interpreter",
    "interpreter/builtins": "interpreter",
    ANY_MODULE: ANY_MODULE,
    "modules": "modules",
    "building": "building",
    "check": "check",
    "repl": "repl",
    "main": "main",
}

# unit -> the units its files may include besides their own.
ALLOWED = {
    "platform": [],
    "lexer": ["platform"],
    "parser": ["platform", "lexer"],
    "interpreter": FRONT,
    ANY_MODULE: CORE,
    "modules": CORE + [ANY_MODULE],
    "building": CORE,
    "check": CORE,
    "repl": CORE,
    "main": CORE + [ANY_MODULE, "modules", "building", "check", "repl"],
}

# unit -> its headers that other units may include; the rest are private.
# A native module's public header is named after its folder.
PUBLIC = {
    "platform": ["dynamic_library.h", "source_file.h", "utf8.h"],
    "lexer": ["debug_text.h", "lexer.h", "token.h", "unicode.h"],
    "parser": ["ast.h", "bindings.h", "operators.h", "parser.h", "tree_walk.h"],
    "interpreter": ["builtins/argument_text.h", "builtins/registry.h", "input_reader.h",
                    "interpreter.h", "interrupt.h", "json.h", "log.h", "module_paths.h",
                    "native_context.h", "operator_rules.h", "output.h", "value.h"],
    ANY_MODULE: ["{name}.h", "{name}_module.h"],
    "modules": ["native_modules.h"],
    "building": ["module_manager.h", "standalone_build.h"],
    "check": ["check_command.h", "front_end_findings.h"],
    "repl": ["repl.h"],
    "main": [],
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def unit_of(path):
    """The unit of a file's path relative to src/, or None when its folder is
    in no row of FOLDERS."""
    folder = os.path.dirname(path)
    parts = folder.split("/")
    if len(parts) == 2 and parts[0] == "modules":
        return folder
    return FOLDERS.get(folder)


def key(unit):
    return ANY_MODULE if unit.startswith("modules/") else unit


def allowed(unit, other):
    may = ALLOWED[key(unit)]
    return other in may or (ANY_MODULE in may and other.startswith("modules/"))


def is_public(target, other):
    name = target[len(other) + 1:]
    module = other.split("/", 1)[-1]
    return name in [p.format(name=module) for p in PUBLIC[key(other)]]


def include_violations(src):
    found = []
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.relpath(os.path.join(root, name), src)
            unit = unit_of(path)
            if unit is None:
                found.append(f"{path}: folder {os.path.dirname(path) or '.'} is in no "
                             "layer (add it to FOLDERS)")
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
                    if other == unit or other is None:
                        continue  # the target's own folder is reported
                    if not allowed(unit, other):
                        found.append(f"{path}:{number}: {unit} may not include {target} ({other})")
                    elif not is_public(target, other):
                        found.append(f"{path}:{number}: {target} is private to {other}")
    return found


def read_links(path):
    """library -> (its units, the libraries it links)."""
    libraries = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if not line.strip():
                continue
            name, folders, links = line.rstrip("\n").split("|")
            units = {unit_of(folder + "/x.cpp") or folder for folder in folders.split(";") if folder}
            libraries[name] = (units, [link for link in links.split(";") if link])
    return libraries


def link_violations(path):
    found = []
    libraries = read_links(path)
    for name, (units, links) in sorted(libraries.items()):
        for link in links:
            if link not in libraries:
                if link.startswith("drevel_"):
                    found.append(f"{name} links {link}, a library of no layer")
                continue
            for other in sorted(libraries[link][0] - units):
                if not any(allowed(unit, other) for unit in units if unit in ALLOWED
                           or unit.startswith("modules/")):
                    found.append(f"{name} may not link {link} ({other})")
    return found


def violations(src, links=None):
    return include_violations(src) + (link_violations(links) if links else [])


def main(argv):
    args = argv[1:]
    links = None
    if "--links" in args:
        at = args.index("--links")
        links = args[at + 1]
        del args[at:at + 2]
    src = args[0] if args else os.path.join(os.path.dirname(__file__), "..", "src")
    found = violations(src, links)
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} finding(s) against the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
