#!/usr/bin/env bash
# Draws the balloons with ImageMagick and synthesises the sounds with sox
# into assets/. The results are checked in; run this again after changing it.
set -euo pipefail
cd "$(dirname "$0")"
mkdir -p assets

balloon() { # name, colour
    convert -size 40x56 xc:none \
        -stroke gray40 -strokewidth 1 -draw "line 20,44 20,55" \
        -stroke none -fill "$2" -draw "ellipse 20,22 18,21 0,360" \
        -draw "polygon 16,42 24,42 20,46" \
        -fill "rgba(255,255,255,0.6)" -draw "ellipse 13,13 4,7 0,360" \
        -depth 8 -define png:exclude-chunks=date,time -strip "assets/$1.png"
}
balloon red "rgb(220,40,50)"
balloon blue "rgb(50,110,230)"
balloon yellow "rgb(240,200,40)"

# A short burst of noise for a pop, a falling whistle for a miss.
sox -n -r 22050 -c 1 -b 8 assets/pop.wav synth 0.09 noise fade 0 0.09 0.08 vol 0.6
sox -n -r 22050 -c 1 -b 8 assets/miss.wav synth 0.35 sine 700-200 fade 0 0.35 0.1 vol 0.4

# Eight plucked notes, looped by the game as its music.
notes=(C4 E4 G4 E4 F4 A4 G4 D4)
parts=()
for i in "${!notes[@]}"; do
    sox -n -r 22050 -c 1 "assets/note$i.wav" synth 0.3 pluck "${notes[$i]}" vol 0.5
    parts+=("assets/note$i.wav")
done
sox "${parts[@]}" -C 0 assets/music.ogg
rm "${parts[@]}"
