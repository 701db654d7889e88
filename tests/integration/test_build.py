#!/usr/bin/env python3
"""Standalone builds: the trailer written behind the interpreter, the built
programs, the output-name rules and failures, and start-up with hand-made
corrupt trailers.

Usage: test_build.py DREVEL
"""
import os
import re
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import time

from process_support import check, failures

DREVEL = os.path.abspath(sys.argv[1])
TIMEOUT = 60
MARKER = b"DREVEL_SCRIPT"
STEP = "Building standalone binary..."
VERSION = "Drevel version 1.0.7\n"


def built(output):
    return ("\r\x1b[33m" + STEP + " in progress\x1b[0m"
            "\r\x1b[32m" + STEP + " done (T)\x1b[0m\n"
            "Location: .drevel/build/" + output + "\n")


IN_PROGRESS = "\r\x1b[33m" + STEP + " in progress\x1b[0m"


def mask_seconds(text):
    return re.sub(r"\(\d+\.\d\ds\)", "(T)", text)


def interpreter_bytes():
    with open(DREVEL, "rb") as f:
        return f.read()


class Workdir:
    def __init__(self):
        self.path = tempfile.mkdtemp(prefix="drevel-build-")

    def write(self, name, content):
        path = os.path.join(self.path, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content.encode() if isinstance(content, str) else content)
        return path

    def read(self, name):
        with open(os.path.join(self.path, name), "rb") as f:
            return f.read()

    def exists(self, name):
        return os.path.lexists(os.path.join(self.path, name))

    def run(self, program, *args):
        # A program that wrongly obeyed "install" must not leave the machine.
        env = dict(os.environ, DREVEL_REGISTRY="http://127.0.0.1:9")
        proc = subprocess.run([program, *args], cwd=self.path, env=env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=TIMEOUT)
        return proc.returncode, proc.stdout.decode(errors="replace"), proc.stderr.decode(
            errors="replace")

    def build(self, *args):
        return self.run(DREVEL, "build", *args)

    def scratch(self):
        """The build's scratch folders left in the build directory."""
        build = os.path.join(self.path, ".drevel", "build")
        return [n for n in os.listdir(build) if n.startswith(".scratch-")] if os.path.isdir(
            build) else []

    def tree(self):
        found = []
        for base, dirs, files in os.walk(self.path):
            for name in dirs + files:
                found.append(os.path.relpath(os.path.join(base, name), self.path))
        return sorted(found)

    def close(self):
        shutil.rmtree(self.path, ignore_errors=True)


def expect_built(work, result, output, what):
    code, out, err = result
    check(code == 0, what + ": status", "%d %r" % (code, err))
    check(mask_seconds(out) == built(output), what + ": stdout", repr(out))
    check(err == "", what + ": stderr", repr(err))
    check(work.scratch() == [], what + ": scratch folder removed", repr(work.scratch()))


def expect_fatal(work, result, message, what):
    code, out, err = result
    check(code != 0, what + ": status", "%d" % code)
    check(out == IN_PROGRESS, what + ": only the in-progress line", repr(out))
    check(re.fullmatch(r".*" + re.escape(message) + r": \S.*\n", err, re.S) is not None,
          what + ": message with system error", repr(err))


