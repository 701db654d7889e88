#!/usr/bin/env python3
"""check_layers.py on small made-up trees: each kind of wrong include is
found with its place, and the allowed ones pass."""

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
    "lexer/token.h": "#pragma once\n",
    "parser/ast.h": '#include "lexer/token.h"\n',
    "parser/ast.cpp": '#include "parser/ast.h"\n',
    "interpreter/value.h": '#include "lexer/token.h"\n',
    "interpreter/builtins/registry.h": '#include "interpreter/value.h"\n',
    "modules/files/files.h": '#include "interpreter/builtins/registry.h"\n',
    "modules/http/http.h": "#pragma once\n",
    # A module folder the table does not name is a module like the others.
    "modules/audio/audio.cpp": '#include "modules/audio/audio.h"\n#include "interpreter/value.h"\n',
    "modules/audio/audio.h": "#pragma once\n",
    "modules/native_modules.cpp": '#include "modules/files/files.h"\n#include "modules/http/http.h"\n',
    "building/build.cpp": '#include "interpreter/value.h"\n',
    "main/main.cpp": '#include "building/build.h"\n#include "modules/native_modules.h"\n'
    '#include "modules/audio/audio.h"\n',
    "building/build.h": "#pragma once\n",
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
            ("modules/audio/audio.cpp", '#include "building/build.h"\n',
             "modules/audio/audio.cpp:1: modules/audio may not include building/build.h"),
            ("check/check.cpp", '#include "building/build.h"\n',
             "check/check.cpp:1: check may not include building/build.h (building)"),
            ("support/x.cpp", "\n", "support/x.cpp: folder belongs to no layer"),
            ("parser/parser.cpp", '#include "interpreter/value.h"\n',
             "parser/parser.cpp:1: parser may not include interpreter/value.h"),
        ]
        for path, text, message in cases:
            with self.subTest(path=path):
                found = self.found({path: text})
                self.assertEqual(len(found), 1, found)
                self.assertTrue(found[0].startswith(message), found[0])

    def test_exit_status(self):
        with tree({**BASE, "lexer/x.cpp": '#include "main/main.cpp"\n'}) as root:
            self.assertEqual(check_layers.main(["check_layers.py", root]), 1)
        with tree(BASE) as root:
            self.assertEqual(check_layers.main(["check_layers.py", root]), 0)


if __name__ == "__main__":
    unittest.main()
