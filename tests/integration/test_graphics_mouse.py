#!/usr/bin/env python3
"""Real mouse moves and clicks from xdotool reach a script: the position in
window pixels, and each button pressed in one frame, held while down and
released in one frame, like keys."""
import sys
import time

from graphics_support import Script, VirtualDisplay
from test_graphics_keys import check_press_cycle, events

SOURCE = """
use sdl2;
print(sdl2.get_mouse_x(), sdl2.get_mouse_y());
sdl2.create_window("mouse test", 160, 120);
sdl2.set_max_fps(100);
let frame = 0;
let running = true;
let last = "";
while running {
    sdl2.render_present();
    frame += 1;
    if frame == 10 { print("ready"); }
    let at = concat(sdl2.get_mouse_x(), ",", sdl2.get_mouse_y());
    if at != last { print(concat(frame, " at ", at)); last = at; }
    for b in ["mouse_left", "mouse_middle", "mouse_right"] {
        if sdl2.get_input_pressed(b) { print(concat(frame, " pressed ", b)); }
        if sdl2.get_input_held(b) { print(concat(frame, " held ", b)); }
        if sdl2.get_input_released(b) { print(concat(frame, " released ", b)); }
    }
    if sdl2.get_input_released("escape") { running = false; }
    if frame > 3000 { running = false; }
}
print("bye");
"""


def main():
    drevel = sys.argv[1]
    with VirtualDisplay() as display:
        script = Script(drevel, display, SOURCE)
        try:
            before = script.wait_for("ready")
            window = ["search", "--sync", "--name", "mouse test"]
            display.xdotool(*window, "windowfocus", "--sync")
            display.xdotool(*window, "mousemove", "--window", "%1", "50", "60")
            time.sleep(0.2)
            display.xdotool("mousedown", "1")
            time.sleep(0.3)
            display.xdotool(*window, "mousemove", "--window", "%1", "70", "20")
            time.sleep(0.2)
            display.xdotool("mouseup", "1")
            time.sleep(0.2)
            display.xdotool("mousedown", "3")
            time.sleep(0.2)
            display.xdotool("mouseup", "3")
            time.sleep(0.2)
            display.xdotool("click", "2")
            time.sleep(0.2)
            display.xdotool("key", "Escape")
            out, err = script.finish(timeout=20)
        finally:
            script.close()
    lines = before + out.splitlines()
    assert lines[:2] == ["null", "null"], lines[:2]
    assert lines[-1] == "bye", (lines[-5:], err)
    positions = [line.split(" at ")[1] for line in lines if " at " in line]
    assert "50,60" in positions and "70,20" in positions, positions
    assert positions.index("70,20") > positions.index("50,60"), positions
    check_press_cycle(lines, "mouse_left", min_held=10)
    check_press_cycle(lines, "mouse_right", min_held=5)
    # A click is one press and one release; the held frames may be none.
    middle = events(lines, "mouse_middle")
    assert [w for _, w in middle if w != "held"] == ["pressed", "released"], middle
    # The left button was held while the mouse moved to (70, 20).
    left_held = [f for f, w in events(lines, "mouse_left") if w == "held"]
    moved = next(int(line.split(" ")[0]) for line in lines if line.endswith(" at 70,20"))
    assert left_held[0] < moved <= left_held[-1], (left_held, moved)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
