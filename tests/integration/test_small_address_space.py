#!/usr/bin/env python3
"""Where the address space is limited: start-up falls back to a smaller
evaluator stack and lowers the call depth limit with it, so a runaway
recursion is still refused with its message instead of crashing, whatever
the shape of the recursive body (long expressions and deeply nested blocks
cost more stack per call); and a script that asks for more memory than
there is ends with "Error: Out of memory" and status 1, after what it
printed before, instead of aborting."""
import os
import resource
import subprocess
import sys
import tempfile

from process_support import is_sanitized

SCRIPT = """
def down(n) {
    if n == 0 { return 0 }
    return down(n - 1) + 0
}
print(down(300))
print(down(1000000))
print("after")
"""

# A long chain of operators around the recursive call.
LONG_EXPRESSION = ("def f(n) {\n    return f(n + 1)" + " + 1" * 150 + "\n}\n"
                   "print(0)\nprint(f(0))\nprint(\"after\")\n")

# The recursive call inside 500 nested blocks.
NESTED_BLOCKS = ("def g(n) {\n" + "    if n > -1 {\n" * 500 + "    return g(n + 1)\n" +
                 "    }\n" * 500 + "}\nprint(0)\nprint(g(0))\nprint(\"after\")\n")

SCRIPTS = {"deep": SCRIPT, "long_expression": LONG_EXPRESSION, "nested_blocks": NESTED_BLOCKS}

# Each prints "start", then grows without bound.
OUT_OF_MEMORY = {
    "doubled string": 'print("start")\nlet s = "x"\nwhile true {\n    s = s + s\n}\n',
    "huge split": 'print("start")\nlet s = ","\nwhile len(s) < 100000000 {\n    s = s + s\n}\n'
                  'let parts = split(s, ",")\nprint(len(parts))\n',
    "nested arrays": 'print("start")\nlet a = [1]\nwhile true {\n    a = [a, a, a]\n}\n',
}
OUT_OF_MEMORY_ERROR = "\x1b[31mError: Out of memory\x1b[0m\n"

# Files that do not fit are refused by the call that reads them, and the
# script goes on: endless devices, binary data and a template.
ENDLESS_FILES = """use files
use http
print("start")
print(files.read("/dev/zero"))
print(files.read("/dev/urandom"))
print(http.template("/dev/zero"))
print(len(files.read("%s")))
print("after")
"""
ENDLESS_ERRORS = [
    "Error in expression: Failed to read file '/dev/zero': File too large (os error 27)",
    "Error in expression: Failed to read file '/dev/urandom': stream did not contain valid UTF-8",
    "Error in expression: Failed to read template: File too large (os error 27)",
]


def run_limited(drevel, script, limit_bytes):
    def limit():
        resource.setrlimit(resource.RLIMIT_AS, (limit_bytes, limit_bytes))
    return subprocess.run([drevel, script], capture_output=True, timeout=120, preexec_fn=limit)


def main():
    drevel = os.path.abspath(sys.argv[1])
    if is_sanitized(drevel):
        print("skipped: sanitizer build")
        return 0
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        for name, text in SCRIPTS.items():
            script = os.path.join(tmp, name + ".dv")
            with open(script, "w") as f:
                f.write(text)
            for limit_mb in (2000, 600):
                proc = run_limited(drevel, script, limit_mb << 20)
                out = proc.stdout.decode()
                err = proc.stderr.decode()
                ok = (proc.returncode == 0 and out.startswith("0\n") and
                      out.endswith("after\n") and "Maximum call depth exceeded" in err)
                print(f"{'ok' if ok else 'FAIL'}: {name}, address space {limit_mb} MB, "
                      f"status {proc.returncode}")
                if not ok:
                    print(out[-500:], err[-500:])
                    failures += 1
        script = os.path.join(tmp, "memory.dv")
        for what, source in OUT_OF_MEMORY.items():
            with open(script, "w") as f:
                f.write(source)
            proc = run_limited(drevel, script, 1000 << 20)
            out = proc.stdout.decode()
            err = proc.stderr.decode()
            ok = proc.returncode == 1 and out == "start\n" and err == OUT_OF_MEMORY_ERROR
            print(f"{'ok' if ok else 'FAIL'}: out of memory, {what}, status {proc.returncode}")
            if not ok:
                print(out[-500:], err[-500:])
                failures += 1
        source = ENDLESS_FILES % script
        with open(script, "w") as f:
            f.write(source)
        proc = run_limited(drevel, script, 1000 << 20)
        out = proc.stdout.decode()
        err = proc.stderr.decode()
        want_err = "".join("\x1b[31m[\x1b[91mERROR\x1b[31m]\x1b[0m " + e + "\n"
                           for e in ENDLESS_ERRORS)
        ok = (proc.returncode == 0 and out == "start\n%d\nafter\n" % len(source.encode())
              and err == want_err)
        print(f"{'ok' if ok else 'FAIL'}: endless files refused, status {proc.returncode}")
        if not ok:
            print(out[-500:], err[-500:])
            failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
