#!/bin/sh
# Makes the pictures at the top of the README again, from scripted flights flown headless from
# the runnable folder, with a fixed clock seed and the flight tool's stepped clock so that the
# same build gives the same pictures: the planet from orbit, eroded mountains from mid altitude,
# a wood on grass at the ground, the sky at the horizon, and the galaxy behind the planet (the
# backdrop, which G turns on). Each flight stops at the frame it shoots; meridia-inspect turns
# the bottom-up TGA shot into an upright PNG, written as docs/pictures/NAME.png (800 x 600, the
# window's size).
#
#   tools/pictures/readme.sh [RUN_DIR]        RUN_DIR defaults to build/run
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

# shoot NAME FLIGHT FRAME
shoot() {
  frame_file=$(printf 'frame_%05d.tga' "$3")
  ./meridia-flight --script "$2" --frames "$3" --shot "$3" --shots "$shots/$1" --clock-seed 1 \
    > /dev/null
  ./meridia-inspect --out "$shots/$1" --png "$shots/$1/$frame_file" > /dev/null
  mv "$shots/$1/$frame_file.png" "$pictures/$1.png"
  printf '%-10s %8d bytes  %s frame %d\n' "$1" "$(wc -c < "$pictures/$1.png")" \
    "$(basename "$2")" "$3"
}

shoot orbit "$here/readme-orbit.flight" 60
shoot mountains "$here/readme-mountains.flight" 90
# The forest walk's first view at the ground: trees on the green lowland under the sky.
shoot ground "$root/tools/flights/forest.flight" 24
shoot horizon "$here/readme-horizon.flight" 60
shoot galaxy "$here/readme-galaxy.flight" 60