def test_trailer_and_run(work):
    script = 'print("Hello from game");\r\nprint("h\u00e9llo \u2603");\n'
    work.write("game.dv", script)
    expect_built(work, work.build("game.dv"), "game", "build game.dv")
    image = interpreter_bytes()
    data = work.read(".drevel/build/game")
    body = script.encode()
    check(data[-13:] == MARKER, "marker is the last 13 bytes")
    check(struct.unpack("<Q", data[-21:-13])[0] == len(body), "little-endian length")
    check(data[-21 - len(body):-21] == body, "script bytes exactly as read")
    check(data[:-21 - len(body)] == image, "interpreter image unchanged")
    mode = stat.S_IMODE(os.stat(os.path.join(work.path, ".drevel/build/game")).st_mode)
    check(mode == stat.S_IMODE(os.stat(DREVEL).st_mode), "permission bits kept", oct(mode))
    check(work.tree() == [".drevel", ".drevel/build", ".drevel/build/game", "game.dv"],
          "only the output is left", work.tree())

    want = "Hello from game\nh\u00e9llo \u2603\n"
    program = os.path.join(work.path, ".drevel/build/game")
    for args in ([], ["-h"], ["-v"], ["build", "game.dv"], ["install", "a/b"], ["other.dv", "-d"]):
        code, out, err = work.run(program, *args)
        check((code, out, err) == (0, want, ""), "built program with %r" % args,
              repr((code, out, err)))
    check(not work.exists(".drevel/modules"), "built program acted on no argument")
    # The embedded script does not depend on the directory it was built in.
    elsewhere = tempfile.mkdtemp(prefix="drevel-build-elsewhere-")
    try:
        moved = os.path.join(elsewhere, "app")
        shutil.copy2(program, moved)
        proc = subprocess.run([moved], cwd=elsewhere, capture_output=True, timeout=TIMEOUT)
        check(proc.stdout.decode() == want, "copied program runs anywhere")
    finally:
        shutil.rmtree(elsewhere)


def test_arguments_and_folder(work):
    """A built program hands every argument to its script (the driver reads
    none of them) and finds its own folder from anywhere."""
    work.write("tool.dv", "use std\nprint(std.args())\nprint(std.script_folder())\nstd.exit(len(std.args()))\n")
    expect_built(work, work.build("tool.dv"), "tool", "build tool.dv")
    program = os.path.join(work.path, ".drevel/build/tool")
    elsewhere = tempfile.mkdtemp(prefix="drevel-build-args-")
    try:
        proc = subprocess.run([program, "-d", "--", "x y", "-h"], cwd=elsewhere,
                              capture_output=True, timeout=TIMEOUT)
        want = "[-d, --, x y, -h]\n%s\n" % os.path.realpath(os.path.dirname(program))
        check((proc.returncode, proc.stdout.decode(), proc.stderr) == (4, want, b""),
              "built program's args() and script_folder()", repr(proc))
    finally:
        shutil.rmtree(elsewhere)


def test_empty_script(work):
    work.write("empty.dv", "")
    expect_built(work, work.build("empty.dv"), "empty", "empty script")
    data = work.read(".drevel/build/empty")
    check(data[-21:] == struct.pack("<Q", 0) + MARKER, "length 0 trailer")
    check(data[:-21] == interpreter_bytes(), "empty script: image unchanged")
    result = work.run(os.path.join(work.path, ".drevel/build/empty"), "-v")
    check(result == (0, "", ""), "empty program does nothing", repr(result))


def test_output_names(work):
    work.write("game.dv", 'print("g");\n')
    work.write("my.game.dv", 'print("m");\n')
    expect_built(work, work.build("game.dv", "myapp"), "myapp", "explicit output")
    expect_built(work, work.build("my.game.dv"), "my", "name up to the first dot")
    expect_built(work, work.build("game.dv", "-d"), "-d", "output that looks like an option")
    for name, want in (("myapp", "g\n"), ("my", "m\n"), ("-d", "g\n")):
        result = work.run(os.path.join(work.path, ".drevel/build", name))
        check(result == (0, want, ""), "program " + name, repr(result))

    # An existing directory below the build directory is fine; missing ones
    # are made, for the default name of a script in another folder too.
    os.makedirs(os.path.join(work.path, ".drevel/build/sub"))
    expect_built(work, work.build("game.dv", "sub/app"), "sub/app", "existing subdirectory")
    work.write("dir/game.dv", 'print("d");\n')
    work.write(".hidden.dv", 'print("h");\n')
    for args, name, want in ((["dir/game.dv"], "dir/game", "d\n"),
                             (["game.dv", "new/deeper/app"], "new/deeper/app", "g\n"),
                             (["./game.dv"], "game", "g\n"),
                             ([".hidden.dv"], ".hidden", "h\n"),
                             (["./dir/../.hidden.dv"], ".hidden", "h\n")):
        expect_built(work, work.build(*args), name, "output %s from %r" % (name, args))
        result = work.run(os.path.join(work.path, ".drevel/build", name))
        check(result == (0, want, ""), "program " + name, repr(result))


