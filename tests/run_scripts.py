#!/usr/bin/env python3
"""Runs every script case of one folder against the built binary.

A case is NAME.dv. Its expected output is written in the script itself:
  # expect: TEXT          one line of standard output, placed after the
                          statement that prints it (or at the end of its line)
  # expect error: TEXT    one ERROR line of standard error, without its prefix
Side files beside the script are for what comments cannot say:
  NAME.out     exact standard output (replaces the `# expect:` comments)
  NAME.err     exact standard error: warnings, debug lines, traces
               (replaces the `# expect error:` comments)
  NAME.status  expected exit status (absent: 0)
  NAME.args    command-line arguments, one per line; {script} stands for the
               script's file name (absent: just the script)
  NAME.in      standard input (absent: empty)
The driver's timings in standard error are compared as "#.###ms".
Each case runs in a fresh temporary copy of its folder, so scripts may write
files and use modules that sit beside them.

With --update the expectations are rewritten from a real run: inline comments
where the output can be said in them (no arguments, input or exit status, plain
lines and ERROR lines), side files otherwise. Review the diff before committing.

Usage: run_scripts.py [--update] DREVEL FOLDER [NAME...]
"""
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

TIMEOUT = 60
# Finding where a line is printed runs cut-short copies of the script; a cut
# inside a loop may never end, so those runs get a short leash.
PLACEMENT_TIMEOUT = 2

ERROR_PREFIX = b"\x1b[31m[\x1b[91mERROR\x1b[31m]\x1b[0m "

# The driver's timing lines ("-d", "-D") vary from run to run: their numbers
# are compared as "#.###ms".
TIMING = re.compile(rb"(\x1b\[33m\[\x1b\[93mDREVEL\x1b\[33m\]\x1b\[0m [^\n]*?)\d+\.\d{3}ms")

EXPECT = re.compile(r"#\s*expect( error)?:(?: (.*))?$")
# A line of text a comment can hold: printable, no trailing blanks.
PLAIN_LINE = re.compile(r"[^\x00-\x1f\x7f]*[^\x00-\x20\x7f]|")


def read(path, default=b""):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return default


def inline_expectations(source):
    """The standard output and standard error the comments of a script expect."""
    out, err = [], []
    for line in source.splitlines():
        match = EXPECT.search(line)
        if match:
            text = (match.group(2) or "").encode(errors="surrogateescape")
            if match.group(1):
                err.append(ERROR_PREFIX + text + b"\n")
            else:
                out.append(text + b"\n")
    return b"".join(out), b"".join(err)


def expectations(base):
    """(stdout, stderr, status) a case expects, from side files or comments."""
    source = read(base + ".dv").decode(errors="surrogateescape")
    inline_out, inline_err = inline_expectations(source)
    out, err = read(base + ".out", None), read(base + ".err", None)
    name = os.path.basename(base)
    if out is not None and inline_out:
        raise SystemExit(f"{name}: both {name}.out and '# expect:' comments")
    if err is not None and inline_err:
        raise SystemExit(f"{name}: both {name}.err and '# expect error:' comments")
    status = int(read(base + ".status", b"0").strip() or b"0")
    return (inline_out if out is None else out, inline_err if err is None else err, status)


def arguments(base, name):
    args_text = read(base + ".args", b"{script}").decode()
    return [a.replace("{script}", name + ".dv") for a in args_text.splitlines() if a != ""]


def run_in_copy(drevel, folder, args, stdin, timeout, script=None):
    """Runs the binary in a fresh copy of the folder; `script` replaces a file's text."""
    with tempfile.TemporaryDirectory(prefix="drevel-case-") as tmp:
        work = os.path.join(tmp, "work")
        shutil.copytree(folder, work, symlinks=True)
        if script is not None:
            with open(os.path.join(work, script[0]), "w", errors="surrogateescape") as f:
                f.write(script[1])
        proc = subprocess.run([drevel] + args, input=stdin, capture_output=True, cwd=work,
                              timeout=timeout)
    return proc.stdout, TIMING.sub(rb"\1#.###ms", proc.stderr), proc.returncode


def show_diff(label, expected, actual):
    exp = expected.decode("utf-8", "replace").splitlines(keepends=True)
    act = actual.decode("utf-8", "replace").splitlines(keepends=True)
    diff = difflib.unified_diff(exp, act, f"expected {label}", f"actual {label}")
    sys.stdout.write("".join(repr(line)[1:-1] + "\n" for line in diff))


def run_case(drevel, folder, name):
    base = os.path.join(folder, name)
    expected_out, expected_err, expected_status = expectations(base)
    try:
        out, err, status = run_in_copy(drevel, folder, arguments(base, name),
                                       read(base + ".in"), TIMEOUT)
    except subprocess.TimeoutExpired:
        print(f"FAIL {name}: timed out after {TIMEOUT}s")
        return False
    ok = True
    if out != expected_out:
        print(f"FAIL {name}: standard output differs")
        show_diff("stdout", expected_out, out)
        ok = False
    if err != expected_err:
        print(f"FAIL {name}: standard error differs")
        show_diff("stderr", expected_err, err)
        ok = False
    if status != expected_status:
        print(f"FAIL {name}: exit status {status}, expected {expected_status}")
        ok = False
    return ok


# --update ------------------------------------------------------------------


