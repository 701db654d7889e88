#!/usr/bin/env python3
"""Web applications on http.serve: handlers, the request dict, the response
forms, static files, keep-alive and the refusals, driven by real clients
(curl, python3's http.client and raw sockets) on 127.0.0.1; the docs' web
example; Ctrl-C of http.serve at the interactive prompt and in a script.

Usage: test_http_handlers.py DREVEL
Every server is stopped by its process id; the whole run is bounded by an
alarm.
"""
import http.client
import json
import os
import pty
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

from process_support import free_port, http_page as page, read_tree, run_source

DREVEL = None
ALARM_SECONDS = 240
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
NOT_FOUND = b"HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n\r\nNot Found"

APP = r"""
use http

let count = 0

def counter(request) {
    global count
    count += 1
    return concat("count ", count)
}

# The whole request back as JSON, so the test can look at every field.
def echo(request) {
    return {json: request}
}

def answer(request) {
    let kind = request.params.kind
    match kind {
        "text" => { return "<p>text</p>" }
        "number" => { return 42 }
        "nothing" => { return print() }
        "dict" => { return {status: 201, body: "made", type: "text/plain",
                            headers: {x_made: "yes", content_length: "999", bad: "a\r\ninjected: 1"}} }
        "json" => { return {status: 202, json: {list: [1, 2.5, "x"], ok: true}} }
        "redirect" => { return http.redirect("/elsewhere") }
        "moved" => { return http.redirect("/new", 301) }
        "error" => { return undefined_function(1) }
        "status" => { return {status: "teapot"} }
    }
    return "other"
}

http.page("/page", "fixed page")
http.handle("/page", counter)
http.handle("/count", counter)
http.handle("/echo/*", echo)
http.handle("GET", "/answer/:kind", answer)
http.handle("PUT", "/only-put", counter)
http.handle("DELETE", "/only-put", counter)
http.handle("/first", counter)
http.page("/first", "never: the handler came first")
http.static("/files", "www")
http.static("/", "www/root")
http.limit(LIMIT)
http.serve(PORT)
"""

BODY_LIMIT = 4096


class Server:
    """One drevel process serving a script from a temporary folder."""

    def __init__(self, script, files=None, port=None, name="server.dv"):
        self.port = port or free_port()
        self.dir = tempfile.mkdtemp(prefix="drevel-http-app-")
        for file, data in (files or {}).items():
            path = os.path.join(self.dir, file)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        with open(os.path.join(self.dir, name), "w") as f:
            f.write(script.replace("PORT", str(self.port)))
        with open(os.path.join(self.dir, "port.txt"), "w") as f:
            f.write(f"{self.port}\n")
        self.out_path = os.path.join(self.dir, "out.log")
        self.err_path = os.path.join(self.dir, "err.log")
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            self.proc = subprocess.Popen([DREVEL, name], cwd=self.dir, stdout=out,
                                         stderr=err, stdin=subprocess.DEVNULL)

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def errors(self):
        return re.sub(rb"\x1b\[[0-9;]*m", b"", self.read(self.err_path)).decode()

    def wait_listening(self, seconds=20, host="localhost"):
        expected = f"Server listening on http://{host}:{self.port}\n".encode()
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if expected in self.read(self.out_path):
                return
            if self.proc.poll() is not None:
                raise AssertionError(f"server ended: {self.read(self.out_path)!r} {self.errors()}")
            time.sleep(0.02)
        raise AssertionError("no listening line")

    def stop(self):
        if self.proc.poll() is None:
            os.kill(self.proc.pid, signal.SIGKILL)
            self.proc.wait(timeout=10)
        shutil.rmtree(self.dir, ignore_errors=True)


