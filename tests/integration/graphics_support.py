"""Shared pieces of the graphics integration tests: a private Xvfb server,
drevel scripts run against it, screen captures through ImageMagick."""
import os
import subprocess
import tempfile
import time


class VirtualDisplay:
    """Xvfb on the first free display number, stopped by its process id."""

    def __init__(self, width=320, height=240):
        self.size = (width, height)
        self.process = None
        self.display = None

    def __enter__(self):
        for number in range(91, 140):
            if os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(f"/tmp/.X11-unix/X{number}"):
                continue
            process = subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", f"{self.size[0]}x{self.size[1]}x24",
                 "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and process.poll() is None:
                if os.path.exists(f"/tmp/.X11-unix/X{number}"):
                    self.process, self.display = process, f":{number}"
                    time.sleep(0.2)
                    return self
                time.sleep(0.05)
            stop(process)
        raise RuntimeError("no Xvfb display could be started")

    def __exit__(self, *exc):
        stop(self.process)

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("SDL_VIDEODRIVER", None)
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def capture(self):
        """The whole screen as rows of (r, g, b)."""
        with tempfile.TemporaryDirectory() as tmp:
            raw = os.path.join(tmp, "screen.rgb")
            subprocess.run(["import", "-display", self.display, "-window", "root", "-depth", "8",
                            f"rgb:{raw}"], check=True, timeout=30, env=self.env())
            data = open(raw, "rb").read()
        w, h = self.size
        assert len(data) == w * h * 3, f"capture has {len(data)} bytes"
        return [[tuple(data[(y * w + x) * 3:(y * w + x) * 3 + 3]) for x in range(w)] for y in range(h)]

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], check=True, timeout=10, env=self.env(),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop(process):
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout=5)


class Script:
    """A drevel script running under the display; its output read line by line."""

    def __init__(self, drevel, display, source, files=None, env=None):
        """files: {name: bytes} written beside the script before it starts;
        env: variables added to the display's environment."""
        self.tmp = tempfile.TemporaryDirectory(prefix="drevel-gfx-")
        for name, data in (files or {}).items():
            with open(os.path.join(self.tmp.name, name), "wb") as f:
                f.write(data)
        path = os.path.join(self.tmp.name, "game.dv")
        with open(path, "w") as f:
            f.write(source)
        self.process = subprocess.Popen([os.path.abspath(drevel), path], cwd=self.tmp.name,
                                        env=dict(display.env(), **(env or {})),
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.pending = ""

    def wait_for(self, text, timeout=20):
        """Reads lines until one equals text; returns the lines read. Reads
        the pipe itself, so lines that arrive together are all seen."""
        import selectors
        lines = []
        selector = selectors.DefaultSelector()
        selector.register(self.process.stdout, selectors.EVENT_READ)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            while "\n" in self.pending:
                line, self.pending = self.pending.split("\n", 1)
                lines.append(line)
                if line == text:
                    return lines
            if not selector.select(timeout=max(0.0, deadline - time.monotonic())):
                break
            data = os.read(self.process.stdout.fileno(), 65536)
            if not data:
                break
            self.pending += data.decode(errors="replace")
        raise AssertionError(f"never saw {text!r}; got {lines!r}; stderr {self.stderr_now()!r}")

    def stderr_now(self):
        if self.process.poll() is None:
            return "(still running)"
        return self.process.stderr.read()

    def finish(self, timeout=20):
        try:
            out, err = self.process.communicate(timeout=timeout)
        finally:
            stop(self.process)
            self.tmp.cleanup()
        return self.pending + out, err

    def close(self):
        stop(self.process)
        self.tmp.cleanup()
