#!/bin/sh
# Times the warm start: the flight tool runs the viewer to its first frame RUNS times (the
# terrain maps already generated; a run that has to generate them first is not counted) and this
# prints, for each part of start-up, the median and the smallest of its wall times and the median
# processor time of the main thread and of the whole process (rasterizer threads included), in
# milliseconds. On a busy machine the wall time also measures the neighbours: compare the
# smallest wall times, or the processor times. "first_frame" runs from the tool's start to the
# end of the first frame's drawing.
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
  # One line a part and run: its name, wall, thread and process milliseconds.
  awk -F, 'NR > 1 { w[$1] = $2; t[$1] = $3; p[$1] = $4 }
    function part(name, from, to) {
      printf "%s %f %f %f\n", name, w[to] - w[from], t[to] - t[from], p[to] - p[from]
    }
    END {
      part("modules", "start os version", "start planetary trees")
      part("window_and_context", "start planetary trees", "entry points")
      part("gl_font_generation", "entry points", "camera")
      part("maps_loaded", "planet control", "maps loaded")
      part("planet_built", "maps loaded", "UpdateReference")
      part("city", "InitCity", "CreateTreeKinds")
      part("tree_kinds", "CreateTreeKinds", "backdrop")
      part("backdrop", "backdrop", "clear colour")
      part("first_frame_drawing", "clear colour", "first frame")
      printf "first_frame %f %f %f\n", w["first frame"], t["first frame"], p["first frame"]
    }' "$times.csv" >> "$times"
  i=$((i + 1))
done
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf '%-20s %10s %10s %12s %13s\n' part wall_median wall_min thread_cpu process_cpu
for part in modules window_and_context gl_font_generation maps_loaded planet_built city \
            tree_kinds backdrop first_frame_drawing first_frame; do
  rows=$(grep "^$part " "$times")
  wall_median=$(echo "$rows" | cut -d' ' -f2 | median)
  wall_min=$(echo "$rows" | cut -d' ' -f2 | sort -g | head -1)
  thread=$(echo "$rows" | cut -d' ' -f3 | median)
  process=$(echo "$rows" | cut -d' ' -f4 | median)
  printf '%-20s %10.1f %10.1f %12.1f %13.1f\n' "$part" "$wall_median" "$wall_min" "$thread" \
    "$process"
done
