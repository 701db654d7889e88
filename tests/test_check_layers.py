#!/usr/bin/env python3
"""check_layers.py on small made-up trees and link lists: each kind of wrong
include or link is found with its place, and the allowed ones pass."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layers  # noqa: E402


def tree(files):
    root = tempfile.TemporaryDirectory(prefix="drevel-layers-")
    for path, text in files.items():
        full = os.path.join(root.name, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)
    return root


BASE = {
    "platform/utf8.h": "#pragma once\n",
    "lexer/token.h": '#include "platform/utf8.h"\n',
    "parser/ast.h": '#include "lexer/token.h"\n',
    "parser/ast.cpp": '#include "parser/ast.h"\n',
    "interpreter/value.h": '#include "lexer/token.h"\n',
    "interpreter/builtins/registry.h": '#include "interpreter/value.h"\n',
    "modules/files/files.h": '#include "interpreter/builtins/registry.h"\n',
    "modules/http/http.h": "#pragma once\n",
    # A module folder the table does not name is a module like the others.
    "modules/audio/audio.cpp": '#include "modules/audio/audio.h"\n#include "interpreter/value.h"\n',
    "modules/audio/audio.h": "#pragma once\n",
    "modules/audio/audio_loader.h": "#pragma once\n",
    "modules/native_modules.cpp": '#include "modules/files/files.h"\n#include "modules/http/http.h"\n',
    "building/standalone_build.cpp": '#include "interpreter/value.h"\n'
    '#include "building/path_text.h"\n',
    "building/path_text.h": "#pragma once\n",
    "main/main.cpp": '#include "building/standalone_build.h"\n#include "modules/native_modules.h"\n'
    '#include "modules/audio/audio.h"\n',
    "building/standalone_build.h": "#pragma once\n",
    "modules/native_modules.h": "#pragma once\n",
}


class CheckLayers(unittest.TestCase):
    def found(self, extra):
        with tree({**BASE, **extra}) as root:
            return check_layers.violations(root)

    def test_pipeline_order_passes(self):
        self.assertEqual(self.found({}), [])

    def test_backward_sideways_and_unknown_includes_are_reported(self):
        cases = [
            ("lexer/lexer.cpp", '#include "lexer/token.h"\n#include "interpreter/value.h"\n',
             "lexer/lexer.cpp:2: lexer may not include interpreter/value.h (interpreter)"),
            ("interpreter/calls.cpp", '#include "modules/files/files.h"\n',
             "interpreter/calls.cpp:1: interpreter may not include modules/files/files.h"),
            ("modules/http/server.cpp", '#include "modules/files/files.h"\n',
             "modules/http/server.cpp:1: modules/http may not include modules/files/files.h"),
            ("building/build.cpp", '  # include "main/main.h"\n',
             "building/build.cpp:1: includes main/main.h, not a file of src/"),
            ("modules/audio/audio.cpp", '#include "building/standalone_build.h"\n',
             "modules/audio/audio.cpp:1: modules/audio may not include building/standalone_build.h"),
            ("check/check.cpp", '#include "building/standalone_build.h"\n',
             "check/check.cpp:1: check may not include building/standalone_build.h (building)"),
            ("platform/x.cpp", '#include "lexer/token.h"\n',
             "platform/x.cpp:1: platform may not include lexer/token.h (lexer)"),
            ("support/x.cpp", "\n", "support/x.cpp: folder support is in no layer"),
            # A new sub-folder does not join its parent's layer by itself.
            ("interpreter/fast/x.cpp", "\n", "interpreter/fast/x.cpp: folder interpreter/fast"),
            ("modules/sdl2/loaders/x.cpp", "\n", "modules/sdl2/loaders/x.cpp: folder modules/sdl2"),
            # Allowed units, private headers.
            ("main/x.cpp", '#include "building/path_text.h"\n',
             "main/x.cpp:1: building/path_text.h is private to building"),
            ("modules/native_modules.cpp", '#include "modules/audio/audio_loader.h"\n',
             "modules/native_modules.cpp:1: modules/audio/audio_loader.h is private to modules/audio"),
            ("parser/parser.cpp", '#include "interpreter/value.h"\n',
             "parser/parser.cpp:1: parser may not include interpreter/value.h"),
        ]
        for path, text, message in cases:
            with self.subTest(path=path):
                found = self.found({path: text})
                self.assertEqual(len(found), 1, found)
                self.assertTrue(found[0].startswith(message), found[0])

    def test_private_header_inside_its_own_unit_passes(self):
        self.assertEqual(self.found({"modules/audio/audio.cpp": '#include "modules/audio/audio_loader.h"\n',
                                     "interpreter/builtins/math.cpp": '#include "interpreter/calls.h"\n',
                                     "interpreter/calls.h": "#pragma once\n"}), [])

    def links(self, lines):
        with tempfile.NamedTemporaryFile("w", suffix=".txt") as f:
            f.write("\n".join(lines) + "\n")
            f.flush()
            return check_layers.link_violations(f.name)

    LINKS = ["drevel_platform|platform|Threads::Threads;dl",
             "drevel_front|lexer;parser|drevel_platform",
             "drevel_core|interpreter|drevel_front",
             "drevel_files|modules/files|drevel_core",
             "drevel_modules|modules|drevel_files",
             "drevel_tools|building;check|drevel_core",
             "drevel_driver|main;repl|drevel_tools;drevel_modules"]

    def test_link_lists(self):
        self.assertEqual(self.links(self.LINKS), [])
        cases = [
            ("drevel_front|lexer;parser|drevel_core", "drevel_front may not link drevel_core (interpreter)"),
            ("drevel_tools|building;check|drevel_modules", "drevel_tools may not link drevel_modules (modules)"),
            ("drevel_files|modules/files|drevel_core;drevel_http", "drevel_files links drevel_http, a library of no layer"),
        ]
        for line, message in cases:
            with self.subTest(line=line):
                name = line.split("|")[0]
                found = self.links([row for row in self.LINKS if not row.startswith(name + "|")] + [line])
                self.assertEqual(found, [message])
        found = self.links(self.LINKS + ["drevel_http|modules/http|drevel_files"])
        self.assertEqual(found, ["drevel_http may not link drevel_files (modules/files)"])

    def test_exit_status(self):
        with tree({**BASE, "lexer/x.cpp": '#include "main/main.cpp"\n'}) as root:
            self.assertEqual(check_layers.main(["check_layers.py", root]), 1)
        with tree(BASE) as root:
            self.assertEqual(check_layers.main(["check_layers.py", root]), 0)
            with tempfile.NamedTemporaryFile("w", suffix=".txt") as links:
                links.write("drevel_front|lexer;parser|drevel_core\ndrevel_core|interpreter|\n")
                links.flush()
                self.assertEqual(check_layers.main(["check_layers.py", root, "--links", links.name]), 1)


if __name__ == "__main__":
    unittest.main()
