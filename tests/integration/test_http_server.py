#!/usr/bin/env python3
"""http.serve on a real socket, driven by real clients (curl and raw sockets).

Usage: test_http_server.py DREVEL
Starts `drevel server.dv` on free ports of 127.0.0.1 with its standard output
going to a file, checks the exact bytes of the answers, and stops every
server it starts by process id. The whole run is bounded by an alarm.
"""
import json
import os
import resource
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

from process_support import free_port, http_page as page, run_source

DREVEL = None
ALARM_SECONDS = 240

BIG_PAGE_BYTES = 1 << 23  # larger than any socket buffer: sending it blocks

NOT_FOUND = b"HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n\r\nNot Found"

PAGES = """
    http.page("/", "first");
    http.page("/", "second");
    http.page("/about", "<h1>About</h1>");
    http.page("/x?y=1", "query");
    http.page("/\u00e9", "accent");
    http.page("/caf\ufffd", "replaced");
    http.page("/long", "long request");
    http.page("/empty", "");
    let big = "0123456789abcdef";
    while len(big) < BIG {
        big = concat(big, big);
    }
    http.page("/big", big);
""".replace("BIG", str(BIG_PAGE_BYTES))


class Server:
    """One drevel process running a server script; stopped by its pid."""

    def __init__(self, script, port, preexec_fn=None):
        self.port = port
        self.dir = tempfile.mkdtemp(prefix="drevel-http-server-")
        with open(os.path.join(self.dir, "server.dv"), "w") as f:
            f.write(script)
        self.out_path = os.path.join(self.dir, "out.log")
        self.err_path = os.path.join(self.dir, "err.log")
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            self.proc = subprocess.Popen([DREVEL, "server.dv"], cwd=self.dir, stdout=out,
                                         stderr=err, preexec_fn=preexec_fn)

    def output(self):
        with open(self.out_path, "rb") as f:
            return f.read()

    def errors(self):
        with open(self.err_path, "rb") as f:
            return f.read()

    def wait_listening(self, seconds=20):
        expected = f"Server listening on http://localhost:{self.port}\n".encode()
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if expected in self.output():
                return
            if self.proc.poll() is not None:
                raise AssertionError(f"server exited early: {self.output()!r} {self.errors()!r}")
            time.sleep(0.02)
        raise AssertionError(f"no listening line: {self.output()!r}")

    def wait_exit(self, seconds=20):
        return self.proc.wait(timeout=seconds)

    def stop(self):
        if self.proc.poll() is None:
            os.kill(self.proc.pid, signal.SIGKILL)
            self.proc.wait(timeout=10)
        shutil.rmtree(self.dir, ignore_errors=True)


def read_all(s):
    """Reads until the server closes."""
    chunks = []
    while True:
        chunk = s.recv(1 << 16)
        if not chunk:
            return b"".join(chunks)
        chunks.append(chunk)