def test_names_beside_the_scratch_folder(work):
    # No output name is the scratch folder: tmp and names below it are
    # ordinary outputs, and the Location line shows the path as a plain one.
    work.write("game.dv", 'print("g");\n')
    os.makedirs(os.path.join(work.path, ".drevel/build/.scratch-dead01"))
    for output, location in (("tmp/x", "tmp/x"), ("tmp/drevel", "tmp/drevel"),
                             ("/abs/app", "abs/app"), ("./a//b/", "a/b"), ("tmp2", "tmp2")):
        expect_built(work, work.build("game.dv", output), location, "output " + output)
        result = work.run(os.path.join(work.path, ".drevel/build", location))
        check(result == (0, "g\n", ""), "program " + output, repr(result))
    check(sorted(os.listdir(os.path.join(work.path, ".drevel/build"))) ==
          ["a", "abs", "tmp", "tmp2"], "outputs kept, stale scratch gone",
          repr(os.listdir(os.path.join(work.path, ".drevel/build"))))
    check(sorted(os.listdir(os.path.join(work.path, ".drevel/build/tmp"))) == ["drevel", "x"],
          "both outputs below tmp kept")


def test_read_only_interpreter(work):
    # An interpreter installed read-only (0555) still builds; the output
    # carries the interpreter's bits. As root, the build runs as nobody, for
    # whom the missing write permission counts.
    installed = os.path.join(work.path, "bin", "drevel")
    os.makedirs(os.path.dirname(installed))
    shutil.copy(DREVEL, installed)
    os.chmod(installed, 0o555)
    work.write("game.dv", 'print("read-only");\n')
    drop = None
    if os.geteuid() == 0:
        nobody = 65534
        for base, dirs, files in os.walk(work.path):
            for name in [base] + [os.path.join(base, n) for n in dirs + files]:
                os.chown(name, nobody, nobody)
        os.chmod(work.path, 0o755)

        def drop():
            os.setgroups([])
            os.setgid(nobody)
            os.setuid(nobody)
    proc = subprocess.run([installed, "build", "game.dv"], cwd=work.path, capture_output=True,
                          timeout=TIMEOUT, preexec_fn=drop)
    out, err = proc.stdout.decode(), proc.stderr.decode()
    check(proc.returncode == 0 and mask_seconds(out) == built("game") and err == "",
          "read-only interpreter builds", repr((proc.returncode, out, err)))
    program = os.path.join(work.path, ".drevel/build/game")
    check(os.path.exists(program) and stat.S_IMODE(os.stat(program).st_mode) == 0o555,
          "output keeps the interpreter's bits")
    check(work.run(program) == (0, "read-only\n", ""), "read-only build runs")


