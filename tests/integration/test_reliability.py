#!/usr/bin/env python3
"""Reliability under long runs, unwritable output, failing registries and
damaged standalone executables.

Usage: test_reliability.py DREVEL [NAME | -NAME]...
  (NAME runs only the named checks, -NAME leaves one out: soak,
  registry_stall, ...; the suite runs those two in its slow tier)
- soak: ten million loop iterations that build and drop strings, arrays,
  dicts and function values; resident memory after 10 million iterations
  stays within a small margin of the figure after 1 million;
- output to a reader that went away ends quietly, output that cannot be
  written ends the run with a message; files.write and files.append report a
  full device and a file-size limit with the OS text and keep the old
  content whole;
- the module manager after a registry that goes silent, a download cut off
  half-way and a connection dropped without an answer: a failed install
  leaves nothing behind and a retry works; a failed upgrade keeps the
  installed version;
- standalone executables whose trailer is truncated or corrupted run as the
  plain interpreter, never a part of their script.
Figures are printed as "FIGURE name value" lines for the reliability report.
Every process started here is stopped by its id; the run is bounded by an
alarm.
"""
import errno
import os
import resource
import shutil
import signal
import socket
import socketserver
import struct
import subprocess
import sys
import tempfile
import threading
import time

from process_support import check, failures, is_sanitized, read_tree, resident_kb

DREVEL = None
ALARM_SECONDS = 540
ERROR_PREFIX = "\x1b[31m[\x1b[91mERROR\x1b[31m]\x1b[0m "

# The soak program: each iteration defines a function, copies function
# values, builds strings, nested arrays and dicts and drops them all.
SOAK = """
def work(i) {
    def square(x) {
        return x * x
    }
    let f = square
    let text = "item-" + upper("ab") + slice("abcdef", 1, 3)
    let items = [i, text, [i, f], {inner: text}]
    items = push(items, text)
    let table = {name: text, items: items, fn: f, n: i}
    let back = table["name"]
    return len(items) + len(back) + f(2)
}

def main() {
    let i = 0
    let total = 0
    while i < LIMIT {
        total += work(i)
        i += 1
        if i == MARK {
            print("mark")
            input("")
        }
    }
    print("mark")
    input("")
    print(total)
}
"""
SOAK_PER_ITERATION = 18  # 5 items + len("item-ABbc") + square(2)


def figure(name, value):
    print("FIGURE %s %s" % (name, value), flush=True)


def stop(proc):
    if proc.poll() is None:
        proc.kill()
    proc.wait(timeout=10)


def run(args, cwd, **kw):
    kw.setdefault("stdin", subprocess.DEVNULL)
    kw.setdefault("timeout", 60)
    return subprocess.run([DREVEL] + args, cwd=cwd, capture_output=True, **kw)


def write(path, text):
    with open(path, "w") as f:
        f.write(text)


# ---------------------------------------------------------------- soak


