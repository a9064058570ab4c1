#!/bin/sh
# Makes the gallery of worlds in the README again: the planet of six seeds from orbit, each flown
# headless from the runnable folder with the same scripted flight as the README's orbit picture
# (readme-orbit.flight, frame 60, a fixed clock seed and the stepped clock), cut to the planet
# and set side by side, labelled with its seed, by ImageMagick's montage into
# docs/pictures/worlds.png. A world's maps are made on its first visit (a few seconds each) and
# stay in the runnable folder's maps folder for the next run.
#
#   tools/pictures/worlds.sh [RUN_DIR]        RUN_DIR defaults to build/run
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
run_dir=${1:-$root/build/run}
pictures=$root/docs/pictures
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
mkdir -p "$pictures"
cd "$run_dir"
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"

set --
for seed in 500 7 42 1984 31337 -2024; do
  ./meridia-flight --script "$here/readme-orbit.flight" --seed "$seed" --frames 60 --shot 60 \
    --shots "$shots/$seed" --clock-seed 1 > /dev/null
  ./meridia-inspect --out "$shots/$seed" --png "$shots/$seed/frame_00060.tga" > /dev/null
  # The planet with its sky's rim, about 480 pixels across in the middle of the 800 x 600 shot;
  # the overlay's lines at its side and below it are blacked out first.
  convert "$shots/$seed/frame_00060.tga.png" -fill black -draw 'rectangle 0,0 165,230' \
    -draw 'rectangle 0,536 799,599' -crop 490x490+158+55 +repage "$shots/world$seed.png"
  set -- "$@" -label "seed $seed" "$shots/world$seed.png"
done
montage -font DejaVu-Sans -pointsize 18 -fill white -background black "$@" \
  -tile 6x1 -geometry 210x210+3+3 -depth 8 -strip "$pictures/worlds.png"
printf 'worlds %8d bytes  %s\n' "$(wc -c < "$pictures/worlds.png")" "$pictures/worlds.png"
