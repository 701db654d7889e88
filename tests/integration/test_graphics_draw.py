#!/usr/bin/env python3
"""A script opens a real window under Xvfb, draws with the sdl2 functions and
the shape builtins, and the captured screen shows the expected colours."""
import sys

from graphics_support import Script, VirtualDisplay

SOURCE = """
use sdl2;
sdl2.create_window("draw test", 200, 150);
sdl2.set_max_fps(30);
let frames = 0;
while frames < 600 {
    sdl2.clear_screen();
    sdl2.set_draw_color(255, 0, 0);
    sdl2.fill_rect(10, 10, 40, 30);
    sdl2.set_draw_color(0, 255, 0);
    sdl2.fill_circle(120, 40, 20);
    fill(triangle(20, 100, 80, 100, 50, 140), color(0, 0, 255));
    draw(rect(150, 100, 30, 20), color(255, 255, 0));
    draw(circle(170, 60, 3), color(255, 0, 255));
    sdl2.render_present();
    if frames == 5 { print("ready"); }
    frames += 1;
}
"""


def boxes(screen):
    found = {}
    for y, row in enumerate(screen):
        for x, pixel in enumerate(row):
            if pixel == (0, 0, 0):
                continue
            box = found.setdefault(pixel, [x, y, x, y, 0])
            box[0], box[1] = min(box[0], x), min(box[1], y)
            box[2], box[3] = max(box[2], x), max(box[3], y)
            box[4] += 1
    return found


def main():
    drevel = sys.argv[1]
    with VirtualDisplay() as display:
        script = Script(drevel, display, SOURCE)
        try:
            script.wait_for("ready")
            screen = display.capture()
        finally:
            script.close()
    found = boxes(screen)
    red = found.get((255, 0, 0))
    assert red is not None, f"no red rectangle on screen: {sorted(found)[:10]}"
    ox, oy = red[0] - 10, red[1] - 10
    assert red[:4] == [ox + 10, oy + 10, ox + 49, oy + 39] and red[4] == 40 * 30, red
    green = found[(0, 255, 0)]
    assert green[:4] == [ox + 100, oy + 20, ox + 140, oy + 60], green
    blue = found[(0, 0, 255)]
    assert blue[:4] == [ox + 20, oy + 100, ox + 80, oy + 140], blue
    assert screen[oy + 120][ox + 50] == (0, 0, 255)
    yellow = found[(255, 255, 0)]
    assert yellow[:4] == [ox + 150, oy + 100, ox + 179, oy + 119] and yellow[4] == 2 * 30 + 2 * 18, yellow
    assert screen[oy + 110][ox + 160] == (0, 0, 0), "rect outline must not be filled"
    magenta = found[(255, 0, 255)]
    assert magenta[:4] == [ox + 167, oy + 57, ox + 173, oy + 63] and magenta[4] == 12, magenta
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
