#!/usr/bin/env python3
"""Pictures drawn with sdl2.draw_image under Xvfb: a PNG's pixels appear
exactly at (x, y) at their own size and scaled to (w, h); a BMP and a JPEG
load too; a missing or unreadable file is an error naming the function, the
file and the reason, and the game goes on. sdl2.image_size gives a
picture's size with a window and without one (then the picture is drawn all
the same once the window opens), and an error naming the file when it cannot
be read."""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

from graphics_support import Script, VirtualDisplay

# A 4 x 3 picture whose every pixel has its own colour.
PIXELS = [[(40 * x + 10, 60 * y + 20, 200 - 30 * x) for x in range(4)] for y in range(3)]

SOURCE = """
use sdl2;
let early = sdl2.image_size("pic.png");
sdl2.create_window("image test", 200, 150);
sdl2.set_max_fps(30);
let frames = 0;
while frames < 600 {
    sdl2.clear_screen();
    sdl2.set_draw_color(255, 0, 0);
    sdl2.fill_rect(0, 0, 2, 2);
    sdl2.draw_image("pic.png", 30, 40);
    sdl2.draw_image("pic.png", 100, 40, 8, 9);
    sdl2.draw_image("pic.bmp", 30, 100);
    sdl2.draw_image("pic.jpg", 100, 100, 20, 10);
    sdl2.draw_image("pic.png", 150, 100, 0, 5);
    if frames == 0 {
        sdl2.draw_image("missing.png", 0, 0);
        sdl2.draw_image("game.dv", 0, 0);
    }
    sdl2.render_present();
    if frames == 8 {
        print(early, sdl2.image_size("pic.png"), sdl2.image_size("pic.jpg"), sdl2.image_size("pic.bmp"));
        print("ready");
    }
    frames += 1;
}
"""


def write_png(path, rows):
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw))
                + chunk(b"IEND", b""))


# Sizes asked without a window, and the errors of image_size.
NO_WINDOW = """
use sdl2;
print(sdl2.image_size("pic.jpg"), sdl2.image_size("pic.png"), sdl2.image_size("pic.jpg"));
sdl2.image_size("missing.png");
sdl2.image_size("game.dv");
sdl2.image_size(3);
sdl2.image_size();
"""
NO_WINDOW_ERRORS = [
    "image_size: cannot load 'missing.png': No such file or directory",
    "image_size: cannot load 'game.dv': ",
    "Image path must be a string",
    "image_size requires an image path",
]


def pictures():
    """{name: bytes} of pic.png (PIXELS), pic.bmp (the same) and pic.jpg."""
    with tempfile.TemporaryDirectory(prefix="drevel-pics-") as folder:
        write_png(os.path.join(folder, "pic.png"), PIXELS)
        subprocess.run(["convert", "pic.png", "pic.bmp"], cwd=folder, check=True, timeout=30)
        subprocess.run(["convert", "-size", "20x10", "xc:rgb(0,200,100)", "pic.jpg"], cwd=folder,
                       check=True, timeout=30)
        return {name: open(os.path.join(folder, name), "rb").read()
                for name in ("pic.png", "pic.bmp", "pic.jpg")}


def check_sizes_without_window(drevel, files):
    with tempfile.TemporaryDirectory(prefix="drevel-pics-") as folder:
        for name, data in files.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        with open(os.path.join(folder, "game.dv"), "w") as f:
            f.write(NO_WINDOW)
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        done = subprocess.run([os.path.abspath(drevel), "game.dv"], cwd=folder, env=env,
                              capture_output=True, text=True, timeout=60)
    assert done.stdout == "[20, 10]\n[4, 3]\n[20, 10]\n", done.stdout
    reported = [line for line in done.stderr.splitlines() if "ERROR" in line]
    assert len(reported) == len(NO_WINDOW_ERRORS), done.stderr
    for expected, line in zip(NO_WINDOW_ERRORS, reported):
        assert expected in line, (expected, line)


def main():
    drevel = sys.argv[1]
    files = pictures()
    check_sizes_without_window(drevel, files)
    with VirtualDisplay() as display:
        script = Script(drevel, display, SOURCE, files)
        try:
            lines = script.wait_for("ready")
            screen = display.capture()
        finally:
            script.close()
    err = script.process.stderr.read()
    assert lines == ["[4, 3]", "[4, 3]", "[20, 10]", "[4, 3]", "ready"], lines
    assert "Error in expression: draw_image: cannot load 'missing.png': No such file or directory" in err, err
    assert "draw_image: cannot load 'game.dv': " in err, err
    ox, oy = next((x, y) for y, row in enumerate(screen) for x, p in enumerate(row) if p == (255, 0, 0))

    def at(x, y):
        return screen[oy + y][ox + x]

    for y in range(3):
        for x in range(4):
            assert at(30 + x, 40 + y) == PIXELS[y][x], ("png", x, y, at(30 + x, 40 + y))
            assert at(30 + x, 100 + y) == PIXELS[y][x], ("bmp", x, y, at(30 + x, 100 + y))
            for dy in range(3):
                for dx in range(2):
                    got = at(100 + 2 * x + dx, 40 + 3 * y + dy)
                    assert got == PIXELS[y][x], ("scaled", x, y, dx, dy, got)
    # Nothing beyond the pictures' edges.
    for x, y in [(29, 40), (34, 40), (30, 39), (30, 43), (108, 40), (100, 49), (99, 45)]:
        assert at(x, y) == (0, 0, 0), (x, y, at(x, y))
    for x in range(100, 120):
        for y in range(100, 110):
            assert all(abs(c - w) <= 8 for c, w in zip(at(x, y), (0, 200, 100))), ("jpg", x, y, at(x, y))
    assert at(120, 100) == (0, 0, 0) and at(100, 110) == (0, 0, 0)
    # A width of 0 draws nothing.
    assert all(at(150 + x, 100 + y) == (0, 0, 0) for x in range(4) for y in range(5))
    print("2 passed, 0 failed")


if __name__ == "__main__":
    main()