def exchange(port, data, half_close=False, timeout=15):
    """Sends data, then reads until the server closes."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        if data:
            s.sendall(data)
        if half_close:
            s.shutdown(socket.SHUT_WR)
        return read_all(s)


def get(port, path):
    return exchange(port, f"GET {path} HTTP/1.1\r\nHost: x\r\n\r\n".encode())


def curl(*args):
    return subprocess.run(["curl", "-s", "--max-time", "15", *args], capture_output=True,
                          timeout=30).stdout


class ServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.port = free_port()
        script = "use http;\n\ndef main() {" + PAGES + f"    http.serve({cls.port});\n}}\n"
        cls.server = Server(script, cls.port)
        cls.server.wait_listening()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def test_start_lines_reach_a_file_before_serving(self):
        self.assertEqual(self.server.output(),
                         f"Starting HTTP server on port {self.port}\n"
                         f"Server listening on http://localhost:{self.port}\n".encode())

    def test_curl_gets_exact_bytes_first_page_wins(self):
        self.assertEqual(curl("-i", f"http://127.0.0.1:{self.port}/"), page("first"))
        self.assertEqual(curl("-i", f"http://127.0.0.1:{self.port}/about"), page("<h1>About</h1>"))
        self.assertEqual(curl("-i", f"http://127.0.0.1:{self.port}/empty"), page(""))
        # The method is not looked at.
        self.assertEqual(curl("-i", "-X", "POST", "-d", "data=1",
                              f"http://127.0.0.1:{self.port}/about"), page("<h1>About</h1>"))

    def test_not_found_is_exactly_80_bytes(self):
        self.assertEqual(len(NOT_FOUND), 80)
        self.assertEqual(get(self.port, "/missing"), NOT_FOUND)
        self.assertEqual(curl("-i", f"http://127.0.0.1:{self.port}/about/"), NOT_FOUND)

    def test_query_string_is_part_of_the_path(self):
        self.assertEqual(get(self.port, "/x?y=1"), page("query"))
        self.assertEqual(get(self.port, "/x?y=2"), NOT_FOUND)
        self.assertEqual(get(self.port, "/x"), NOT_FOUND)

    def test_request_line_pieces(self):
        self.assertEqual(exchange(self.port, b"", half_close=True), page("first"))
        self.assertEqual(exchange(self.port, b"GET", half_close=True), page("first"))
        self.assertEqual(exchange(self.port, b"  GET\t\t/about", half_close=True),
                         page("<h1>About</h1>"))
        self.assertEqual(exchange(self.port, "GET\u3000/about x".encode(), half_close=True),
                         page("<h1>About</h1>"))

    def test_utf8_paths_and_invalid_bytes(self):
        self.assertEqual(get(self.port, "/\u00e9"), page("accent"))
        # The invalid byte reads as U+FFFD, so the request finds that page.
        self.assertEqual(exchange(self.port, b"GET /caf\xe9 HTTP/1.1\r\n\r\n"), page("replaced"))
        self.assertEqual(exchange(self.port, b"\xff\xfe\xfd /about \xc0\xaf", half_close=True),
                         page("<h1>About</h1>"))

    def test_long_requests_only_first_1024_bytes_count(self):
        request = b"GET /long HTTP/1.1\r\nX-Filler: " + b"a" * 5000 + b"\r\n\r\n"
        self.assertEqual(exchange(self.port, request), page("long request"))
        # A path cut by the buffer end is looked up as cut.
        request = b"GET /long" + b"b" * 2000 + b" HTTP/1.1\r\n\r\n"
        self.assertEqual(exchange(self.port, request), NOT_FOUND)
        self.assertEqual(get(self.port, "/about"), page("<h1>About</h1>"))

    def test_binary_and_truncated_requests(self):
        blobs = [bytes(range(256)), b"\x00" * 2048, b"GET /ab", b"\r\n" * 700,
                 os.urandom(1024), os.urandom(3000), b"\xf0\x9f\x98"]
        for blob in blobs:
            answer = exchange(self.port, blob, half_close=True)
            self.assertTrue(answer.startswith(b"HTTP/1.1 "), blob[:20])
        self.assertEqual(get(self.port, "/about"), page("<h1>About</h1>"))

    def test_client_leaving_mid_response_does_not_kill_the_server(self):
        for _ in range(3):
            with socket.create_connection(("127.0.0.1", self.port), timeout=10) as s:
                s.sendall(b"GET /big HTTP/1.1\r\n\r\n")
                s.recv(100)
                # Closing with unread data makes the kernel reset the connection.
        self.assertEqual(get(self.port, "/about"), page("<h1>About</h1>"))
        answer = get(self.port, "/big")
        self.assertEqual(len(answer), len(page("")) + len(str(BIG_PAGE_BYTES)) - 1 + BIG_PAGE_BYTES)
        self.assertIsNone(self.server.proc.poll())

    def test_request_split_over_several_writes(self):
        # Each piece goes out as its own segment; the request counts once its
        # line is complete, its 1024 bytes are in or the client stops sending.
        cases = [
            ([b"GE", b"T /ab", b"out HTTP/1.1\r\nHost: x\r\n\r\n"], False, page("<h1>About</h1>")),
            ([b"GET /x?y", b"=1", b" HTTP/1.1\r", b"\n\r\n"], False, page("query")),
            ([b"GET /abo", b"ut"], True, page("<h1>About</h1>")),
            ([b"GET /long ", b"x" * 600, b"y" * 600], False, page("long request")),
        ]
        for pieces, half_close, expected in cases:
            with socket.create_connection(("127.0.0.1", self.port), timeout=15) as s:
                s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                for piece in pieces:
                    s.sendall(piece)
                    time.sleep(0.15)
                if half_close:
                    s.shutdown(socket.SHUT_WR)
                self.assertEqual(read_all(s), expected, pieces)

    def test_misbehaving_clients_do_not_delay_others(self):
        """Idle, slow-sending and never-reading clients stay connected while
        normal clients come and go; each kind gets its due at the end."""
        opened = []

        def connect(receive_buffer=None):
            s = socket.socket()
            opened.append(s)
            if receive_buffer:
                s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
            s.settimeout(20)
            s.connect(("127.0.0.1", self.port))
            return s

        try:
            idle = [connect() for _ in range(20)]
            slow = [connect() for _ in range(20)]
            stuck = [connect(receive_buffer=4096) for _ in range(3)]
            for s in stuck:
                s.sendall(b"GET /big HTTP/1.1\r\n\r\n")
            slowest = 0
            # The slow senders trickle their request line for longer than the
            # idle limit; every byte counts as progress.
            for step in range(7):
                for s in slow:
                    s.sendall(b"GET /" if step == 0 else b"a")
                start = time.monotonic()
                self.assertEqual(get(self.port, "/about"), page("<h1>About</h1>"))
                self.assertEqual(get(self.port, "/missing"), NOT_FOUND)
                slowest = max(slowest, time.monotonic() - start)
                time.sleep(0.9)
            self.assertLess(slowest, 1.0)
            # Quiet for more than five seconds: closed without an answer.
            for s in idle:
                self.assertEqual(read_all(s), b"")
            for s in slow:
                s.sendall(b" HTTP/1.1\r\n\r\n")
                self.assertEqual(read_all(s), NOT_FOUND)
            # Never reading: dropped with most of the page unsent.
            big = len(page("")) + len(str(BIG_PAGE_BYTES)) - 1 + BIG_PAGE_BYTES
            for s in stuck:
                self.assertLess(len(read_all(s)), big // 2)
            self.assertEqual(get(self.port, "/about"), page("<h1>About</h1>"))
        finally:
            for s in opened:
                s.close()


class ServeArgumentsTest(unittest.TestCase):
    def run_script(self, body):
        return run_source(DREVEL, "use http;\n\ndef main() {\n" + body + "\n}\n")

    def test_bind_failure_is_an_error_value(self):
        with socket.socket() as taken:
            taken.bind(("127.0.0.1", 0))
            taken.listen(1)
            port = taken.getsockname()[1]
            result = self.run_script(f'print(http.serve({port}));\nprint("after");')
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stdout, f"Starting HTTP server on port {port}\nafter\n".encode())
        self.assertIn(b"Failed to bind to port: Address already in use (os error 98)\n",
                      result.stderr)

    def test_port_must_be_a_number(self):
        result = self.run_script('http.serve("8080");\nhttp.serve();\nprint("after");')
        self.assertEqual(result.stdout, b"after\n")
        self.assertIn(b"Error in expression: Port must be a number\n", result.stderr)
        self.assertIn(b"Error in expression: serve requires a port number\n", result.stderr)

    def test_port_keeps_its_low_16_bits(self):
        port = free_port()
        server = Server(f"use http;\nhttp.page(\"/\", \"wrapped\");\nhttp.serve({port + 65536 * 3}.75);\n",
                        port)
        try:
            server.wait_listening()
            self.assertEqual(server.output().split(b"\n")[0],
                             f"Starting HTTP server on port {port}".encode())
            self.assertEqual(get(port, "/"), page("wrapped"))
        finally:
            server.stop()

    def test_no_pages_answers_404(self):
        port = free_port()
        server = Server(f"use http;\nhttp.serve({port});\n", port)
        try:
            server.wait_listening()
            self.assertEqual(curl("-i", f"http://127.0.0.1:{port}/"), NOT_FOUND)
        finally:
            server.stop()


class ConnectionLimitTest(unittest.TestCase):
    DESCRIPTORS = 64  # the server's descriptor limit: far fewer than the flood

    def test_flood_beyond_the_cap_keeps_the_server_answering(self):
        port = free_port()
        limit = self.DESCRIPTORS
        server = Server(f'use http;\nhttp.page("/", "still here");\nhttp.serve({port});\n', port,
                        preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_NOFILE,
                                                              (limit, limit)))
        flood = []
        try:
            server.wait_listening()
            for _ in range(5 * limit):
                flood.append(socket.create_connection(("127.0.0.1", port), timeout=10))
            start = time.monotonic()
            self.assertEqual(get(port, "/"), page("still here"))
            self.assertLess(time.monotonic() - start, 2.0)
            # The oldest connections made room for the newer ones at once,
            # long before any idle limit; the newest are still open.
            closed = 0
            for s in flood[:4 * limit]:
                s.settimeout(2)
                closed += s.recv(100) == b""
            self.assertEqual(closed, 4 * limit)
            for s in flood[-10:]:
                s.setblocking(False)
                self.assertRaises(BlockingIOError, s.recv, 100)
            self.assertIsNone(server.proc.poll())
            self.assertEqual(server.errors(), b"")
        finally:
            for s in flood:
                s.close()
            server.stop()

    def test_running_out_of_descriptors_is_reported_once(self):
        port = free_port()
        server = Server(f'use http;\nhttp.page("/", "still here");\nhttp.serve({port});\n', port)
        flood = []
        try:
            server.wait_listening()
            # Lowered while serving: the server finds out from accept.
            resource.prlimit(server.proc.pid, resource.RLIMIT_NOFILE, (24, 24))
            for _ in range(60):
                flood.append(socket.create_connection(("127.0.0.1", port), timeout=10))
            for _ in range(3):
                start = time.monotonic()
                self.assertEqual(get(port, "/"), page("still here"))
                self.assertLess(time.monotonic() - start, 2.0)
            self.assertEqual(server.errors(),
                             b"Connection error: Too many open files (os error 24)\n")
        finally:
            for s in flood:
                s.close()
            server.stop()


class TextFunctionsTest(unittest.TestCase):
    """The functions that only build text, reached through the interpreter."""

    def test_json_status_template_and_item_imports(self):
        with tempfile.TemporaryDirectory(prefix="drevel-http-text-") as tmp:
            with open(os.path.join(tmp, "page.html"), "wb") as f:
                f.write("<p>{{ name }} \u00e9</p>\n".encode())
            with open(os.path.join(tmp, "latin1.html"), "wb") as f:
                f.write(b"caf\xe9")
            with open(os.path.join(tmp, "s.dv"), "w") as f:
                f.write("""use http;
