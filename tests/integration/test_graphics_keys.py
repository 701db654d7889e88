#!/usr/bin/env python3
"""Real key presses from xdotool reach a script through the X server: a key
is pressed in one frame, held while down (auto-repeat included), released in
one frame; unnamed keys count as "unknown"."""
import sys
import time

from graphics_support import Script, VirtualDisplay

SOURCE = """
use sdl2;
sdl2.create_window("keytest", 160, 120);
sdl2.set_max_fps(100);
let frame = 0;
let running = true;
while running {
    sdl2.render_present();
    frame += 1;
    if frame == 10 { print("ready"); }
    for k in ["a", "space", "left", "unknown", "escape"] {
        if sdl2.get_input_pressed(k) { print(concat(frame, " pressed ", k)); }
        if sdl2.get_input_held(k) { print(concat(frame, " held ", k)); }
        if sdl2.get_input_released(k) { print(concat(frame, " released ", k)); }
    }
    if sdl2.get_input_released("escape") { running = false; }
    if frame > 3000 { running = false; }
}
print("bye");
"""


def events(lines, key):
    """(frame, what) pairs of one key, in order."""
    out = []
    for line in lines:
        parts = line.split(" ")
        if len(parts) == 3 and parts[2] == key:
            out.append((int(parts[0]), parts[1]))
    return out


def check_press_cycle(lines, key, min_held):
    ev = events(lines, key)
    pressed = [f for f, what in ev if what == "pressed"]
    held = [f for f, what in ev if what == "held"]
    released = [f for f, what in ev if what == "released"]
    assert len(pressed) == 1, f"{key}: pressed in frames {pressed}"
    assert len(released) == 1, f"{key}: released in frames {released}"
    assert len(held) >= min_held, f"{key}: held only in {held}"
    # Held from the pressing frame on, without a gap, until before release.
    assert held == list(range(pressed[0], pressed[0] + len(held))), held
    assert released[0] == held[-1] + 1, (held, released)


def main():
    drevel = sys.argv[1]
    with VirtualDisplay() as display:
        script = Script(drevel, display, SOURCE)
        try:
            script.wait_for("ready")
            display.xdotool("search", "--sync", "--name", "keytest", "windowfocus", "--sync")
            display.xdotool("keydown", "a")
            time.sleep(1.0)  # long enough for the server's auto-repeat
            display.xdotool("keyup", "a")
            time.sleep(0.2)
            display.xdotool("keydown", "space", "keydown", "Left")
            time.sleep(0.3)
            display.xdotool("keyup", "space")
            time.sleep(0.2)
            display.xdotool("keyup", "Left")
            time.sleep(0.2)
            display.xdotool("keydown", "F5")
            time.sleep(0.2)
            display.xdotool("keyup", "F5")
            time.sleep(0.2)
            display.xdotool("key", "Escape")
            out, err = script.finish(timeout=20)
        finally:
            script.close()
    lines = out.splitlines()
    assert lines[-1] == "bye", (lines[-5:], err)
    check_press_cycle(lines, "a", min_held=20)
    check_press_cycle(lines, "space", min_held=5)
    check_press_cycle(lines, "left", min_held=10)
    check_press_cycle(lines, "unknown", min_held=1)
    space, left = events(lines, "space"), events(lines, "left")
    assert max(f for f, w in left if w == "held") > max(f for f, w in space if w == "held")
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
