#!/usr/bin/env python3
"""Under Xvfb, one scene drawn in a frame of few shapes (sent in batches) and
in a frame past 8,192 primitives (sent as a layer of pixels) gives the
same screen, with colours that come back over each other in drawing order
and shapes cut at every border; the renderer drevel chooses (SDL's software
renderer where OpenGL runs on the CPU, as under Xvfb) and SDL's OpenGL
renderer give the same pixels. Without a display, no window is made, one
warning says why, and a game loop on is_window_open ends."""
import os
import subprocess
import sys
import tempfile

from graphics_support import Script, VirtualDisplay

SOURCE = """
use sdl2;
use files;
sdl2.create_window("frames", 160, 120);
sdl2.set_max_fps(30);

def scene() {
    # A span red, blue over its middle, red again over part of the blue.
    sdl2.set_draw_color(255, 0, 0);
    sdl2.draw_line(5, 5, 60, 5);
    sdl2.set_draw_color(0, 0, 255);
    sdl2.draw_line(10, 5, 40, 5);
    sdl2.set_draw_color(255, 0, 0);
    sdl2.draw_line(15, 5, 20, 5);
    sdl2.fill_rect(4, 10, 30, 20);
    sdl2.set_draw_color(0, 0, 255);
    sdl2.fill_rect(8, 12, 10, 10);
    sdl2.set_draw_color(255, 0, 0);
    sdl2.draw_point(12, 15);
    fill(circle(70, 40, 15), color(0, 200, 0));
    fill(triangle(55, 25, 100, 35, 65, 70), color(255, 0, 0));
    fill(circle(78, 50, 6), color(0, 200, 0));
    draw(circle(70, 40, 15), color(255, 255, 0));
    draw(triangle(55, 25, 100, 35, 65, 70), color(255, 255, 0));
    # Lines and outlines the renderer draws itself, between other shapes.
    sdl2.set_draw_color(255, 0, 255);
    sdl2.draw_line(2, 60, 50, 90);
    sdl2.set_draw_color(0, 255, 255);
    sdl2.fill_rect(15, 70, 8, 8);
    sdl2.draw_rect(10, 62, 30, 25);
    sdl2.set_draw_color(255, 0, 255);
    sdl2.fill_rect(18, 65, 2, 20);
    # Cut by every border and corner.
    sdl2.set_draw_color(200, 100, 0);
    sdl2.fill_circle(0, 60, 9);
    sdl2.fill_circle(159, 60, 9);
    sdl2.fill_circle(120, 0, 9);
    sdl2.fill_circle(120, 119, 9);
    sdl2.set_draw_color(0, 100, 200);
    sdl2.fill_circle(0, 0, 6);
    sdl2.fill_circle(159, 0, 6);
    sdl2.fill_circle(0, 119, 6);
    sdl2.fill_circle(159, 119, 6);
    sdl2.set_draw_color(50, 250, 50);
    sdl2.draw_circle(3, 100, 8);
    sdl2.draw_circle(156, 30, 8);
    sdl2.fill_triangle(140, -20, 175, 40, 150, 50);
    sdl2.fill_triangle(90, 110, 110, 140, 70, 130);
    sdl2.set_draw_color(128, 0, 128);
    sdl2.fill_rect(-5, 30, 10, 4);
    sdl2.fill_rect(155, 80, 10, 4);
    sdl2.fill_rect(100, -5, 4, 10);
    sdl2.fill_rect(40, 115, 4, 10);
    sdl2.draw_line(-30, 110, 200, 110);
    sdl2.draw_line(135, -30, 135, 150);
    sdl2.set_draw_color(7, 77, 177);
    sdl2.draw_point(100, 100);
}

let layer = false;
let frames = 0;
while frames < 3000 {
    if not layer and files.exists("layer") {
        layer = true;
        frames = 0;
    }
    sdl2.clear_screen();
    if layer {
        # Shapes off the window change no pixel but make the frame busy.
        let i = 0;
        while i < 9000 {
            sdl2.draw_point(-5, i);
            i += 1;
        }
    }
    scene();
    sdl2.render_present();
    frames += 1;
    if frames == 5 {
        if layer { print("layer"); } else { print("batches"); }
    }
}
"""

NO_DISPLAY = """
use sdl2;
sdl2.create_window("unseen", 100, 100);
print(sdl2.is_window_open());
print(sdl2.get_window_width());
let frames = 0;
while sdl2.is_window_open() and frames < 100000 {
    sdl2.render_present();
    frames += 1;
}
print(frames);
"""


def window_origin(screen):
    for y, row in enumerate(screen):
        for x, pixel in enumerate(row):
            if pixel == (7, 77, 177):
                return x - 100, y - 100
    raise AssertionError("marker pixel not on screen")


def window_frames(drevel, renderer):
    """The window in a frame of batches and in a frame drawn in the layer."""
    env = {"SDL_RENDER_DRIVER": renderer} if renderer else {}
    with VirtualDisplay() as display:
        script = Script(drevel, display, SOURCE, env=env)
        try:
            script.wait_for("batches")
            batches = display.capture()
            open(os.path.join(script.tmp.name, "layer"), "w").close()
            script.wait_for("layer")
            layer = display.capture()
        finally:
            script.close()
    origin = window_origin(batches)
    assert window_origin(layer) == origin

    def window(screen):
        ox, oy = origin
        return [row[ox:ox + 160] for row in screen[oy:oy + 120]]

    return window(batches), window(layer)


def differing(one, other):
    return [(x, y) for y in range(120) for x in range(160) if one[y][x] != other[y][x]]


def check_frames(drevel):
    window, layer = window_frames(drevel, None)
    row5 = [window[5][x] for x in range(4, 62)]
    red, blue, black = (255, 0, 0), (0, 0, 255), (0, 0, 0)
    expected = [black] + [red] * 5 + [blue] * 5 + [red] * 6 + [blue] * 20 + [red] * 20 + [black]
    assert row5 == expected, row5
    assert window[15][12] == red and window[14][12] == blue
    assert window[0][0] == (0, 100, 200) and window[119][159] == (0, 100, 200)
    assert window[110][0] == (128, 0, 128) and window[110][159] == (128, 0, 128)
    assert sum(pixel != black for row in window for pixel in row) > 3000
    apart = differing(window, layer)
    assert not apart, f"{len(apart)} pixels differ, first {apart[:10]}"
    for frame in window_frames(drevel, "opengl"):
        apart = differing(window, frame)
        assert not apart, f"opengl: {len(apart)} pixels differ, first {apart[:10]}"


def check_no_display(drevel):
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"):
        env.pop(name, None)
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "game.dv")
        with open(path, "w") as f:
            f.write(NO_DISPLAY)
        out = subprocess.run([os.path.abspath(drevel), path], cwd=tmp, env=env, capture_output=True,
                             text=True, timeout=60)
    assert out.stdout == "false\nnull\n0\n", (out.stdout, out.stderr)
    lines = out.stderr.splitlines()
    assert len(lines) == 1 and "WARNING" in lines[0] and "no display" in lines[0] \
        and "DISPLAY is not set" in lines[0], lines


def main():
    drevel = sys.argv[1]
    check_no_display(drevel)
    check_frames(drevel)
    print("2 passed, 0 failed")


if __name__ == "__main__":
    main()
