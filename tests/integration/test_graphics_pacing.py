#!/usr/bin/env python3
"""Frame pacing with a real window: with a cap of 60 the mean delta_time of
30 frames is at least 1/60 s; without a cap no frame is paced. Bounds are
loose because these machines are noisy."""
import sys

from graphics_support import Script, VirtualDisplay

SOURCE = """
use sdl2;
sdl2.create_window("pacing", 64, 48);
def measure(frames) {
    let total = 0.0;
    let shortest = 1000.0;
    let i = 0;
    while i < frames {
        sdl2.clear_screen();
        sdl2.render_present();
        let d = sdl2.delta_time();
        total += d;
        if d < shortest { shortest = d; }
        i += 1;
    }
    print(total / frames);
    print(shortest);
}
sdl2.render_present();
measure(30);
sdl2.set_max_fps(60);
sdl2.render_present();
measure(30);
"""


def main():
    drevel = sys.argv[1]
    with VirtualDisplay() as display:
        script = Script(drevel, display, SOURCE)
        try:
            out, err = script.finish(timeout=60)
        finally:
            script.close()
    values = [float(v) for v in out.split()]
    assert len(values) == 4, (out, err)
    free_mean, _, capped_mean, capped_shortest = values
    assert free_mean < 1.0 / 60, f"uncapped frames took {free_mean} s on average"
    assert capped_mean >= 1.0 / 60 - 1e-6, f"capped mean {capped_mean}"
    assert capped_shortest >= 1.0 / 60 - 1e-6, f"a capped frame took {capped_shortest}"
    assert capped_mean < 0.1, f"capped mean {capped_mean} far above the cap"
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