def plain_lines(data, prefix=b""):
    """The texts of data's lines when each is prefix + plain text, else None."""
    if data and not data.endswith(b"\n"):
        return None
    texts = []
    for line in data.split(b"\n")[:-1]:
        if not line.startswith(prefix):
            return None
        try:
            text = line[len(prefix):].decode()
        except UnicodeDecodeError:
            return None
        if not PLAIN_LINE.fullmatch(text):
            return None
        texts.append(text)
    return texts


def error_lines(data):
    return [line for line in data.split(b"\n") if line.startswith(ERROR_PREFIX)]


def place(drevel, folder, name, lines, out, err):
    """For each line of the script, the expectations printed by the time it has run.

    The script is cut after each line in turn and run (an unfinished block is
    closed by the parser); a cut whose output is not a prefix of the whole
    run's output says nothing. Each expected line goes after the first cut
    that prints it.
    """
    errors = error_lines(err)
    counts = []
    for cut in range(1, len(lines) + 1):
        text = "".join(lines[:cut])
        try:
            part_out, part_err, _ = run_in_copy(drevel, folder, [name + ".dv"], b"",
                                                PLACEMENT_TIMEOUT, (name + ".dv", text))
        except subprocess.TimeoutExpired:
            counts.append(None)
            continue
        part_errors = error_lines(part_err)
        if out.startswith(part_out) and (part_out.endswith(b"\n") or not part_out) and \
                part_errors == errors[:len(part_errors)]:
            counts.append((part_out.count(b"\n"), len(part_errors)))
        else:
            counts.append(None)
    return counts


def comment(label, text):
    return f"# {label}: {text}" if text else f"# {label}:"


def rewrite_inline(drevel, folder, name, source, out_texts, err_texts, out, err):
    """The script with its expectation comments placed afresh after the lines that print them."""
    lines = [line for line in source.splitlines(keepends=True)
             if not re.fullmatch(r"\s*" + EXPECT.pattern + r"\s*", line.rstrip("\n"))]
    lines = [EXPECT.sub("", line.rstrip("\n")).rstrip() + "\n" if EXPECT.search(line) else line
             for line in lines]
    counts = place(drevel, folder, name, lines, out, err) if out_texts or err_texts else []
    placed = [[] for _ in lines]
    done_out = done_err = 0
    for index, count in enumerate(counts):
        if count is None:
            continue
        # Keep stdout and ERROR lines in the order the cuts reveal them.
        for text in out_texts[done_out:count[0]]:
            placed[index].append(comment("expect", text))
        for text in err_texts[done_err:count[1]]:
            placed[index].append(comment("expect error", text))
        done_out, done_err = max(done_out, count[0]), max(done_err, count[1])
    # Whatever no cut revealed (printed only once the script is whole) goes last.
    tail = [comment("expect", t) for t in out_texts[done_out:]]
    tail += [comment("expect error", t) for t in err_texts[done_err:]]
    result = []
    for line, comments in zip(lines, placed):
        code = line.rstrip("\n")
        indent = re.match(r"\s*", code).group(0)
        if len(comments) == 1 and code.strip() and "#" not in code and \
                not code.rstrip().endswith("{"):
            result.append(f"{code}  {comments[0]}\n")
            continue
        result.append(line if line.endswith("\n") else line + "\n")
        result.extend(f"{indent}{c}\n" for c in comments)
    result.extend(c + "\n" for c in tail)
    return "".join(result)


def update_case(drevel, folder, name):
    base = os.path.join(folder, name)
    args = arguments(base, name)
    stdin = read(base + ".in")
    out, err, status = run_in_copy(drevel, folder, args, stdin, TIMEOUT)
    source = read(base + ".dv").decode(errors="surrogateescape")
    has_inputs = any(os.path.exists(base + ext) for ext in (".args", ".in"))
    out_texts = plain_lines(out)
    err_texts = plain_lines(err, ERROR_PREFIX)
    inline_out = not has_inputs and status == 0 and out_texts is not None
    inline_err = inline_out and err_texts is not None
    for ext, data, inline in ((".out", out, inline_out), (".err", err, inline_err)):
        if inline or not data:
            if os.path.exists(base + ext):
                os.remove(base + ext)
        else:
            with open(base + ext, "wb") as f:
                f.write(data)
    if status:
        with open(base + ".status", "w") as f:
            f.write(f"{status}\n")
    elif os.path.exists(base + ".status"):
        os.remove(base + ".status")
    new_source = rewrite_inline(drevel, folder, name, source,
                                out_texts if inline_out else [],
                                err_texts if inline_err else [], out, err)
    if new_source != source:
        with open(base + ".dv", "w", errors="surrogateescape") as f:
            f.write(new_source)
    ok = run_case(drevel, folder, name)
    print(f"{'updated' if ok else 'FAILED to update'} {name}")
    return ok


def main():
    argv = sys.argv[1:]
    update = "--update" in argv
    argv = [a for a in argv if a != "--update"]
    if len(argv) < 2:
        raise SystemExit(__doc__)
    drevel = os.path.abspath(argv[0])
    folder = os.path.abspath(argv[1])
    names = argv[2:] or sorted(f[:-3] for f in os.listdir(folder)
                               if f.endswith(".dv") and os.path.isfile(os.path.join(folder, f)))
    missing = [n for n in names if not os.path.isfile(os.path.join(folder, n + ".dv"))]
    if missing:
        raise SystemExit(f"no such case in {folder}: {', '.join(missing)}")
    step = update_case if update else run_case
    failures = [n for n in names if not step(drevel, folder, n)]
    print(f"{len(names) - len(failures)}/{len(names)} script cases passed in {folder}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
