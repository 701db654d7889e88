#!/usr/bin/env python3
"""Pictures drawn with sdl2.draw_image under Xvfb: a PNG's pixels appear
exactly at (x, y) at their own size and scaled to (w, h); a BMP and a JPEG
load too; a missing or unreadable file is an error naming the function, the
file and the reason, and the game goes on."""
import os
import struct
import subprocess
import sys
import zlib

from graphics_support import Script, VirtualDisplay

# A 4 x 3 picture whose every pixel has its own colour.
PIXELS = [[(40 * x + 10, 60 * y + 20, 200 - 30 * x) for x in range(4)] for y in range(3)]

SOURCE = """
use sdl2;
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
    if frames == 8 { print("ready"); }
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


def main():
    drevel = sys.argv[1]
    with VirtualDisplay() as display:
        script = Script(drevel, display, SOURCE)
        folder = script.tmp.name
        write_png(os.path.join(folder, "pic.png"), PIXELS)
        subprocess.run(["convert", "pic.png", "pic.bmp"], cwd=folder, check=True, timeout=30)
        subprocess.run(["convert", "-size", "20x10", "xc:rgb(0,200,100)", "pic.jpg"], cwd=folder,
                       check=True, timeout=30)
        try:
            lines = script.wait_for("ready")
            screen = display.capture()
        finally:
            script.close()
    err = script.process.stderr.read()
    assert lines == ["ready"], lines
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
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