use http { json, status };

def main() {
    print(http.json([1, 2.5, true, "a\\"b", pop([]), [], {k: [2.0]}]));
    print(json({}));
    print(http.status(404));
    print(status(200, "Fine"));
    print(http.status(301.9));
    print(http.template("page.html"));
    http.template("missing.html");
    http.template("latin1.html");
    http.status("200");
    http.nope();
}
""")
            result = subprocess.run([DREVEL, "s.dv"], cwd=tmp, capture_output=True, timeout=30)
        self.assertEqual(result.stdout.decode(), "\n".join([
            '[1,2.5,true,"a\\"b",null,[],{"k":[2]}]', "{}", "HTTP/1.1 404 Not Found",
            "HTTP/1.1 200 Fine", "HTTP/1.1 301 Moved Permanently",
            "<p>{{ name }} \u00e9</p>\n\n"]))
        error = "\x1b[31m[\x1b[91mERROR\x1b[31m]\x1b[0m "
        self.assertEqual(result.stderr.decode(), "".join(error + line + "\n" for line in [
            "Error in expression: Failed to read template: No such file or directory (os error 2)",
            "Error in expression: Failed to read template: stream did not contain valid UTF-8",
            "Error in expression: Status code must be a number",
            "HTTP module has no function 'nope'",
            "Error in expression: HTTP module has no function 'nope'",
        ]))

    def test_json_output_parses(self):
        # Raw control bytes sit in the script's string literal as they are.
        script = ('use http;\nprint(http.json({text: ["a\\"b", "back\\\\slash", '
                  '"\x01\x1f\x7f\\t\\r\\n", "\u00e9\u2028"], '
                  'numbers: [sqrt(-1), pow(10, 400), 0 - pow(10, 400), 2.5, -3, 0.1], '
                  'other: [true, pop([]), [], {}]}));\n')
        with tempfile.TemporaryDirectory(prefix="drevel-http-json-") as tmp:
            with open(os.path.join(tmp, "s.dv"), "w") as f:
                f.write(script)
            result = subprocess.run([DREVEL, "s.dv"], cwd=tmp, capture_output=True, timeout=30)
        self.assertEqual(result.stderr, b"")
        self.assertEqual(json.loads(result.stdout), {
            "text": ['a"b', "back\\slash", "\x01\x1f\x7f\t\r\n", "\u00e9\u2028"],
            "numbers": [None, None, None, 2.5, -3, 0.1],
            "other": [True, None, [], {}],
        })


def main():
    global DREVEL
    if len(sys.argv) < 2:
        sys.exit("usage: test_http_server.py DREVEL")
    DREVEL = os.path.abspath(sys.argv.pop(1))
    signal.alarm(ALARM_SECONDS)  # a hung server must not hang the suite
    unittest.main(verbosity=2)


if __name__ == "__main__":
    main()
