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
  # The disc of the planet, about 420 pixels across in the middle of the 800 x 600 shot, clear of
  # the overlay's lines.
  convert "$shots/$seed/frame_00060.tga.png" -crop 440x440+180+80 +repage "$shots/world$seed.png"
  set -- "$@" -label "seed $seed" "$shots/world$seed.png"
done
montage -font DejaVu-Sans -pointsize 18 -fill white -background black "$@" \
  -tile 6x1 -geometry 240x240+4+4 "$pictures/worlds.png"
printf 'worlds %8d bytes  %s\n' "$(wc -c < "$pictures/worlds.png")" "$pictures/worlds.png"