def exchange(port, data, timeout=10):
    """Sends data, then reads until the server closes."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(data)
        chunks = []
        while chunk := s.recv(1 << 16):
            chunks.append(chunk)
        return b"".join(chunks)


def split_response(raw):
    head, _, body = raw.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(": ")
        headers[name.lower()] = value
    return lines[0], headers, body


def curl(*args):
    done = subprocess.run(["curl", "-s", "--max-time", "10", *args], capture_output=True,
                          timeout=20)
    return done.stdout


PICTURE = bytes(range(256)) * 64 + b"\x00\xff\xfe not UTF-8 \xc3\x28"


class HandlerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        outside = tempfile.mkdtemp(prefix="drevel-http-outside-")
        with open(os.path.join(outside, "secret.txt"), "w") as f:
            f.write("secret")
        cls.outside = outside
        cls.server = Server(APP.replace("LIMIT", str(BODY_LIMIT)), {
            "www/cat.png": PICTURE,
            "www/notes/readme.txt": b"plain words\n",
            "www/root/index.html": b"<h1>root</h1>",
            "secret.txt": b"one level up",
        })
        www = os.path.join(cls.server.dir, "www")
        os.symlink(os.path.join(outside, "secret.txt"), os.path.join(www, "escape.txt"))
        os.symlink(outside, os.path.join(www, "escape-dir"))
        os.symlink(os.path.join(www, "cat.png"), os.path.join(www, "alias.png"))
        cls.server.wait_listening()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.outside, ignore_errors=True)

    def connection(self):
        return http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=10)

    def request(self, method, path, body=None, headers=None):
        c = self.connection()
        c.request(method, path, body=body, headers=headers or {})
        r = c.getresponse()
        data = r.read()
        c.close()
        return r, data

    def echo(self, method, path, body=None, headers=None):
        r, data = self.request(method, path, body, headers)
        self.assertEqual((r.status, r.getheader("Content-Type")), (200, "application/json"))
        return json.loads(data)

    def test_request_fields(self):
        got = self.echo("POST", "/echo/a%20b/c?name=B%C3%B6b+x&n=1&flag&n=2",
                        body=b"first=Ada+L&last=%C3%A9%26", headers={
                            "Content-Type": "application/x-www-form-urlencoded",
                            "X-Mixed-Case": "Value"})
        self.assertEqual(got["method"], "POST")
        self.assertEqual(got["path"], "/echo/a b/c")
        self.assertEqual(got["query"], {"name": "Böb x", "n": "2", "flag": ""})
        self.assertEqual(got["params"], {"*": "a b/c"})
        self.assertEqual(got["headers"]["x-mixed-case"], "Value")
        self.assertEqual(got["headers"]["host"], f"127.0.0.1:{self.server.port}")
        self.assertEqual(got["body"], "first=Ada+L&last=%C3%A9%26")
        self.assertEqual(got["form"], {"first": "Ada L", "last": "é&"})
        self.assertIsNone(got["json"])
        self.assertEqual(got["remote"], "127.0.0.1")
        # Not a form: the body stays text and form is empty.
        got = self.echo("PUT", "/echo/", body=b"raw text", headers={"Content-Type": "text/plain"})
        self.assertEqual((got["method"], got["body"], got["form"], got["query"]),
                         ("PUT", "raw text", {}, {}))

    def test_json_bodies(self):
        got = self.echo("POST", "/echo/j", body=b'{"name": "Ada", "tags": ["x", 2, 2.5, null, true]}',
                        headers={"Content-Type": "application/json; charset=utf-8"})
        self.assertEqual(got["json"], {"name": "Ada", "tags": ["x", 2, 2.5, None, True]})
        got = self.echo("POST", "/echo/j", body=b'[1]', headers={"Content-Type": "application/x+json"})
        self.assertEqual(got["json"], [1])
        # JSON text under another type stays text.
        got = self.echo("POST", "/echo/j", body=b'[1]', headers={"Content-Type": "text/plain"})
        self.assertEqual((got["json"], got["body"]), (None, "[1]"))
        r, data = self.request("POST", "/echo/j", body=b'{"name": }',
                               headers={"Content-Type": "application/json"})
        self.assertEqual(r.status, 400)
        self.assertTrue(data.startswith(b"Invalid JSON: line 1, column "), data)

    def test_named_segments(self):
        r, data = self.request("GET", "/answer/text")
        self.assertEqual((r.status, data), (200, b"<p>text</p>"))
        # A segment is compared decoded; an empty one does not fit ":kind".
        self.assertEqual(self.request("GET", "/answer/te%78t")[1], b"<p>text</p>")
        self.assertEqual(exchange(self.server.port, b"GET /answer/ HTTP/1.1\r\n\r\n"), NOT_FOUND)
        self.assertEqual(exchange(self.server.port, b"GET /answer/a/b HTTP/1.1\r\n\r\n"), NOT_FOUND)

    def test_response_forms(self):
        cases = [
            ("text", 200, "text/html; charset=utf-8", b"<p>text</p>", {}),
            ("number", 200, "text/html; charset=utf-8", b"42", {}),
            ("nothing", 204, None, b"", {}),
            ("dict", 201, "text/plain", b"made", {"x-made": "yes"}),
            ("json", 202, "application/json", b'{"list":[1,2.5,"x"],"ok":true}', {}),
            ("redirect", 302, "text/html; charset=utf-8", b"", {"location": "/elsewhere"}),
            ("moved", 301, "text/html; charset=utf-8", b"", {"location": "/new"}),
            ("status", 500, "text/html; charset=utf-8", b"", {}),
        ]
        for kind, status, type_, body, extra in cases:
            raw = exchange(self.server.port,
                           f"GET /answer/{kind} HTTP/1.1\r\nConnection: close\r\n\r\n".encode())
            line, headers, got = split_response(raw)
            self.assertEqual(int(line.split(" ")[1]), status, kind)
            self.assertEqual(headers.get("content-type"), type_, kind)
            if type_ == "application/json":  # entries come in no fixed order
                self.assertEqual(json.loads(got), json.loads(body), kind)
            else:
                self.assertEqual(got, body, kind)
            self.assertEqual(raw.lower().count(b"content-length"), int(status != 204), kind)
            if status != 204:
                self.assertEqual(headers["content-length"], str(len(body)), kind)
            for name, value in extra.items():
                self.assertEqual(headers.get(name), value, kind)
            # A handler cannot break the head or contradict the length.
            self.assertNotIn("injected", headers, kind)
            self.assertNotIn("bad", headers, kind)

    def test_failing_handler_gives_500_and_the_server_goes_on(self):
        before = self.server.errors()
        r, data = self.request("GET", "/answer/error")
        self.assertEqual((r.status, data), (500, b"Internal Server Error\n"))
        self.assertEqual(self.request("GET", "/answer/text")[1], b"<p>text</p>")
        new = self.server.errors()[len(before):]
        self.assertIn("[ERROR] Function 'undefined_function' does not exist\n", new)
        self.assertIn("[ERROR] Error in handler for GET /answer/error: "
                      "Function 'undefined_function' does not exist\n", new)

    def test_state_persists_and_routes_keep_their_order(self):
        first = int(self.request("GET", "/count")[1].split()[1])
        second = int(self.request("POST", "/count", body=b"x")[1].split()[1])
        self.assertGreater(second, first)
        # A page registered before a handler of the same path wins, and the
        # other way round; pages keep their exact response and close.
        self.assertEqual(exchange(self.server.port, b"GET /page HTTP/1.1\r\n\r\n"),
                         page("fixed page"))
        self.assertTrue(self.request("GET", "/first")[1].startswith(b"count "))

    def test_wrong_method_and_bad_requests(self):
        r, _ = self.request("GET", "/only-put")
        self.assertEqual((r.status, r.getheader("Allow")), (405, "PUT, DELETE"))
        self.assertEqual(self.request("POST", "/answer/text")[0].status, 405)
        # HEAD goes to GET's handler, without the body.
        raw = exchange(self.server.port, b"HEAD /answer/json HTTP/1.1\r\nConnection: close\r\n\r\n")
        line, headers, body = split_response(raw)
        self.assertEqual((line, headers["content-length"], body), ("HTTP/1.1 202 Unknown", "30", b""))
        for request, status in [
            (b"GET /count HTTP/1.1\r\nBroken header line\r\n\r\n", 400),
            (b"GET /count HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", 400),
            (b"POST /count HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", 400),
            (b"GET /count HTTP/1.1\r\nX-Big: " + b"a" * 9000 + b"\r\n\r\n", 431),
            (b"POST /count HTTP/1.1\r\nContent-Length: %d\r\n\r\n" % (BODY_LIMIT + 1), 413),
            (b"POST /count HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
             + b"800\r\n" + b"x" * 0x800 + b"\r\n" + b"800\r\n" + b"x" * 0x800 + b"\r\n"
             + b"1\r\nx\r\n0\r\n\r\n", 413),
        ]:
            line, headers, _ = split_response(exchange(self.server.port, request))
            self.assertEqual(int(line.split(" ")[1]), status, request[:60])
            self.assertEqual(headers["connection"], "close")
        # Exactly at the limit is fine.
        r, data = self.request("POST", "/count", body=b"x" * BODY_LIMIT)
        self.assertEqual(r.status, 200)

    def test_keep_alive_pipelining_and_chunked_bodies(self):
        c = self.connection()
        for _ in range(3):
            c.request("GET", "/answer/text")
            r = c.getresponse()
            self.assertEqual((r.status, r.read(), r.getheader("Connection")),
                             (200, b"<p>text</p>", "keep-alive"))
        c.request("POST", "/echo/chunked", body=iter([b"par", b"ts ", b"joined"]),
                  encode_chunked=True)
        self.assertEqual(json.loads(c.getresponse().read())["body"], "parts joined")
        c.close()
        # Pipelined requests are answered in order; HTTP/1.0 without
        # keep-alive and "Connection: close" end the connection.
        raw = exchange(self.server.port,
                       b"GET /answer/text HTTP/1.1\r\n\r\n"
                       b"POST /echo/x HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello"
                       b"GET /answer/number HTTP/1.0\r\n\r\n"
                       b"GET /answer/text HTTP/1.1\r\n\r\n")
        self.assertEqual(raw.count(b"HTTP/1.1 200 OK"), 3)
        self.assertIn(b'"body":"hello"', raw)
        self.assertTrue(raw.endswith(b"Connection: close\r\n\r\n42"))
        # A page route after a handler on the same connection: its own
        # response, then the connection closes.
        raw = exchange(self.server.port, b"GET /answer/text HTTP/1.1\r\n\r\nGET /page HTTP/1.1\r\n\r\n")
        self.assertTrue(raw.endswith(page("fixed page")))

    def test_a_connection_serves_at_most_1000_requests(self):
        with socket.create_connection(("127.0.0.1", self.server.port), timeout=20) as s:
            s.sendall(b"GET /answer/number HTTP/1.1\r\n\r\n" * 1001)
            chunks = []
            while chunk := s.recv(1 << 16):
                chunks.append(chunk)
        answers = b"".join(chunks).split(b"HTTP/1.1 200 OK\r\n")[1:]
        self.assertEqual(len(answers), 1000)
        self.assertEqual(sum(b"Connection: keep-alive" in a for a in answers), 999)
        self.assertIn(b"Connection: close", answers[-1])

    def test_static_files(self):
        port = self.server.port
        r, data = self.request("GET", "/files/cat.png")
        self.assertEqual((r.status, r.getheader("Content-Type"), data), (200, "image/png", PICTURE))
        self.assertEqual(curl(f"http://127.0.0.1:{port}/files/alias.png"), PICTURE)
        r, data = self.request("GET", "/files/notes/readme.txt")
        self.assertEqual((r.getheader("Content-Type"), data),
                         ("text/plain; charset=utf-8", b"plain words\n"))
        self.assertEqual(self.request("GET", "/")[1], b"<h1>root</h1>")
        modified = r.getheader("Last-Modified")
        r, data = self.request("GET", "/files/notes/readme.txt", headers={"If-Modified-Since": modified})
        self.assertEqual((r.status, data), (304, b""))
        r, data = self.request("GET", "/files/notes/readme.txt",
                               headers={"If-Modified-Since": "Thu, 01 Jan 1970 00:00:01 GMT"})
        self.assertEqual((r.status, data), (200, b"plain words\n"))
        r, data = self.request("HEAD", "/files/cat.png")
        self.assertEqual((r.status, r.getheader("Content-Length"), data),
                         (200, str(len(PICTURE)), b""))
        # Nothing outside the folder, however the path is spelt.
        for path in ["/files/../secret.txt", "/files/%2e%2e/secret.txt", "/files/%2E%2E/secret.txt",
                     "/files/notes/..%2f..%2fsecret.txt", "/files//etc/passwd",
                     "/files/%2fetc%2fpasswd", "/files/escape.txt", "/files/escape-dir/secret.txt",
                     "/files/missing.png", "/files/notes", "/files/cat.png%00.txt"]:
            raw = exchange(port, f"GET {path} HTTP/1.1\r\n\r\n".encode())
            self.assertEqual(raw, NOT_FOUND, path)
        self.assertEqual(curl("--path-as-is", f"http://127.0.0.1:{port}/files/../../../etc/passwd"),
                         b"Not Found")

    def test_slow_clients_do_not_delay_handler_traffic(self):
        opened = []
        try:
            for _ in range(20):
                s = socket.create_connection(("127.0.0.1", self.server.port), timeout=10)
                opened.append(s)
            slow = opened[10:]
            for s in slow:
                s.sendall(b"POST /count HTTP/1.1\r\nContent-Length: 100\r\n\r\n")
            slowest = 0
            c = self.connection()
            for step in range(4):
                for s in slow:
                    s.sendall(b"a")
                start = time.monotonic()
                for _ in range(5):
                    c.request("GET", "/answer/text")
                    self.assertEqual(c.getresponse().read(), b"<p>text</p>")
                r, data = self.request("GET", "/files/cat.png")
                self.assertEqual(data, PICTURE)
                slowest = max(slowest, time.monotonic() - start)
                time.sleep(0.3)
            c.close()
            self.assertLess(slowest, 1.0)
        finally:
            for s in opened:
                s.close()


class ServeTest(unittest.TestCase):
    def test_argument_errors(self):
        done = run_source(DREVEL, "use http\n" + 'http.handle("/x", "text")\nhttp.handle("/x")\n'
                               'http.static("/s", "no-such-folder")\nhttp.limit("big")\n'
                               'http.serve(1, "nowhere")\nprint("after")')
        self.assertEqual(done.stdout, b"after\n")
        errors = re.sub(rb"\x1b\[[0-9;]*m", b"", done.stderr).decode()
        for message in ["handle requires a function", "handle requires a path and a function",
                        "Failed to serve folder: No such file or directory (os error 2)",
                        "Limit must be a number of bytes", "Invalid address: nowhere"]:
            self.assertIn(f"[ERROR] Error in expression: {message}\n", errors)

    def test_two_processes_share_a_port(self):
        script = ('use http\ndef who(request) {\n    return NAME\n}\n'
                  'http.handle("/", who)\nhttp.serve(PORT, "127.0.0.1")\n')
        first = Server(script.replace("NAME", '"first"'))
        second = Server(script.replace("NAME", '"second"'), port=first.port)
        try:
            first.wait_listening(host="127.0.0.1")
            second.wait_listening(host="127.0.0.1")
            seen = set()
            for _ in range(200):
                raw = exchange(first.port, b"GET / HTTP/1.1\r\nConnection: close\r\n\r\n")
                seen.add(split_response(raw)[2])
                if len(seen) == 2:
                    break
            self.assertEqual(seen, {b"first", b"second"})
        finally:
            first.stop()
            second.stop()

    def test_docs_web_example(self):
        """The "Web applications" example of docs/modules.md, as a user runs it."""
        with open(os.path.join(ROOT, "docs", "modules.md"), encoding="utf-8") as f:
            guide = f.read()
        section = guide[guide.index("### Web applications"):]
        source = re.search(r"```drevel norun\n(.*?)```", section, re.S).group(1)
        self.assertIn("http.serve(8080)", source)
        server = Server(source.replace("http.serve(8080)", "http.serve(PORT)"),
                        {"pictures/dot.png": PICTURE})
        try:
            server.wait_listening()
            base = f"http://127.0.0.1:{server.port}"
            self.assertEqual(curl(f"{base}/count"), b"Visits: 1")
            self.assertEqual(curl(f"{base}/count"), b"Visits: 2")
            self.assertEqual(curl("-d", "name=Ada+Lovelace", f"{base}/hello"),
                             b"<p>Hello, Ada Lovelace!</p>")
            self.assertEqual(json.loads(curl(f"{base}/api/words/drevel")),
                             {"word": "drevel", "length": 6})
            self.assertEqual(curl(f"{base}/pictures/dot.png"), PICTURE)
            self.assertEqual(server.errors(), "")
        finally:
            server.stop()

    def test_handler_output_reaches_a_log_while_serving(self):
        server = Server('use http\ndef log(request) {\n    print(concat("seen ", request.path))\n'
                        '    return "ok"\n}\nhttp.handle("/*", log)\nhttp.serve(PORT)\n')
        try:
            server.wait_listening()
            self.assertEqual(curl(f"http://127.0.0.1:{server.port}/a%20b"), b"ok")
            deadline = time.monotonic() + 5
            while b"seen /a b\n" not in server.read(server.out_path):
                self.assertLess(time.monotonic(), deadline, server.read(server.out_path))
                time.sleep(0.05)
        finally:
            server.stop()

    def test_notes_app_example(self):
        """examples/notes_app/ as its header says to use it: form, API, files."""
        files = read_tree(os.path.join(ROOT, "examples", "notes_app"))
        server = Server(files.pop("main.dv").decode(), files, name="main.dv")
        try:
            server.wait_listening()
            base = f"http://127.0.0.1:{server.port}"
            raw = curl("-i", "-d", "text=<b>milk</b>", f"{base}/notes")
            self.assertTrue(raw.startswith(b"HTTP/1.1 303 See Other\r\nLocation: /\r\n"), raw)
            curl("-d", "text=bread", f"{base}/notes")
            self.assertIn(b"&lt;b&gt;milk&lt;/b&gt;</li>", curl(f"{base}/"))
            answer = curl("-w", " %{http_code}", "-H", "Content-Type: application/json",
                          "-d", '{"text": "eggs"}', f"{base}/api/notes")
            body, _, status = answer.rpartition(b" ")
            self.assertEqual((json.loads(body), status), ({"id": 3, "text": "eggs"}, b"201"))
            self.assertEqual(json.loads(curl(f"{base}/api/notes")),
                             {"count": 3, "notes": [{"id": 1, "text": "<b>milk</b>"},
                                                    {"id": 2, "text": "bread"},
                                                    {"id": 3, "text": "eggs"}]})
            self.assertEqual(json.loads(curl(f"{base}/api/notes/2")), {"id": 2, "text": "bread"})
            self.assertEqual(curl("-w", "%{http_code}", f"{base}/api/notes/7"),
                             b'{"error":"no such note"}404')
            self.assertEqual(curl(f"{base}/static/style.css"), files["static/style.css"])
            self.assertEqual(server.errors(), "")
        finally:
            server.stop()


class InterruptTest(unittest.TestCase):
    def test_ctrl_c_ends_serve_at_the_prompt_and_keeps_the_session(self):
        port = free_port()
        home = tempfile.mkdtemp(prefix="drevel-http-repl-")
        pid, fd = pty.fork()
        if pid == 0:
            env = dict(os.environ, HOME=home, TERM="dumb")
            os.execve(DREVEL, [DREVEL], env)
        seen = b""

        def expect(text, seconds=10):
            nonlocal seen
            deadline = time.monotonic() + seconds
            while text not in seen:
                left = deadline - time.monotonic()
                self.assertGreater(left, 0, f"waited for {text!r}, saw {seen[-300:]!r}")
                if select.select([fd], [], [], left)[0]:
                    seen += os.read(fd, 4096)
            seen = seen[seen.index(text) + len(text):]

        try:
            expect(b">>> ")
            os.write(fd, b"use http\r")
            expect(b">>> ")
            os.write(fd, b"let kept = 7\r")
            expect(b">>> ")
            os.write(fd, b'def hi(request) {\r    return concat("hi ", kept)\r}\r')
            expect(b">>> ")
            os.write(fd, b'http.handle("/", hi)\r')
            expect(b">>> ")
            for _ in range(2):  # serving twice: the first serve gave the port back
                os.write(fd, f"http.serve({port})\r".encode())
                expect(f"Server listening on http://localhost:{port}".encode())
                kept_open = socket.create_connection(("127.0.0.1", port), timeout=10)
                kept_open.sendall(b"GET / HTTP/1.1\r\n\r\n")
                self.assertTrue(kept_open.recv(4096).endswith(b"hi 7"))
                os.write(fd, b"\x03")
                expect(b"Interrupted")
                expect(b">>> ")
                # The listener and its connections are closed.
                kept_open.settimeout(5)
                self.assertEqual(kept_open.recv(100), b"")
                kept_open.close()
                self.assertRaises(ConnectionRefusedError, socket.create_connection,
                                  ("127.0.0.1", port), 5)
            os.write(fd, b"print(kept)\r")
            expect(b"7")
            os.write(fd, b"exit\r")
            expect(b"Goodbye!")
        finally:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            os.waitpid(pid, 0)
            os.close(fd)
            shutil.rmtree(home, ignore_errors=True)

    def test_ctrl_c_ends_a_script(self):
        server = Server('use http\nhttp.page("/", "x")\nhttp.serve(PORT)\n')
        try:
            server.wait_listening()
            os.kill(server.proc.pid, signal.SIGINT)
            self.assertEqual(server.proc.wait(timeout=10), -signal.SIGINT)
        finally:
            server.stop()


def main():
    global DREVEL
    if len(sys.argv) < 2:
        sys.exit("usage: test_http_handlers.py DREVEL")
    DREVEL = os.path.abspath(sys.argv.pop(1))
    signal.alarm(ALARM_SECONDS)
    unittest.main(verbosity=2)


if __name__ == "__main__":
    main()
