#!/usr/bin/env python3
"""Text drawn with sdl2.draw_text under Xvfb: the draw colour appears inside
the box that text_width and the size describe and nowhere else, at the
default size, at a larger size, in a second colour, for a text that changes
every frame and for a second line."""
import sys

from graphics_support import Script, VirtualDisplay

SOURCE = """
use sdl2;
sdl2.create_window("text test", 300, 200);
sdl2.set_max_fps(30);
let frames = 0;
print(sdl2.text_width("Score: 42"));
print(sdl2.text_width("Big", 40));
print(sdl2.text_width(12345, 20));
print(sdl2.text_width("one\\nlonger line"));
print(sdl2.text_width("longer line"));
while frames < 600 {
    sdl2.clear_screen();
    sdl2.set_draw_color(255, 0, 0);
    sdl2.fill_rect(0, 0, 2, 2);
    sdl2.set_draw_color(255, 255, 0);
    sdl2.draw_text("Score: 42", 20, 10);
    sdl2.set_draw_color(0, 255, 255);
    sdl2.draw_text("Big", 150, 10, 40);
    sdl2.set_draw_color(0, 255, 0);
    sdl2.draw_text(12340 + frames % 5, 20, 80, 20);
    sdl2.set_draw_color(255, 0, 255);
    sdl2.draw_text("one\\nlonger line", 20, 120);
    sdl2.render_present();
    if frames == 8 { print("ready"); }
    frames += 1;
}
"""


def colour_box(screen, ox, oy, colour):
    """Bounding box (x0, y0, x1, y1) of pixels near colour (anti-aliased
    edges are darker shades of it), relative to the window, and the count of
    pixels of exactly that colour."""
    xs, ys, exact = [], [], 0
    for y, row in enumerate(screen):
        for x, pixel in enumerate(row):
            if pixel == (0, 0, 0) or pixel == (255, 0, 0):
                continue
            # A shade of colour: zero where it is zero, one level elsewhere.
            level = max(pixel)
            if level >= 16 and all(c == 0 if want == 0 else abs(c - level) <= 1
                                   for c, want in zip(pixel, colour)):
                xs.append(x - ox)
                ys.append(y - oy)
                exact += pixel == colour
    return (min(xs), min(ys), max(xs), max(ys)), exact


def main():
    drevel = sys.argv[1]
    with VirtualDisplay() as display:
        script = Script(drevel, display, SOURCE)
        try:
            lines = script.wait_for("ready")
            screen = display.capture()
        finally:
            script.close()
    widths = [int(w) for w in lines[:5]]
    small, big, number, two_lines, longer = widths
    assert 40 < small < 120 and 40 < big < 120 and 40 < number < 120, widths
    assert two_lines == longer, widths
    anchor = next((x, y) for y, row in enumerate(screen) for x, p in enumerate(row) if p == (255, 0, 0))
    ox, oy = anchor
    # Every non-black pixel belongs to one of the texts (or the anchor).
    boxes = {}
    for colour, (x, y, width, size) in {
        (255, 255, 0): (20, 10, small, 16),
        (0, 255, 255): (150, 10, big, 40),
        (0, 255, 0): (20, 80, number, 20),
    }.items():
        (x0, y0, x1, y1), exact = colour_box(screen, ox, oy, colour)
        boxes[colour] = (x, y, x + width - 1, y + 2 * size - 1)
        assert exact > 10, (colour, exact)
        assert x0 >= x and x1 < x + width and y0 >= y and y1 < y + 2 * size, (colour, (x0, y0, x1, y1), width)
        # The ink reaches close to the box edges: the text is at (x, y), not elsewhere.
        assert x0 <= x + 3 and x1 >= x + width - 4 and y0 <= y + size // 2, (colour, (x0, y0, x1, y1))
    (x0, y0, x1, y1), exact = colour_box(screen, ox, oy, (255, 0, 255))
    assert exact > 10 and x0 >= 20 and x1 < 20 + longer and y1 >= 120 + 16, (x0, y0, x1, y1)
    for y, row in enumerate(screen):
        for x, pixel in enumerate(row):
            rx, ry = x - ox, y - oy
            inside = any(b[0] <= rx <= b[2] and b[1] <= ry <= b[3] for b in boxes.values())
            inside |= 20 <= rx < 20 + longer and 120 <= ry < 120 + 2 * 2 * 16
            inside |= 0 <= rx < 2 and 0 <= ry < 2
            assert inside or pixel == (0, 0, 0), ((rx, ry), pixel)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
