#!/usr/bin/env python3
"""http.serve under load and under a mix of well- and ill-behaved clients.

Usage: test_reliability_load.py DREVEL
- `ab -n N -c 8` against a served page: every request completes, none fails,
  and the server's resident memory after the run stays within a small margin
  of the figure after a warm-up (N is DREVEL_LOAD_REQUESTS, default 20000;
  the reliability report runs it with 100000);
- good clients, idle connections, clients that disconnect mid-request or
  mid-response and oversized requests, all at once: every good client gets
  exactly its page, and the server still answers afterwards.
Figures are printed as "FIGURE name value" lines. The server is stopped by
its process id; the run is bounded by an alarm.
"""
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

from process_support import check, failures, free_port, http_page as page, is_sanitized, resident_kb

DREVEL = None
ALARM_SECONDS = 540

BIG_BYTES = 1 << 20  # beyond the socket buffers: sending it blocks


def figure(name, value):
    print("FIGURE %s %s" % (name, value), flush=True)


class Server:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="drevel-load-")
        for _ in range(5):
            self.port = free_port()
            with open(os.path.join(self.dir, "server.dv"), "w") as f:
                f.write('use http\nhttp.page("/", "hello")\nlet big = "0123456789abcdef"\n'
                        'while len(big) < %d {\n    big = concat(big, big)\n}\n'
                        'http.page("/big", big)\nhttp.serve(%d)\n' % (BIG_BYTES, self.port))
            self.err = open(os.path.join(self.dir, "stderr"), "wb")
            self.proc = subprocess.Popen([DREVEL, "server.dv"], cwd=self.dir,
                                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                         stderr=self.err)
            lines = [self.proc.stdout.readline(), self.proc.stdout.readline()]
            if lines[1].startswith(b"Server listening"):
                return
            self.stop()
        raise RuntimeError("server did not start")

    def stderr_text(self):
        with open(os.path.join(self.dir, "stderr"), "rb") as f:
            return f.read().decode(errors="replace")

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait(timeout=10)
        self.proc.stdout.close()
        self.err.close()

    def close(self):
        self.stop()
        shutil.rmtree(self.dir, ignore_errors=True)


def fetch(port, request=b"GET / HTTP/1.1\r\nHost: x\r\n\r\n", timeout=60):
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(request)
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                return data
            data += chunk


def ab(port, requests, path="/"):
    result = subprocess.run(["ab", "-q", "-n", str(requests), "-c", "8", "-s", "60",
                             "http://127.0.0.1:%d%s" % (port, path)],
                            capture_output=True, timeout=480)
    out = result.stdout.decode()

    def number(label):
        m = re.search(r"^%s:\s+([0-9.]+)" % label, out, re.M)
        return float(m.group(1)) if m else None

    return result.returncode, out, {
        "complete": number("Complete requests"),
        "failed": number("Failed requests"),
        "non2xx": number("Non-2xx responses") or 0,
        "rps": number("Requests per second"),
    }


