#!/usr/bin/env bash
# Installs the system packages the build, the tests and the benchmarks need.
# Checks with dpkg first; installs with apt-get when run as root, otherwise
# prints the exact command to run.
set -euo pipefail

PACKAGES=(
    build-essential cmake pkg-config
    libicu-dev        # Unicode character data: identifiers, case mapping, white space
    libedit-dev       # line editing and history in the REPL
    libsdl2-dev       # the graphics window
    libsdl2-ttf-dev libsdl2-image-dev libsdl2-mixer-dev  # text, pictures and sound in the window
    fonts-dejavu-core # the default font of sdl2.draw_text
    libsimdjson-dev   # reading JSON text
    libgtest-dev      # unit tests
    python3           # test runners
    curl              # the module manager downloads with curl
    xvfb xdotool imagemagick  # graphics tests under a virtual X server
    sox               # sounds of the sound tests and of examples/balloons
    apache2-utils     # ab, for the server load tests
    nginx-light       # peer server of the http benchmark
    lua5.4 hyperfine  # benchmark peers and timing
    time              # GNU time: peak memory of each benchmark run
    python3-pygame    # peer of the frame benchmark (bench/frame)
    clang libclang-rt-14-dev  # fuzzing and LeakSanitizer
    vim-nox           # checks the Vim syntax file (editors/)
)

missing=()
for pkg in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
    echo "Missing system packages. Run:"
    echo "    sudo apt-get update && sudo apt-get install -y ${missing[*]}"
    exit 1
fi
