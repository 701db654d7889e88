#!/usr/bin/env python3
"""Runs the programs in examples/ the way the README tells a user to.

Usage: test_examples.py DREVEL

- Every examples/NAME.dv, and examples/FOLDER/main.dv for a program split into
  modules, runs from its own folder. Its standard output must equal NAME.out
  beside it when that file exists; in every case the exit status must be 0
  and there must be no ERROR line.
- Graphics examples (they use sdl2 or call window) are left to the graphics
  tests.
- Server examples (they call http.serve) run from a temporary folder (a copy
  of their own folder, for examples/FOLDER/main.dv) holding a port.txt with a
  free port; the test fetches / and the JSON endpoints it links to with curl,
  checks the answers and stops the server by its process id.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from process_support import free_port

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXAMPLES = os.path.join(ROOT, "examples")
RUN_SECONDS = 20
GRAPHICS = re.compile(r"^\s*use\s+sdl2\b|\bwindow\s*\(", re.MULTILINE)
SERVER = re.compile(r"\bhttp\.serve\s*\(")


def programs():
    found = []
    for name in sorted(os.listdir(EXAMPLES)):
        path = os.path.join(EXAMPLES, name)
        if name.endswith(".dv") and os.path.isfile(path):
            found.append(path)
        elif os.path.isdir(path) and os.path.isfile(os.path.join(path, "main.dv")):
            found.append(os.path.join(path, "main.dv"))
    return found


def curl(url):
    done = subprocess.run(["curl", "-s", "-S", "--max-time", "10", "-w", "\n%{http_code}", url],
                          capture_output=True, timeout=20)
    if done.returncode != 0:
        raise AssertionError(f"curl {url} failed: {done.stderr.decode(errors='replace')}")
    body, _, code = done.stdout.decode().rpartition("\n")
    return int(code), body


def check_plain(drevel, path):
    folder = os.path.dirname(path)
    done = subprocess.run([drevel, os.path.basename(path)], cwd=folder, capture_output=True,
                          stdin=subprocess.DEVNULL, timeout=RUN_SECONDS)
    problems = []
    out = done.stdout.decode(errors="replace")
    err = done.stderr.decode(errors="replace")
    if done.returncode != 0:
        problems.append(f"exit status {done.returncode}")
    if "ERROR" in err or "ERROR" in out:
        problems.append(f"reported errors:\n{err}")
    expected_path = path[:-len(".dv")] + ".out"
    if os.path.exists(expected_path):
        with open(expected_path, encoding="utf-8") as f:
            expected = f.read()
        if out != expected:
            problems.append(f"output differs from {os.path.relpath(expected_path, ROOT)}\n"
                            f"--- expected\n{expected}--- actual\n{out}")
    elif not out:
        problems.append("printed nothing")
    return problems


def check_server(drevel, path):
    problems = []
    folder = tempfile.mkdtemp(prefix="drevel-example-server-")
    port = free_port()
    if os.path.basename(path) == "main.dv":
        # A program split into files (modules, static folders) runs whole.
        shutil.copytree(os.path.dirname(path), folder, dirs_exist_ok=True)
    else:
        shutil.copy(path, folder)
    with open(os.path.join(folder, "port.txt"), "w") as f:
        f.write(f"{port}\n")
    out_path = os.path.join(folder, "out.log")
    err_path = os.path.join(folder, "err.log")
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        proc = subprocess.Popen([drevel, os.path.basename(path)], cwd=folder, stdout=out, stderr=err,
                                stdin=subprocess.DEVNULL)
    try:
        listening = f"Server listening on http://localhost:{port}\n"
        deadline = time.monotonic() + RUN_SECONDS
        while time.monotonic() < deadline:
            with open(out_path) as f:
                if listening in f.read():
                    break
            if proc.poll() is not None:
                break
            time.sleep(0.05)
        else:
            problems.append(f"no '{listening.strip()}' line within {RUN_SECONDS}s")
        if proc.poll() is not None:
            problems.append(f"server ended early with status {proc.returncode}")
            return problems

        code, body = curl(f"http://127.0.0.1:{port}/")
        if code != 200 or "<html" not in body or "</html>" not in body:
            problems.append(f"GET / gave {code}: {body[:200]}")
        links = re.findall(r'href="(/api/[^"]+)"', body)
        if not links:
            problems.append("the home page links to no /api/ endpoint")
        for link in links:
            code, body = curl(f"http://127.0.0.1:{port}{link}")
            try:
                data = json.loads(body)
            except ValueError as e:
                problems.append(f"GET {link} is not JSON ({e}): {body[:200]}")
                continue
            if code != 200 or not isinstance(data, dict) or not data:
                problems.append(f"GET {link} gave {code}: {body[:200]}")
        code, _ = curl(f"http://127.0.0.1:{port}/no-such-page")
        if code != 404:
            problems.append(f"an unknown page gave {code}, expected 404")
    finally:
        if proc.poll() is None:
            proc.kill()
        proc.wait(timeout=10)
    with open(err_path, encoding="utf-8", errors="replace") as f:
        err = f.read()
    if "ERROR" in err:
        problems.append(f"reported errors:\n{err}")
    shutil.rmtree(folder, ignore_errors=True)
    return problems


def check_tool_arguments(drevel):
    """The command-line tool example: a folder from its arguments, listed
    sorted; a folder that cannot be listed gives a message and status 1."""
    problems = []
    tool = os.path.join(EXAMPLES, "list_folder.dv")
    with tempfile.TemporaryDirectory() as work:
        os.mkdir(os.path.join(work, "sub"))
        for name, text in [("b.txt", "héllo"), ("a.txt", "")]:
            with open(os.path.join(work, name), "w", encoding="utf-8") as f:
                f.write(text)
        done = subprocess.run([drevel, tool, work], capture_output=True, text=True,
                              timeout=RUN_SECONDS)
        listed = [line.split() for line in done.stdout.splitlines()]
        if done.returncode != 0 or listed != [["sub/"], ["a.txt", "0"], ["b.txt", "5"]]:
            problems.append(f"list_folder.dv FOLDER gave {done.returncode}: {done.stdout!r}")
        done = subprocess.run([drevel, tool, os.path.join(work, "missing")], capture_output=True,
                              text=True, timeout=RUN_SECONDS)
        if done.returncode != 1 or "No such file or directory" not in done.stdout:
            problems.append(f"list_folder.dv MISSING gave {done.returncode}: {done.stdout!r}")
    return problems


def main():
    if len(sys.argv) != 2:
        print("usage: test_examples.py DREVEL", file=sys.stderr)
        return 2
    drevel = os.path.abspath(sys.argv[1])
    failures = 0
    checked = 0
    servers = 0
    for path in programs():
        with open(path, encoding="utf-8") as f:
            source = f.read()
        name = os.path.relpath(path, ROOT)
        # Every example, graphics included, comes out clean from `drevel check`.
        found = subprocess.run([drevel, "check", os.path.basename(path)], cwd=os.path.dirname(path),
                               capture_output=True, text=True, timeout=RUN_SECONDS)
        if found.returncode != 0 or found.stdout or found.stderr:
            print(f"FAIL {name}: drevel check reports\n{found.stdout}{found.stderr}")
            failures += 1
        if GRAPHICS.search(source):
            print(f"skip {name} (graphics)")
            continue
        try:
            if SERVER.search(source):
                servers += 1
                problems = check_server(drevel, path)
            else:
                problems = check_plain(drevel, path)
        except (subprocess.TimeoutExpired, AssertionError) as e:
            problems = [str(e)]
        checked += 1
        for problem in problems:
            print(f"FAIL {name}: {problem}")
        failures += bool(problems)
        if not problems:
            print(f"ok   {name}")
    for problem in check_tool_arguments(drevel):
        print(f"FAIL examples/list_folder.dv: {problem}")
        failures += 1
    print(f"{checked} examples checked, {failures} failed")
    if checked < 4 or servers < 1:
        print("FAIL expected at least four examples, one of them a server")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