def test_ab_load(server, requests):
    status, out, warm = ab(server.port, 1000)
    check(status == 0 and warm["failed"] == 0, "ab warm-up", out)
    before = resident_kb(server.proc.pid)
    started = time.monotonic()
    status, out, figures = ab(server.port, requests)
    elapsed = time.monotonic() - started
    after = resident_kb(server.proc.pid)
    check(status == 0, "ab runs", out)
    check(figures["complete"] == requests, "ab: every request completes", out)
    check(figures["failed"] == 0 and figures["non2xx"] == 0, "ab: no failed request", out)
    figure("ab_requests", requests)
    figure("ab_failed", int(figures["failed"] if figures["failed"] is not None else -1))
    figure("ab_requests_per_second", figures["rps"])
    figure("ab_seconds", "%.1f" % elapsed)
    figure("server_rss_kb_before", before)
    figure("server_rss_kb_after", after)
    if not is_sanitized(DREVEL):
        check(after <= before + max(2048, before // 10), "ab: server memory is flat",
              "%d kB before, %d kB after" % (before, after))


def test_mixed_clients(server):
    port = server.port
    hello = page("hello")
    results = {"good": 0, "good_wrong": [], "idle_answered": 0, "oversized_ok": 0,
               "oversized_wrong": 0, "dropped": 0}
    lock = threading.Lock()
    stop = threading.Event()

    def good_client(n):
        for _ in range(n):
            try:
                got = fetch(port)
            except OSError as e:
                got = repr(e).encode()
            with lock:
                if got == hello:
                    results["good"] += 1
                else:
                    results["good_wrong"].append(got[:200])

    def idle_client():
        # Connects and sends nothing; the server drops it after its time-out.
        with socket.create_connection(("127.0.0.1", port), timeout=30) as s:
            try:
                data = s.recv(100)
            except OSError:
                data = b""
        with lock:
            if data:
                results["idle_answered"] += 1

    def quitter():
        # Leaves mid-request (half a request line, then gone, sometimes with
        # a reset) or mid-response (the large page, one byte read).
        i = 0
        while not stop.is_set():
            i += 1
            try:
                s = socket.create_connection(("127.0.0.1", port), timeout=30)
                if i % 3 == 0:
                    s.sendall(b"GET /big HTTP/1.1\r\n\r\n")
                    s.recv(1)
                elif i % 3 == 1:
                    s.sendall(b"GET / HT")
                else:
                    s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                s.close()
                with lock:
                    results["dropped"] += 1
            except OSError:
                pass
            time.sleep(0.005)

    def oversized(n):
        request = b"GET / HTTP/1.1\r\nX-Pad: " + b"a" * 100000 + b"\r\n\r\n"
        for _ in range(n):
            try:
                got = fetch(port, request)
            except OSError:
                got = None  # reset while still sending: no answer, no harm
            with lock:
                if got == hello:
                    results["oversized_ok"] += 1
                elif got:
                    results["oversized_wrong"] += 1

    threads = [threading.Thread(target=good_client, args=(150,)) for _ in range(6)]
    threads += [threading.Thread(target=idle_client) for _ in range(3)]
    threads += [threading.Thread(target=oversized, args=(40,)) for _ in range(2)]
    quitters = [threading.Thread(target=quitter) for _ in range(2)]
    for t in threads + quitters:
        t.start()
    for t in threads:
        t.join(timeout=300)
    stop.set()
    for t in quitters:
        t.join(timeout=60)
    check(results["good"] == 900, "mixed: every good client answered",
          "%d answered, wrong: %r" % (results["good"], results["good_wrong"][:3]))
    check(results["idle_answered"] == 0, "mixed: idle connections are dropped unanswered")
    check(results["oversized_wrong"] == 0, "mixed: oversized requests never get a wrong answer")
    check(fetch(port) == hello, "mixed: the server still answers")
    check(server.proc.poll() is None, "mixed: the server is alive")
    figure("mixed_good_answered", results["good"])
    figure("mixed_dropped_clients", results["dropped"])
    figure("mixed_oversized_answered", results["oversized_ok"])


def main():
    global DREVEL
    if len(sys.argv) != 2:
        print("usage: test_reliability_load.py DREVEL", file=sys.stderr)
        return 2
    DREVEL = os.path.abspath(sys.argv[1])
    if shutil.which("ab") is None:
        print("ab (apache2-utils) is required", file=sys.stderr)
        return 1
    signal.alarm(ALARM_SECONDS)
    requests = int(os.environ.get("DREVEL_LOAD_REQUESTS", "20000"))
    server = Server()
    try:
        started = time.monotonic()
        test_ab_load(server, requests)
        print("test_ab_load: %.1fs" % (time.monotonic() - started), flush=True)
        started = time.monotonic()
        test_mixed_clients(server)
        print("test_mixed_clients: %.1fs" % (time.monotonic() - started), flush=True)
        err = server.stderr_text()
        check("ERROR" not in err and "Sanitizer" not in err, "server stderr is clean", err)
    finally:
        server.close()
    if failures:
        print("%d failure(s)" % len(failures), file=sys.stderr)
        return 1
    print("all load checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
