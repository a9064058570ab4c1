#!/bin/sh
# Times the warm start: the flight tool runs the viewer to its first frame RUNS times (the
# terrain maps already generated; a run that has to generate them first is not counted) and this
# prints, for each part of start-up, the median and the smallest of its wall times in
# milliseconds. The smallest is the figure to compare on a busy machine: other work only ever
# adds to it. "first frame" is from the tool's start to the end of the first frame's drawing.
#
#   tools/flights/startup.sh [RUN_DIR] [RUNS]        RUN_DIR defaults to build/run, RUNS to 7
set -eu
here=$(cd "$(dirname "$0")" && pwd)
run_dir=${1:-$here/../../build/run}
runs=${2:-7}
cd "$run_dir"
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
if [ ! -f base/maps/errosion.dat ] || [ ! -f base/maps/basemap.dat ]; then
  ./meridia-flight --frames 1 > /dev/null
fi
times=$(mktemp)
trap 'rm -f "$times" "$times.csv"' EXIT
i=0
while [ "$i" -lt "$runs" ]; do
  ./meridia-flight --frames 1 --startup "$times.csv" > /dev/null
  # One line a run: the part names and their lengths, from the steps' start times.
  awk -F, 'NR > 1 { t[$1] = $2 }
    END {
      printf "modules %f\n", t["start planetary trees"] - t["start os version"]
      printf "window_and_context %f\n", t["entry points"] - t["start planetary trees"]
      printf "gl_font_generation %f\n", t["camera"] - t["entry points"]
      printf "maps_loaded %f\n", t["maps loaded"] - t["planet control"]
      printf "planet_built %f\n", t["UpdateReference"] - t["maps loaded"]
      printf "city %f\n", t["CreateTreeKinds"] - t["InitCity"]
      printf "tree_kinds %f\n", t["backdrop"] - t["CreateTreeKinds"]
      printf "backdrop %f\n", t["clear colour"] - t["backdrop"]
      printf "first_frame_drawing %f\n", t["first frame"] - t["clear colour"]
      printf "first_frame %f\n", t["first frame"]
    }' "$times.csv" >> "$times"
  i=$((i + 1))
done
printf '%-22s %10s %10s\n' part median_ms min_ms
for part in modules window_and_context gl_font_generation maps_loaded planet_built city \
            tree_kinds backdrop first_frame_drawing first_frame; do
  grep "^$part " "$times" | cut -d' ' -f2 | sort -g | awk -v part="$part" '
    { v[NR] = $1 }
    END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
          printf "%-22s %10.1f %10.1f\n", part, m, v[1] }'
done
