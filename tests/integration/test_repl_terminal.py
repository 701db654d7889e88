#!/usr/bin/env python3
"""The REPL on a terminal (a pseudo-terminal here): characters beyond ASCII,
Ctrl-C while an input runs (inside a function too), while input() waits, at
the prompt and at the continuation prompt, history saved line by line, Tab
completion; and Ctrl-C still ending a script run.

Usage: test_repl_terminal.py DREVEL
"""
import fcntl
import os
import pty
import select
import signal
import subprocess
import sys
import tempfile
import termios
import time

from process_support import check, failures

DEADLINE = 20  # seconds for any one expected text


class Terminal:
    def __init__(self, args, home):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            env = dict(os.environ, HOME=home, LANG="C.UTF-8", LC_ALL="C.UTF-8", TERM="xterm")
            os.execve(args[0], args, env)
        self.seen = b""

    def send(self, data):
        os.write(self.fd, data)

    def expect(self, text, what):
        """Reads until text appears after what was already matched."""
        end = time.monotonic() + DEADLINE
        while text.encode() not in self.seen:
            left = end - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                check(False, what, "waited for %r, saw %r" % (text, self.seen[-300:]))
                return False
            try:
                chunk = os.read(self.fd, 4096)
            except OSError:
                chunk = b""
            if not chunk:
                check(False, what, "ended before %r, saw %r" % (text, self.seen[-300:]))
                return False
            self.seen += chunk
        self.seen = self.seen[self.seen.index(text.encode()) + len(text.encode()):]
        return True

    def enter(self, lines):
        """Sends each line and waits for the prompt after it."""
        for line in lines:
            self.send(line + b"\r")
            self.expect(">>> ", "prompt after " + line.decode())

    def interrupt(self, line, what, wait=0.3):
        """Sends a line that keeps running, then Ctrl-C, and waits for the
        report and the prompt after it."""
        self.send(line + b"\r")
        time.sleep(wait)
        self.send(b"\x03")
        return self.expect("Interrupted\r\n>>> ", what)

    def finish(self):
        """Status of the process, killed if it does not end by itself."""
        end = time.monotonic() + DEADLINE
        while time.monotonic() < end:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                os.close(self.fd)
                return status
            try:
                if select.select([self.fd], [], [], 0.1)[0]:
                    os.read(self.fd, 4096)
            except OSError:
                pass
        os.kill(self.pid, signal.SIGKILL)
        os.waitpid(self.pid, 0)
        os.close(self.fd)
        check(False, "process ends")
        return None


def test_session(drevel, home):
    t = Terminal([drevel], home)
    t.expect(">>> ", "first prompt")
    t.send('print("héllo")\r'.encode())
    check(t.expect("héllo\r\n>>> ", "non-ASCII input prints"), "non-ASCII text kept")
    t.enter([b'let kept = "yes"', b"def spin() { let i = 0 while true { i += 1 } }"])
    t.interrupt(b"spin()", "Ctrl-C stops a running loop", wait=0.5)
    t.send(b"print(kept)\r")
    t.expect("yes\r\n>>> ", "state kept after the interrupt")
    t.send(b'print("typed but discarded')
    time.sleep(0.3)
    t.send(b"\x03")
    t.expect(">>> ", "Ctrl-C at the prompt gives a new prompt")
    t.send(b"print(7 * 6)\r")
    check(t.expect("42\r\n>>> ", "the next line runs"), "discarded line did not run")
    check(b"typed but discarded" not in t.seen, "discarded line printed nothing")
    # Ctrl-C at the continuation prompt drops every line typed so far.
    t.send(b'print("sad :-("\r')
    t.expect("... ", "continuation prompt")
    t.send(b'"still open"\r')
    t.expect("... ", "continuation prompt again")
    t.send(b"\x03")
    t.expect("\r\n>>> ", "Ctrl-C at the continuation prompt gives the first prompt")
    t.send(b"print(6 * 7)\r")
    check(t.expect("42\r\n>>> ", "pending lines dropped"), "the next line runs alone")
    check(b"sad" not in t.seen and b"still open" not in t.seen, "pending lines never ran")
    # Ctrl-C while input() waits ends the input at once; the next line is
    # the prompt's again.
    t.send(b'let answer = input("name? ")\r')
    t.expect("name? ", "input prompt")
    time.sleep(0.3)
    t.send(b"\x03")
    check(t.expect("Interrupted\r\n>>> ", "Ctrl-C ends input() without Enter"),
          "interrupted input")
    t.send(b'print("next")\r')
    check(t.expect("next\r\n>>> ", "line after the interrupted input"), "line not swallowed")
    t.send(b"let counter = 3\r")
    t.expect(">>> ", "prompt after counter")
    t.send(b"print(coun\t)\r")
    t.expect("3\r\n>>> ", "Tab completes a name defined earlier")
    t.send(b"print(is_str\t(5))\r")
    t.expect("false\r\n>>> ", "Tab completes a builtin")
    t.send(b"use files\r")
    t.expect(">>> ", "prompt after use")
    t.send(b'print(files.exis\t("/"))\r')
    t.expect("true\r\n>>> ", "Tab completes a module function")
    # The history file already holds every line, before the session ends.
    with open(os.path.join(home, ".drevel_history"), encoding="utf-8") as f:
        saved = f.read()
    check('print("héllo")' in saved and "spin()" in saved, "lines saved as entered", saved)
    check("typed but discarded" not in saved, "discarded line not saved", saved)
    os.kill(t.pid, signal.SIGKILL)
    t.finish()

    t = Terminal([drevel], home)
    t.expect(">>> ", "prompt of the second session")
    t.send(b"\x1b[A")  # Up: the last line of the first session
    t.expect("files.exists", "history read back")
    t.send(b"\x03")
    t.expect(">>> ", "Ctrl-C discards the recalled line")
    t.send(b"exit\r")
    t.expect("Goodbye!", "exit")
    check(t.finish() == 0, "REPL exits with status 0")