def test_soak(work):
    sanitized = is_sanitized(DREVEL)
    limit, mark = (1000000, 100000) if sanitized else (10000000, 1000000)
    path = os.path.join(work, "soak.dv")
    write(path, SOAK.replace("LIMIT", str(limit)).replace("MARK", str(mark)))
    proc = subprocess.Popen([DREVEL, path], cwd=work, stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        samples = []
        started = time.monotonic()
        for _ in range(2):
            line = proc.stdout.readline()
            check(line == b"mark\n", "soak marker", repr(line))
            if line != b"mark\n":
                return
            samples.append(resident_kb(proc.pid))
            proc.stdin.write(b"\n")
            proc.stdin.flush()
        total = proc.stdout.readline()
        proc.stdin.close()
        proc.wait(timeout=60)
        elapsed = time.monotonic() - started
        err = proc.stderr.read()
        check(total == b"%d\n" % (limit * SOAK_PER_ITERATION), "soak result", repr(total))
        check(err == b"", "soak stderr", err.decode(errors="replace"))
        check(proc.returncode == 0, "soak status", str(proc.returncode))
        figure("soak_iterations", limit)
        figure("soak_rss_kb_at_%d" % mark, samples[0])
        figure("soak_rss_kb_at_%d" % limit, samples[1])
        figure("soak_seconds", "%.1f" % elapsed)
        if not sanitized:
            # Flat: at most 2 MiB or 10 % above the early figure.
            allowed = samples[0] + max(2048, samples[0] // 10)
            check(samples[1] <= allowed, "soak memory is flat",
                  "%d kB after %d, %d kB after %d" % (samples[0], mark, samples[1], limit))
    finally:
        stop(proc)


# ---------------------------------------------------------------- output


def piped_to_head(work, script):
    path = os.path.join(work, "big.dv")
    write(path, script)
    producer = subprocess.Popen([DREVEL, path], cwd=work, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    head = subprocess.Popen(["head", "-1"], stdin=producer.stdout, stdout=subprocess.PIPE)
    producer.stdout.close()  # head alone holds the reading end
    try:
        first, _ = head.communicate(timeout=60)
        _, err = producer.communicate(timeout=60)
        return first, err, producer.returncode
    finally:
        stop(head)
        stop(producer)


def test_closed_pipe(work):
    cases = {
        "long output": 'for i in 0..200000 {\n    print(concat("line ", i))\n}\n',
        "endless output": 'let i = 0\nwhile true {\n    print(concat("line ", i))\n    i += 1\n}\n',
        "large prints": 'let s = "line 0"\nlet pad = "x"\nwhile len(pad) < 1000000 {\n'
                        '    pad = concat(pad, pad)\n}\nprint(s)\nfor i in 0..50 {\n'
                        '    print(pad)\n}\n',
    }
    for what, script in cases.items():
        first, err, status = piped_to_head(work, script)
        check(first == b"line 0\n", "closed pipe first line: " + what, repr(first[:80]))
        check(err == b"", "closed pipe is quiet: " + what, err.decode(errors="replace"))
        check(status == 0, "closed pipe status: " + what, str(status))


def file_size_limit():
    # The signal that the limit raises keeps its default action here
    # (killing the process): drevel itself must ignore it.
    signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
    resource.setrlimit(resource.RLIMIT_FSIZE, (1024, 1024))


def test_unwritable_files(work):
    nospace = os.strerror(errno.ENOSPC) + " (os error %d)" % errno.ENOSPC
    write(os.path.join(work, "full.dv"),
          'use files\nfiles.write("/dev/full", "data")\nfiles.append("/dev/full", "more")\n'
          'print("still running")\n')
    result = run(["full.dv"], work)
    err = result.stderr.decode()
    check(result.stdout == b"still running\n", "dev/full: the script goes on", repr(result.stdout))
    check(ERROR_PREFIX + "Error in expression: Failed to write file '/dev/full': " + nospace + "\n" in err,
          "dev/full: files.write reports the OS text", err)
    check(ERROR_PREFIX + "Error in expression: Failed to append to file '/dev/full': " + nospace + "\n" in err,
          "dev/full: files.append reports the OS text", err)

    # A write that stops part-way is reported, never silent, and takes
    # nothing of the file's old content with it.
    toolarge = os.strerror(errno.EFBIG) + " (os error %d)" % errno.EFBIG
    write(os.path.join(work, "limit.dv"),
          'use files\nlet s = "0123456789abcdef"\nwhile len(s) < 4096 {\n    s = concat(s, s)\n}\n'
          'files.write("big.txt", "old")\nfiles.write("big.txt", s)\nprint(files.read("big.txt"))\n'
          'files.write("small.txt", "ok")\nfiles.append("small.txt", s)\n'
          'print(files.read("small.txt"))\nprint(files.list("."))\n')
    result = run(["limit.dv"], work, preexec_fn=file_size_limit)
    err = result.stderr.decode()
    check(result.returncode == 0, "file-size limit: the process survives", str(result.returncode))
    check(ERROR_PREFIX + "Error in expression: Failed to write file 'big.txt': " + toolarge + "\n" in err,
          "file-size limit: files.write reports", err)
    check(ERROR_PREFIX + "Error in expression: Failed to append to file 'small.txt': " + toolarge + "\n" in err,
          "file-size limit: files.append reports", err)
    lines = result.stdout.decode().split("\n")
    check(lines[:2] == ["old", "ok"], "file-size limit: old contents stay whole", repr(lines[:2]))
    check(len(lines) > 2 and ".drevel-" not in lines[2], "file-size limit: no scratch file is left",
          repr(lines[2:]))


def test_failing_standard_output(work):
    failed = "\x1b[31mError: Failed to write to standard output: " + os.strerror(errno.ENOSPC) + \
        " (os error %d)\x1b[0m\n" % errno.ENOSPC
    write(os.path.join(work, "endless.dv"), 'let i = 0\nwhile true {\n    print(i)\n    i += 1\n}\n')
    cases = {
        "script": (["endless.dv"], b""),
        "REPL": ([], b'print("a")\nprint("b")\n'),
    }
    for what, (args, stdin) in cases.items():
        with open("/dev/full", "wb") as full:
            proc = subprocess.run([DREVEL, *args], cwd=work, input=stdin, stdout=full,
                                  stderr=subprocess.PIPE, timeout=60)
        check(proc.returncode == 1, what + " to a full device: status", str(proc.returncode))
        check(proc.stderr.decode() == failed, what + " to a full device: message", proc.stderr.decode())
    # A pipe left non-blocking by its other user is full for a while, not
    # broken: every line arrives.
    write(os.path.join(work, "many.dv"), 'for i in 0..200000 {\n    print(i)\n}\n')
    read_end, write_end = os.pipe()
    os.set_blocking(write_end, False)
    proc = subprocess.Popen([DREVEL, "many.dv"], cwd=work, stdout=write_end,
                            stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
    os.close(write_end)
    try:
        time.sleep(0.3)  # let the pipe fill up
        with os.fdopen(read_end, "rb") as reader:
            lines = reader.read().split(b"\n")
        _, err = proc.communicate(timeout=60)
        check(proc.returncode == 0 and err == b"" and len(lines) == 200001,
              "non-blocking pipe gets every line", "%d %r %d" % (proc.returncode, err, len(lines)))
    finally:
        stop(proc)
    # A prompt nobody reads any more ends the session with a failure.
    repl = subprocess.Popen([DREVEL], cwd=work, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    try:
        repl.stdout.close()
        _, err = repl.communicate(b'print("a")\n' * 1000, timeout=60)
        check(repl.returncode == 1 and err == b"", "REPL to a closed pipe",
              "%d %r" % (repl.returncode, err))
    finally:
        stop(repl)


# ---------------------------------------------------------------- registry


class FaultyRegistry(socketserver.ThreadingTCPServer):
    """Serves /modules/acme/tools/ files from a dict; a file can instead be
    made to hang (accept and say nothing), to be cut off after part of its
    body, or to have its connection dropped without any answer."""
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self):
        self.files = {}
        self.faults = {}
        self.release = threading.Event()
        super().__init__(("127.0.0.1", 0), FaultyHandler)
        self.url = "http://127.0.0.1:%d" % self.server_address[1]
        self.thread = threading.Thread(target=self.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.release.set()
        self.shutdown()
        self.server_close()


class FaultyHandler(socketserver.BaseRequestHandler):
    def handle(self):
        data = b""
        while b"\r\n\r\n" not in data and len(data) < 65536:
            chunk = self.request.recv(4096)
            if not chunk:
                return
            data += chunk
        path = data.split(b" ")[1].decode()
        name = path.rsplit("/", 1)[1]
        fault = self.server.faults.get(name)
        body = self.server.files.get(name)
        if fault == "hang":
            self.server.release.wait(120)
            return
        if fault == "drop":
            return
        if body is None:
            self.request.sendall(b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n"
                                 b"Connection: close\r\n\r\n")
            return
        head = b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % len(body)
        if fault == "half":
            self.request.sendall(head + body[:len(body) // 2])
            return
        self.request.sendall(head + body)


def module_state(work):
    root = os.path.join(work, ".drevel", "modules", "acme", "tools")
    if not os.path.exists(root):
        return None
    return read_tree(root)


def test_registry_faults(work_root):
    registry_faults(work_root, ("half", "drop"))


def test_registry_stall(work_root):
    # A registry that never answers is waited out: this one takes as long as
    # the download's time limit.
    registry_faults(work_root, ("hang",))


def registry_faults(work_root, faults):
    reg = FaultyRegistry()
    files = {
        "module.yaml": b"name: tools\nfiles:\n  - index.dv\n  - lib/extra.dv\n",
        "index.dv": b"def hello() { return 1 }\n",
        "extra.dv": b"let big = \"" + b"x" * 200000 + b"\"\n",
    }
    try:
        reg.files.update(files)
        for fault in faults:
            work = tempfile.mkdtemp(prefix="drevel-reg-" + fault + "-", dir=work_root)
            env = dict(os.environ, DREVEL_REGISTRY=reg.url)
            reg.faults = {"extra.dv": fault}
            started = time.monotonic()
            result = run(["install", "acme/tools"], work, env=env, timeout=90)
            seconds = time.monotonic() - started
            err = result.stderr.decode()
            check(result.returncode == 1, fault + ": install fails", err)
            check("Failed to download file 'lib/extra.dv'" in err, fault + ": install message", err)
            whole = {"module.yaml": files["module.yaml"], "index.dv": files["index.dv"],
                     "lib/extra.dv": files["extra.dv"]}
            check(module_state(work) is None, fault + ": a failed install leaves nothing",
                  repr(sorted(module_state(work) or {})))
            check(os.listdir(os.path.join(work, ".drevel")) == ["modules"],
                  fault + ": no scratch folder is left", repr(os.listdir(os.path.join(work, ".drevel"))))
            if fault == "hang":
                figure("registry_stall_seconds", "%.1f" % seconds)
                continue  # a stalled registry's module is never installed
            reg.faults = {}
            again = run(["install", "acme/tools"], work, env=env, timeout=90)
            check(again.returncode == 0 and module_state(work) == whole,
                  fault + ": a retry installs the whole module", again.stderr.decode())
            reg.faults = {"extra.dv": fault}
            upgraded = run(["upgrade", "acme/tools"], work, env=env, timeout=90)
            check(upgraded.returncode == 1 and module_state(work) == whole,
                  fault + ": a failed upgrade keeps the installed version",
                  upgraded.stderr.decode())
            removed = run(["uninstall", "acme/tools"], work, env=env)
            check(removed.returncode == 0 and module_state(work) is None,
                  fault + ": uninstall", removed.stderr.decode())
    finally:
        reg.close()


# ---------------------------------------------------------------- standalone


def trailer_of(data):
    length = struct.unpack("<Q", data[-21:-13])[0]
    return len(data) - 21 - length, length


def test_damaged_standalone(work):
    script = 'print("script start")\nlet x = 1\nprint("script end")\n'
    write(os.path.join(work, "prog.dv"), script)
    built = run(["build", "prog.dv"], work, timeout=120)
    check(built.returncode == 0, "standalone build", built.stderr.decode())
    output = os.path.join(work, ".drevel", "build", "prog")
    with open(output, "rb") as f:
        image = f.read()
    check(image.endswith(b"DREVEL_SCRIPT"), "standalone trailer marker")
    start, length = trailer_of(image)
    check(image[start:start + length] == script.encode(), "standalone script bytes")

    intact = subprocess.run([output, "-v"], cwd=work, capture_output=True, timeout=60,
                            stdin=subprocess.DEVNULL)
    check(intact.stdout == b"script start\nscript end\n", "intact standalone runs its script",
          repr(intact.stdout))

    def with_length(n):
        return image[:-21] + struct.pack("<Q", n) + b"DREVEL_SCRIPT"

    damaged = {
        "cut by one byte": image[:-1],
        "cut inside the length": image[:-17],
        "cut inside the script": image[:start + length // 2],
        "cut to the image": image[:start],
        "marker changed": image[:-1] + b"t",
        "length past the start": with_length(len(image)),
        "length above the limit": with_length(100000001),
        "length of 2^64-1": with_length(2**64 - 1),
        "script not UTF-8": image[:start + 3] + b"\xff" + image[start + 4:],
        "tiny file": b"DREVEL_SCRIPT",
    }
    for what, data in damaged.items():
        path = os.path.join(work, "damaged")
        with open(path, "wb") as f:
            f.write(data)
        os.chmod(path, 0o755)
        try:
            result = subprocess.run([path, "-v"], cwd=work, capture_output=True, timeout=60,
                                    stdin=subprocess.DEVNULL)
        except OSError as e:  # a file cut before the program image ends may not start at all
            check(what in ("tiny file",) or e.errno == errno.ENOEXEC, what, str(e))
            continue
        check(b"script" not in result.stdout, what + ": no part of the script runs",
              repr(result.stdout))
        check(result.stdout == b"Drevel version 1.0.7\n" and result.returncode == 0,
              what + ": behaves as the plain interpreter",
              repr(result.stdout) + " " + result.stderr.decode(errors="replace")[-2000:])


TESTS = (test_closed_pipe, test_unwritable_files, test_failing_standard_output,
         test_damaged_standalone, test_registry_faults, test_registry_stall, test_soak)


def selected_tests(names):
    """Every test, or those named (without "test_"), or all but those named "-NAME"."""
    known = {test.__name__[len("test_"):]: test for test in TESTS}
    unknown = [n for n in names if n.lstrip("-") not in known]
    if unknown:
        raise SystemExit("unknown test(s): %s; known: %s" % (" ".join(unknown), " ".join(known)))
    chosen = [n for n in names if not n.startswith("-")]
    left_out = {n[1:] for n in names if n.startswith("-")}
    return [test for name, test in known.items()
            if (not chosen or name in chosen) and name not in left_out]


def main():
    global DREVEL
    if len(sys.argv) < 2:
        print("usage: test_reliability.py DREVEL [NAME | -NAME]...", file=sys.stderr)
        return 2
    DREVEL = os.path.abspath(sys.argv[1])
    tests = selected_tests(sys.argv[2:])
    signal.alarm(ALARM_SECONDS)
    root = tempfile.mkdtemp(prefix="drevel-reliability-")
    try:
        for test in tests:
            work = tempfile.mkdtemp(dir=root)
            started = time.monotonic()
            test(work)
            print("%s: %.1fs" % (test.__name__, time.monotonic() - started), flush=True)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    if failures:
        print("%d failure(s)" % len(failures), file=sys.stderr)
        return 1
    print("all reliability checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
