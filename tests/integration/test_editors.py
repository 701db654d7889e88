#!/usr/bin/env python3
"""The editor files cover the language: every keyword and every written token
of the lexer (read from the lexer's own tables), each literal and comment form,
the module prefixes and module functions are highlighted by the Vim syntax file (asked of a
real Vim with synIDattr) and matched by a rule of the TextMate grammar.

Usage: test_editors.py DREVEL   (the binary is not used)
"""
import json
import os
import re
import subprocess
import sys
import tempfile

from process_support import check, failures

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EDITORS = os.path.join(ROOT, "editors")


def lexer_tables():
    """Keywords and symbol spellings as the token kinds' list defines them."""
    with open(os.path.join(ROOT, "src/lexer/token.h")) as f:
        rows = re.findall(r'X\((\w+), "([^"]*)", "([^"]*)"[,)]', f.read())
    keywords = [keyword for _, keyword, _ in rows if keyword]
    symbols = [symbol for _, _, symbol in rows if symbol]
    check(len(keywords) == 21, "21 keywords found in the lexer, got %d" % len(keywords))
    check(len(symbols) == 31, "31 symbol spellings found in the lexer, got %d" % len(symbols))
    return keywords, symbols


# (source line, text to look at in it, Vim syntax group it must get)
LITERALS = [
    ("let n = 42", "42", "drevelNumber"),
    ("let x = 3.14", "3.14", "drevelFloat"),
    ('let s = "a \\"b\\" c"', '"a', "drevelString"),
    ('let s = "a \\n b"', "\\n", "drevelEscape"),
    ("# a line comment", "#", "drevelComment"),
    ("/* a block comment */ let y = 1", "/*", "drevelComment"),
    ("sdl2.create_window(640, 480)", "sdl2", "drevelModule"),
    ("http.serve(8080)", "http", "drevelModule"),
    ("files.read(path)", "files", "drevelModule"),
    ("files.read(path)", "read", "drevelModuleFunction"),
    ("sdl2.create_window(640, 480)", "create_window", "drevelModuleFunction"),
    ("print(len(items))", "len", "drevelBuiltin"),
] + [
    # Every native module's prefix: one folder below src/modules each.
    (name + ".f(x)", name, "drevelModule")
    for name in sorted(os.listdir(os.path.join(ROOT, "src", "modules")))
    if os.path.isdir(os.path.join(ROOT, "src", "modules", name))
]


def vim_groups(sample_lines, probes):
    """The highlight group Vim gives at each (line, column), 1-based."""
    with tempfile.TemporaryDirectory() as work:
        sample = os.path.join(work, "sample.dv")
        with open(sample, "w") as f:
            f.write("\n".join(sample_lines) + "\n")
        result = os.path.join(work, "groups.txt")
        script = os.path.join(work, "probe.vim")
        with open(script, "w") as f:
            f.write("set runtimepath^=%s\nfiletype on\nsyntax on\nedit %s\n" %
                    (os.path.join(EDITORS, "vim"), sample))
            f.write("let out = [&filetype]\n")
            for line, column in probes:
                f.write("call add(out, synIDattr(synID(%d, %d, 1), 'name'))\n" %
                        (line, column))
            f.write("call writefile(out, '%s')\nqall!\n" % result)
        subprocess.run(["vim", "-N", "-u", "NONE", "-i", "NONE", "-es", "-S", script],
                       stdin=subprocess.DEVNULL, timeout=60, check=False)
        with open(result) as f:
            lines = f.read().split("\n")
    return lines[0], lines[1:1 + len(probes)]


