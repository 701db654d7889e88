#!/usr/bin/env python3
"""Every binary operator of the token list, over a grid of operands and in
every shape the evaluator specialises (names, literals, a name beside a
literal, a right operand that runs code, nesting, conditions, compound
assignment), gives the same output with fast paths on and off, and the rows
give the values the rules fix.

The operators are read from their rows in src/lexer/token.h, so an operator
added there is checked here in both modes without a change to this test.

Usage: test_operator_modes.py DREVEL
"""
import os
import re
import subprocess
import sys
import tempfile

from process_support import check, failures

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ROW = re.compile(r'X\((\w+), "([^"]*)", "([^"]*)", (k\w+)(?:, TokenKind::(\w+))?\)')

# Operand texts: integers at the edges, floats with signed zero and NaN,
# and the kinds no arithmetic row takes.
OPERANDS = ["7", "-7", "0", "-1", "2", "3", "9223372036854775807", "(0 - 9223372036854775807 - 1)",
            "2.5", "-0.5", "0.0", "-0.0", "1e300", "sqrt(-1.0)", '"ab"', "true", "false"]


def operators():
    """(name, spelling, level, compound spelling or None) for each row with a
    level."""
    with open(os.path.join(ROOT, "src", "lexer", "token.h")) as f:
        text = f.read()
    spelled = {name: symbol or keyword
               for name, keyword, symbol in re.findall(r'X\((\w+), "([^"]*)", "([^"]*)"', text)}
    return [(name, " %s " % (symbol or keyword), level, spelled.get(compound))
            for name, keyword, symbol, level, compound in ROW.findall(text)]


def program(spelling, compound):
    lines = ["def same(x) { return x }"]
    for left in OPERANDS:
        for right in OPERANDS:
            lines += [
                "let a = %s" % left, "let b = %s" % right,
                "print(a%sb)" % spelling,                              # names
                "print(%s%s%s)" % (left, spelling, right),            # literals
                "print(a%s%s)" % (spelling, right),                    # a name and a literal
                "print(a%ssame(b))" % spelling,                        # right runs code
                "print(same(a)%sb)" % spelling,                        # left runs code
                "print(same(a)%s%s)" % (spelling, right),              # the same, a literal
                "print((a%sb)%sa)" % (spelling, spelling),            # nested
                'if a%sb { print("then") } else { print("else") }' % spelling,
            ]
            if compound:
                lines += ["let c = a", "c %s b" % compound, "print(c)"]
    return "\n".join(lines) + "\n"


def run(binary, path, fast):
    env = dict(os.environ)
    env.pop("DREVEL_NO_FAST_PATHS", None)
    if not fast:
        env["DREVEL_NO_FAST_PATHS"] = "1"
    done = subprocess.run([binary, path], capture_output=True, text=True, timeout=60, env=env)
    return done.stdout, done.stderr


# Values the rules fix, whatever the mode: (expression, first output line).
KNOWN = [("7 / 2", "3"), ("-7 / 2", "-3"), ("7.0 / 2", "3.5"), ("7 % -3", "1"), ("7.5 % 2", "1.5"),
         ("9223372036854775807 + 1", "-9223372036854775808"), ("2 ** 64", "0"),
         ("2 ** 10", "1024"), ("1 == 1.0", "true"), ("0.1 + 0.2 == 0.3", "true"),
         ("0.1 + 0.2 < 0.3", "false"), ("0.3 < 0.1 + 0.2", "true")]
FAILS = [("1 / 0", "Division by zero"), ("1.0 / 0", "Division by zero"),
         ("1 / 0.0", "Division by zero"), ("1 % 0", "Modulo by zero"),
         ('"a" < "b"', "Unsupported operation on strings: Less"),
         ("1 and 2", "Unsupported operation on numbers: And"),
         ('"a" + 1', "Cannot apply Plus to string and number")]


def main():
    binary = os.path.abspath(sys.argv[1])
    found = operators()
    names = [name for name, _, _, _ in found]
    check(len(found) >= 14 and "Plus" in names and "Or" in names,
          "the operators' rows are read from the token list", names)
    with tempfile.TemporaryDirectory() as work:
        for name, spelling, level, compound in found:
            path = os.path.join(work, name + ".dv")
            with open(path, "w") as f:
                f.write(program(spelling, compound))
            fast, general = run(binary, path, True), run(binary, path, False)
            # Each statement of the grid prints a line or reports an error.
            check((fast[0] + fast[1]).count("\n") >= 8 * len(OPERANDS) ** 2,
                  "%s: every line of the grid prints or reports" % name, fast[0][-500:])
            check(fast == general, "%s gives the same output in both modes" % name,
                  next(((a, b) for a, b in zip((fast[0] + fast[1]).splitlines(),
                                                (general[0] + general[1]).splitlines()) if a != b),
                       "lengths differ"))
        for fast in (True, False):
            path = os.path.join(work, "known.dv")
            with open(path, "w") as f:
                f.write("".join("let x = %s\nprint(x)\n" % e for e, _ in KNOWN + FAILS))
            out, err = run(binary, path, fast)
            lines = out.splitlines()
            for (expression, expected), got in zip(KNOWN, lines):
                check(got == expected, "%s prints %s (fast paths %s)" % (expression, expected, fast),
                      got)
            for expression, message in FAILS:
                check("ERROR\x1b[31m]\x1b[0m " + message + "\n" in err,
                      "%s reports %r (fast paths %s)" % (expression, message, fast), err[-300:])
    if failures:
        sys.exit(1)
    print("ok")


if __name__ == "__main__":
    main()