def test_plain_lines_on_a_terminal(drevel, home):
    # Typed on a terminal but shown elsewhere (standard output a pipe), the
    # prompt reads plain lines: Ctrl-C still drops the pending lines and
    # ends a waiting input().
    master, slave = os.openpty()

    def take_terminal():
        os.setsid()
        fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
    env = dict(os.environ, HOME=home)
    proc = subprocess.Popen([drevel], stdin=slave, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, preexec_fn=take_terminal, env=env)
    os.close(slave)
    try:
        for text in (b'print("dropped"\n', b"\x03", b"print(6 * 7)\n",
                     b'let a = input("? ")\n', b"\x03", b'print("after")\n', b"exit\n"):
            os.write(master, text)
            time.sleep(0.3)
        out, _ = proc.communicate(timeout=DEADLINE)
    except subprocess.TimeoutExpired:
        proc.kill()
        out, _ = proc.communicate()
    finally:
        os.close(master)
    check(out.decode(errors="replace").endswith(
        ">>> ... >>> 42\n>>> ? Interrupted\n>>> after\n>>> Goodbye!\n"),
        "plain prompt on a terminal", repr(out))


def test_std_callbacks(drevel, home):
    """A key function interrupted by Ctrl-C unwinds the whole sort; exit
    ends the REPL with its status."""
    t = Terminal([drevel], home)
    t.expect(">>> ", "first prompt")
    t.enter([b"use std", b"def slow(x) { let i = 0 while true { i += 1 } return x }"])
    t.interrupt(b"let sorted = std.sort_by([2, 1], slow)", "Ctrl-C stops a key function", wait=0.5)
    t.send(b"print(std.sor\t([3, 1, 2]))\r")
    t.expect("[1, 2, 3]\r\n>>> ", "Tab completes a std function; sorting works after the interrupt")
    t.send(b'print("bye") std.exit(4)\r')
    t.expect("bye", "output before exit")
    status = t.finish()
    check(status is not None and os.WIFEXITED(status) and os.WEXITSTATUS(status) == 4,
          "std.exit ends the REPL with its status", repr(status))


def test_interrupt_completes_no_binding(drevel, home):
    """An input cut short by Ctrl-C leaves every variable as it was, whether
    the interruption reaches the statement as the failing value or a function
    goes on to return an ordinary one after it."""
    t = Terminal([drevel], home)
    t.expect(">>> ", "prompt for the binding checks")
    setup = [
        b"let keep = [1, 2, 3]",
        b"let n = 1",
        b'let caught = "no"',
        b"def spin() { let i = 0 while true { i += 1 } }",
        b"def late() { spin() return 5 }",
    ]
    t.enter(setup)
    interrupted = [
        b"keep = spin()",
        b"let keep = spin()",
        b"keep = late()",
        b"n += spin()",
        b"n += late()",
        b"n = n + late()",
        b"let fresh = spin()",
        b"try { spin() } catch e { caught = e }",
    ]
    for line in interrupted:
        t.interrupt(line, "Ctrl-C stops " + line.decode())
        t.send(b"print(keep, n, caught)\r")
        check(t.expect("[1, 2, 3]\r\n1\r\nno\r\n>>> ", "after " + line.decode()),
              "no binding completed by " + line.decode())
    t.send(b"print(fresh)\r")
    t.expect("Undefined variable 'fresh'", "an interrupted let makes no variable")
    t.send(b"exit\r")
    t.expect("Goodbye!", "exit after the binding checks")
    t.finish()


def test_interrupted_function_leaves_nothing_bound(drevel, home):
    """A function that calls nothing else, cut short by Ctrl-C after binding a
    name, leaves no binding behind: its next call reads the name from the
    program, and the program's own variable is untouched."""
    t = Terminal([drevel], home)
    t.expect(">>> ", "prompt for the interrupted function")
    setup = [
        b'let mark = "program"',
        b"def probe(spin) { let before = mark mark = before + \" seen\" while spin { } return mark }",
    ]
    t.enter(setup)
    t.interrupt(b"let got = probe(true)", "Ctrl-C stops the function")
    t.send(b'mark = "changed" print(probe(false), mark)\r')
    check(t.expect("changed seen\r\nchanged\r\n>>> ", "the next call starts afresh"),
          "an interrupted call leaves no binding of its own")
    t.send(b"exit\r")
    t.expect("Goodbye!", "exit after the interrupted function")
    t.finish()


def test_script_ends_on_ctrl_c(drevel, work):
    path = os.path.join(work, "spin.dv")
    with open(path, "w") as f:
        f.write("while true { }\n")
    proc = subprocess.Popen([drevel, path], stdout=subprocess.DEVNULL)
    time.sleep(0.5)
    proc.send_signal(signal.SIGINT)
    try:
        status = proc.wait(timeout=DEADLINE)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        status = None
    check(status == -signal.SIGINT, "Ctrl-C ends a script run", repr(status))


def main():
    drevel = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as work:
        home = os.path.join(work, "home")
        os.mkdir(home)
        test_session(drevel, home)
        test_plain_lines_on_a_terminal(drevel, home)
        test_std_callbacks(drevel, home)
        test_interrupt_completes_no_binding(drevel, home)
        test_interrupted_function_leaves_nothing_bound(drevel, home)
        test_script_ends_on_ctrl_c(drevel, work)
    if failures:
        sys.exit("%d failure(s)" % len(failures))
    print("ok")


if __name__ == "__main__":
    main()
