#!/usr/bin/env python3
"""http.get, http.post and http.send against a real server on 127.0.0.1.

Usage: test_http_client.py DREVEL
A small python server records the exact bytes of every request it receives
and answers with fixed bytes chosen by the request path; drevel scripts send
the requests. Bounded by an alarm; the server thread is stopped at the end.
"""
import os
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import unittest

from process_support import free_port

DREVEL = None
ALARM_SECONDS = 120

OK = b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nok"
ANSWERS = {
    b"/bad-utf8": b"HTTP/1.1 200 OK\r\n\r\ncaf\xe9",
    b"/big": b"HTTP/1.1 200 OK\r\n\r\n" + b"z" * 1_000_000,
    b"/unicode": "HTTP/1.1 200 OK\r\n\r\n\u00e9\u4e2d\U0001F600".encode(),
    b"/nothing": b"",
}
ERROR = "\x1b[31m[\x1b[91mERROR\x1b[31m]\x1b[0m Error in expression: "


class RecordingServer(threading.Thread):
    """Answers one connection at a time and keeps each request's raw bytes."""

    def __init__(self):
        super().__init__(daemon=True)
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.listener.settimeout(0.2)
        self.port = self.listener.getsockname()[1]
        self.requests = []
        self.stopping = threading.Event()

    def run(self):
        while not self.stopping.is_set():
            try:
                conn, _ = self.listener.accept()
            except socket.timeout:
                continue
            with conn:
                conn.settimeout(10)
                request = self.read_request(conn)
                self.requests.append(request)
                path = request.split(b" ")[1] if request.count(b" ") >= 1 else b""
                conn.sendall(ANSWERS.get(path, OK))

    @staticmethod
    def read_request(conn):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = conn.recv(65536)
            if not chunk:
                return data
            data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        length = 0
        for line in head.split(b"\r\n")[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value.strip())
        while len(body) < length:
            chunk = conn.recv(65536)
            if not chunk:
                break
            body += chunk
        return head + b"\r\n\r\n" + body

    def stop(self):
        self.stopping.set()
        self.join(timeout=5)
        self.listener.close()


def expected_request(method, path, host, body=b""):
    return (method + b" " + path + b" HTTP/1.1\r\nHost: " + host +
            b"\r\nConnection: close\r\nContent-Length: " + str(len(body)).encode() +
            b"\r\n\r\n" + body)


class ClientTest(unittest.TestCase):
    def setUp(self):
        self.server = RecordingServer()
        self.server.start()
        self.base = f"http://127.0.0.1:{self.server.port}"

    def tearDown(self):
        self.server.stop()

    def run_script(self, body):
        with tempfile.TemporaryDirectory(prefix="drevel-http-client-") as tmp:
            with open(os.path.join(tmp, "c.dv"), "w") as f:
                f.write("use http;\n\ndef main() {\n" + body + "\n}\n")
            return subprocess.run([DREVEL, "c.dv"], cwd=tmp, capture_output=True, timeout=60)

    def test_exact_request_bytes_of_each_function(self):
        result = self.run_script(f"""
    print(http.get("{self.base}/api?x=1#frag"));
    print(http.post("{self.base}/form", "name=drevel"));
    print(http.send("{self.base}/put", "stra\u00dfe", 12));
    print(http.send("{self.base}", "delete", ""));
    print(http.post("  \t{self.base}/trim \n", [1, "a"]));
    print(http.get("127.0.0.1:{self.server.port}"));
    print(http.get("http://127.0.0.1:+{self.server.port}/plus"));
""")
        self.assertEqual(result.stderr, b"")
        self.assertEqual(result.stdout, (OK + b"\n") * 7)
        host = b"127.0.0.1"
        self.assertEqual(self.server.requests, [
            expected_request(b"GET", b"/api?x=1#frag", host),
            expected_request(b"POST", b"/form", host, b"name=drevel"),
            expected_request(b"STRASSE", b"/put", host, b"12"),
            expected_request(b"DELETE", b"/", host),
            expected_request(b"POST", b"/trim", host, b"[1, a]"),
            expected_request(b"GET", b"/", host),
            expected_request(b"GET", b"/plus", host),
        ])

    def test_host_name_is_resolved(self):
        # localhost may resolve to ::1 first, where nothing listens: the next
        # address must be tried.
        result = self.run_script(f'print(http.get("http://localhost:{self.server.port}/n"));')
        self.assertEqual(result.stderr, b"")
        self.assertEqual(result.stdout, OK + b"\n")
        self.assertEqual(self.server.requests, [expected_request(b"GET", b"/n", b"localhost")])

    def test_answers_are_returned_whole(self):
        result = self.run_script(f"""
    print(len(http.get("{self.base}/big")));
    print(http.get("{self.base}/unicode"));
    print(len(http.get("{self.base}/nothing")));
""")
        self.assertEqual(result.stderr, b"")
        self.assertEqual(result.stdout, str(len(ANSWERS[b"/big"])).encode() + b"\n" +
                         ANSWERS[b"/unicode"] + b"\n0\n")

    def test_failures(self):
        closed = free_port()
        result = self.run_script(f"""
    http.get("{self.base}/bad-utf8");
    http.get("https://127.0.0.1:{self.server.port}/");
    http.get("http://127.0.0.1:{closed}/");
    http.get();
    http.post("{self.base}");
    http.send("{self.base}", "get");
    print("done");
""")
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stdout, b"done\n")
        expected = [
            "Failed to read response: stream did not contain valid UTF-8",
            "HTTPS not supported, use HTTP",
            f"Failed to connect to 127.0.0.1:{closed}: Connection refused (os error 111)",
            "get requires a url",
            "post requires a url and body",
            "send requires url, method, and optionally body",
        ]
        self.assertEqual(result.stderr.decode(), "".join(ERROR + m + "\n" for m in expected))
        # Only the first request reached the server: https was refused locally.
        self.assertEqual(self.server.requests,
                         [expected_request(b"GET", b"/bad-utf8", b"127.0.0.1")])

    def test_unusable_ports_mean_port_80(self):
        with socket.socket() as probe:
            if probe.connect_ex(("127.0.0.1", 80)) == 0:
                self.skipTest("something listens on port 80")
        result = self.run_script("""
    http.get("http://127.0.0.1:abc/");
    http.get("http://127.0.0.1:70000/");
    http.get("http://127.0.0.1:/");
""")
        lines = result.stderr.decode().splitlines()
        self.assertEqual(lines, [ERROR + "Failed to connect to 127.0.0.1:80: "
                                 "Connection refused (os error 111)"] * 3)
        self.assertEqual(self.server.requests, [])


def main():
    global DREVEL
    if len(sys.argv) < 2:
        sys.exit("usage: test_http_client.py DREVEL")
    DREVEL = os.path.abspath(sys.argv.pop(1))
    signal.alarm(ALARM_SECONDS)
    unittest.main(verbosity=2)


if __name__ == "__main__":
    main()
