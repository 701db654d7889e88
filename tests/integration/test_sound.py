#!/usr/bin/env python3
"""Sound through SDL's disk audio driver, which writes the mixed output to a
file: a played tone reaches the file, a silent sound leaves it all zeros,
looping music keeps sounding until stopped; without an audio device the sound
functions return null and say nothing, and the sound back end's own complaints
(ALSA's) stay off standard error; missing files are errors naming the
function, the file and the reason."""
import os
import subprocess
import sys
import tempfile

FRAMES = """
sdl2.set_max_fps(50);
let frames = 0;
while frames < 25 { sdl2.render_present(); frames += 1; }
"""


def sounding(data):
    return any(data)


def silent(data):
    return not any(data)


def sounding_to_the_end(data):
    """Music loops: the last quarter still carries sound."""
    return any(data[len(data) * 3 // 4:])


def silent_at_the_end(data):
    """Sound first, then silence after the music stopped."""
    return any(data[:len(data) // 3]) and not any(data[len(data) * 3 // 4:])

CASES = [
    # (name, script, audio driver, check of the output, expected stdout, expected errors)
    ("tone", 'print(sdl2.play_sound("tone.wav"));' + FRAMES, "disk", sounding, "null\n", []),
    ("silence", 'sdl2.play_sound("silence.wav");' + FRAMES, "disk", silent, "", []),
    ("two sounds", 'sdl2.play_sound("silence.wav"); sdl2.play_sound("tone.wav");' + FRAMES, "disk",
     sounding, "", []),
    ("music", 'print(sdl2.play_music("tune.ogg"));' + FRAMES + FRAMES, "disk", sounding_to_the_end,
     "null\n", []),
    ("music stopped", 'sdl2.play_music("tune.ogg");' + FRAMES + 'sdl2.stop_music();' + FRAMES + FRAMES,
     "disk", silent_at_the_end, "", []),
    ("missing", 'sdl2.play_sound("gone.wav"); sdl2.play_music("gone.ogg"); sdl2.play_sound("game.dv");'
     'sdl2.play_sound(3); sdl2.play_music(); print(sdl2.stop_music());', "disk", None, "null\n",
     ["play_sound: cannot load 'gone.wav': No such file or directory",
      "play_music: cannot load 'gone.ogg': No such file or directory",
      "play_sound: cannot load 'game.dv': ",
      "Sound path must be a string", "play_music requires a file path"]),
    ("no device", 'print(sdl2.play_sound("tone.wav"), sdl2.play_sound("gone.wav"), '
     'sdl2.play_music("tune.ogg"), sdl2.stop_music());', "no_such_driver", None,
     "null\nnull\nnull\nnull\n", []),
    # An ALSA without a usable configuration fails the way ALSA on a machine
    # without a sound card does, writing lines of its own.
    ("no ALSA device", 'print(sdl2.play_sound("tone.wav"), sdl2.play_music("tune.ogg"));', "alsa", None,
     "null\nnull\n", []),
]


def run(drevel, folder, name, source, driver):
    with open(os.path.join(folder, "game.dv"), "w") as f:
        f.write("use sdl2;\n" + source + "\n")
    output = os.path.join(folder, name.replace(" ", "_") + ".raw")
    empty_config = os.path.join(folder, "empty_alsa.conf")
    open(empty_config, "w").close()
    env = dict(os.environ, SDL_AUDIODRIVER=driver, SDL_DISKAUDIOFILE=output,
               ALSA_CONFIG_PATH=empty_config)
    done = subprocess.run([os.path.abspath(drevel), "game.dv"], cwd=folder, env=env, capture_output=True,
                          text=True, timeout=60)
    data = open(output, "rb").read() if os.path.exists(output) else None
    return done, data


def main():
    drevel = sys.argv[1]
    failed = 0
    with tempfile.TemporaryDirectory(prefix="drevel-sound-") as folder:
        for args in (["-n", "-r", "44100", "-c", "1", "tone.wav", "synth", "0.3", "sine", "440"],
                     ["-n", "-r", "44100", "-c", "1", "silence.wav", "trim", "0", "0.3"],
                     ["-n", "-r", "22050", "-c", "1", "tune.ogg", "synth", "0.1", "sine", "660"]):
            subprocess.run(["sox", *args], cwd=folder, check=True, timeout=30)
        with open(os.path.join(folder, "silence.wav"), "rb") as f:
            assert len(f.read()) > 20000  # silence that lasts, not an empty file
        for name, source, driver, check, stdout, errors in CASES:
            done, data = run(drevel, folder, name, source, driver)
            problems = []
            if done.stdout != stdout:
                problems.append(f"stdout {done.stdout!r}")
            reported = [line for line in done.stderr.splitlines() if "ERROR" in line]
            chatter = [line for line in done.stderr.splitlines() if "ERROR" not in line]
            if chatter:
                problems.append(f"standard error besides errors {chatter!r}")
            if len(reported) != len(errors) or not all(e in line for e, line in zip(errors, reported)):
                problems.append(f"errors {reported!r}")
            if check is not None:
                if not data or len(data) < 8192:
                    problems.append(f"output of {len(data or b'')} bytes")
                elif not check(data):
                    problems.append(f"output fails {check.__name__}")
            elif driver != "disk" and data is not None:
                problems.append("output written without a device")
            if problems:
                failed += 1
                print(f"FAIL {name}: {'; '.join(problems)}")
    print(f"{len(CASES) - failed} passed, {failed} failed")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