def test_failures(work):
    code, out, err = work.build("notes.txt")
    check((code, out, err) == (1, "", "Error: Only .dv files are allowed.\n"), "not a .dv file",
          repr((code, out, err)))
    check(work.tree() == [], "refused build creates nothing", work.tree())
    code, out, err = work.build("missing.dv")
    check(code == 1 and out == "" and err.startswith("Error: Failed to read the file: ")
          and err.endswith("\n") and len(err) > len("Error: Failed to read the file: \n"),
          "missing file", repr((code, out, err)))
    check(work.tree() == [], "unreadable script creates nothing", work.tree())

    work.write("game.dv", 'print("g");\n')
    for escape in ("..", "../escaped", "../../escaped", "x/../../escaped", ".scratch-x/app",
                   "./.scratch-y", "", "./"):
        expect_fatal(work, work.build("game.dv", escape), "Failed to copy final binary",
                     "output " + escape)
    check(not work.exists("escaped") and not os.path.exists(
        os.path.join(os.path.dirname(work.path), "escaped")), "nothing written outside")
    check(all(p.startswith(".drevel") or p == "game.dv" for p in work.tree()),
          "failures stay below .drevel/build", work.tree())
    check(work.scratch() == [], "no scratch folder left after a failure", repr(work.scratch()))
    # A file where the output's folder would go.
    work.write(".drevel/build/taken", "a file")
    expect_fatal(work, work.build("game.dv", "taken/app"), "Failed to create build directory",
                 "output folder is a file")

    # The build directory is a file.
    shutil.rmtree(os.path.join(work.path, ".drevel"))
    work.write(".drevel/build", "a file")
    expect_fatal(work, work.build("game.dv"), "Failed to create temp directory", "build is a file")


def test_building_twice(work):
    work.write("game.dv", "while true { }\n")
    expect_built(work, work.build("game.dv"), "game", "first build")
    program = os.path.join(work.path, ".drevel/build/game")
    # The first program keeps running while it is replaced.
    running = subprocess.Popen([program], cwd=work.path, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(0.3)
        check(running.poll() is None, "first program runs")
        work.write("game.dv", 'print("second");\n')
        expect_built(work, work.build("game.dv"), "game", "second build")
        check(work.read(".drevel/build/game").endswith(b'print("second");\n' +
                                                        struct.pack("<Q", 17) + MARKER),
              "second build replaced the first")
        result = work.run(program)
        check(result == (0, "second\n", ""), "second program runs", repr(result))
    finally:
        running.kill()
        running.wait(timeout=10)


def with_trailer(work, name, script_bytes, length=None, marker=MARKER):
    length = len(script_bytes) if length is None else length
    path = work.write(name, interpreter_bytes() + script_bytes + struct.pack("<Q", length) + marker)
    os.chmod(path, 0o755)
    return path


def test_corrupt_trailers(work):
    work.write("plain.dv", 'print("plain run");\n')
    good = with_trailer(work, "good", b'print("embedded");\n')
    check(work.run(good, "plain.dv") == (0, "embedded\n", ""), "hand-made trailer is read")

    size = len(interpreter_bytes())
    cases = {
        "too_long": with_trailer(work, "too_long", b'print("x");\n', length=100_000_001),
        "huge": with_trailer(work, "huge", b'print("x");\n', length=2**64 - 1),
        "beyond_file": with_trailer(work, "beyond_file", b'print("x");\n', length=size + 100),
        "bad_utf8": with_trailer(work, "bad_utf8", b'print("\xff\xfe");\n'),
        "bad_marker": with_trailer(work, "bad_marker", b'print("x");\n', marker=b"DREVEL_SCRIPX"),
        "short_marker": with_trailer(work, "short_marker", b'print("x");\n', marker=MARKER[1:]),
        "truncated_utf8": with_trailer(work, "truncated_utf8", "é".encode()[:1]),
    }
    for name, path in cases.items():
        check(work.run(path, "-v") == (0, VERSION, ""), name + ": plain interpreter")
        check(work.run(path, "plain.dv") == (0, "plain run\n", ""), name + ": runs its argument")


TESTS = [test_trailer_and_run, test_arguments_and_folder, test_empty_script, test_output_names,
         test_names_beside_the_scratch_folder, test_read_only_interpreter, test_failures,
         test_building_twice, test_corrupt_trailers]


def main():
    only = set(sys.argv[2:])
    for test in TESTS:
        if only and test.__name__ not in only:
            continue
        work = Workdir()
        try:
            test(work)
        except Exception as error:
            check(False, test.__name__ + " raised", repr(error))
        finally:
            work.close()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