def test_vim(keywords, symbols):
    lines, probes, expected = [], [], []
    for word in keywords:
        lines.append("x " + word + " y")
        probes.append((len(lines), 3))
        expected.append((word, None))
    for symbol in symbols:
        lines.append("x " + symbol + " y")
        probes.append((len(lines), 3))
        expected.append((symbol, ("drevelOperator", "drevelDelimiter")))
    for source, text, group in LITERALS:
        lines.append(source)
        probes.append((len(lines), source.index(text) + 1))
        expected.append((source, (group,)))
    filetype, groups = vim_groups(lines, probes)
    check(filetype == "drevel", "a .dv file gets the drevel file type, got %r" % filetype)
    for (what, allowed), group in zip(expected, groups):
        if allowed is None:
            check(group.startswith("drevel"), "Vim highlights keyword %r, got %r" % (what, group))
        else:
            check(group in allowed, "Vim highlights %r as %s, got %r" % (what, allowed, group))


def textmate_rules(grammar):
    rules = []
    for entry in grammar["repository"].values():
        for rule in entry["patterns"]:
            rules.append((rule["name"], re.compile(rule.get("match") or rule["begin"])))
    return rules


def test_textmate(keywords, symbols):
    with open(os.path.join(EDITORS, "drevel.tmLanguage.json")) as f:
        grammar = json.load(f)
    check(grammar["scopeName"] == "source.drevel" and "dv" in grammar["fileTypes"],
          "TextMate grammar names its scope and the .dv extension")
    rules = textmate_rules(grammar)

    def scope_at(source, text):
        """The first rule, in grammar order, that matches at the text's place."""
        start = source.index(text)
        for name, pattern in rules:
            m = pattern.match(source, start)
            if m and m.end() > start:
                return name, source[start:m.end()]
        return None, ""

    for word in keywords:
        name, taken = scope_at("x " + word + " y", word)
        check(name and taken == word and "keyword" in name or name and "constant" in name
              or name and "storage" in name, "TextMate rule for keyword %r, got %r" % (word, name))
    for symbol in symbols:
        name, taken = scope_at("x " + symbol + " y", symbol)
        check(name is not None and taken == symbol,
              "TextMate rule for %r, got %r over %r" % (symbol, name, taken))
    scopes = {"drevelNumber": "constant.numeric.integer", "drevelFloat": "constant.numeric.float",
              "drevelString": "string.quoted", "drevelEscape": "string.quoted",
              "drevelComment": "comment", "drevelModule": "support.class.module",
              "drevelModuleFunction": "support.function.module",
              "drevelBuiltin": "support.function.builtin"}
    for source, text, group in LITERALS:
        name, _ = scope_at(source, text if group != "drevelEscape" else '"')
        check(name and name.startswith(scopes[group]),
              "TextMate scope for %r is %s, got %r" % (source, scopes[group], name))


def test_install_paths():
    """`make install` puts the Vim files below PREFIX unless VIMFILES says
    otherwise (read from make's dry run, which installs nothing)."""
    cases = [(["PREFIX=/opt/p"], "/opt/p", "/opt/p/share/vim/vimfiles"),
             (["PREFIX=/opt/p", "VIMFILES=/opt/vim"], "/opt/p", "/opt/vim"),
             (["PREFIX=/opt/p", "DESTDIR=/stage"], "/stage/opt/p",
              "/stage/opt/p/share/vim/vimfiles")]
    for args, prefix, folder in cases:
        plan = subprocess.run(["make", "-n", "-C", ROOT, "install"] + args, capture_output=True,
                              text=True, timeout=60).stdout
        targets = re.findall(r"^install -m 644 editors/vim/(\S+) (\S+)$", plan, re.M)
        check(sorted(targets) == [("ftdetect/drevel.vim", folder + "/ftdetect/drevel.vim"),
                                  ("syntax/drevel.vim", folder + "/syntax/drevel.vim")],
              "Vim files for %s go to %s, got %r" % (" ".join(args), folder, targets))
        check(re.search(r"^install -m 755 \S+ %s/bin/drevel$" % re.escape(prefix), plan, re.M),
              "binary below %s for %s" % (prefix, " ".join(args)))


def main():
    keywords, symbols = lexer_tables()
    test_vim(keywords, symbols)
    test_textmate(keywords, symbols)
    test_install_paths()
    if failures:
        sys.exit("%d failure(s)" % len(failures))
    print("ok")


if __name__ == "__main__":
    main()
