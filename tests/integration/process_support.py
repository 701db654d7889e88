"""Helpers shared by the integration tests that watch a drevel process."""
import os
import shutil
import socket
import subprocess
import tempfile
import sys

# What check() found wrong; a test exits with a failure when it is not empty.
failures = []


def check(condition, what, detail=""):
    """Records and prints a failed expectation; the test goes on to the next."""
    if not condition:
        failures.append(what)
        detail = str(detail)[:2000] if detail else ""
        print("FAIL:", what, detail, file=sys.stderr, flush=True)
    return condition


def runnable_by_anyone(binary, folder):
    """A copy of the binary in folder (which others may enter), for a child
    that drops to nobody: the checkout may lie below a folder only its owner
    can enter, as a clone in a fresh mktemp -d folder does."""
    copy = os.path.join(folder, "drevel-as-nobody")
    shutil.copy2(binary, copy)
    os.chmod(copy, 0o755)
    return copy


def is_sanitized(binary):
    """An AddressSanitizer build: resident-size figures mean nothing there, and
    it cannot run under an address-space limit."""
    with open(binary, "rb") as f:
        return b"__asan_init" in f.read()


def resident_kb(pid):
    """Resident memory of a live process in kB (from /proc/PID/statm)."""
    with open("/proc/%d/statm" % pid) as f:
        pages = int(f.read().split()[1])
    if pages == 0:
        with open("/proc/%d/stat" % pid) as f:
            raise RuntimeError("no resident memory for %d: %s" % (pid, f.read()))
    return pages * (os.sysconf("SC_PAGE_SIZE") // 1024)


def free_port():
    """A TCP port on 127.0.0.1 that nothing listens on right now."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def http_page(content):
    """The exact bytes the server answers for a page with this content."""
    body = content.encode()
    return (b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
            + str(len(body)).encode() + b"\r\n\r\n" + body)


def run_source(drevel, source, prefix="drevel-run-"):
    """Runs the program text as s.dv in a fresh temporary folder."""
    with tempfile.TemporaryDirectory(prefix=prefix) as tmp:
        with open(os.path.join(tmp, "s.dv"), "w") as f:
            f.write(source)
        return subprocess.run([drevel, "s.dv"], cwd=tmp, capture_output=True, timeout=30)


def read_tree(root):
    """Every file below root, as {relative path: bytes}."""
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, root)] = f.read()
    return found
