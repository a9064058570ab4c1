#!/bin/sh
# Flies every scripted flight of this folder headless from the runnable folder and prints, for
# each, the median and the 99th percentile of the time spent drawing a frame (render_ms of the
# statistics), the deepest level reached and the frame count. The statistics stay beside the
# programs as flight-NAME.csv.
#
#   tools/flights/run.sh [RUN_DIR]        RUN_DIR defaults to build/run
set -eu
here=$(cd "$(dirname "$0")" && pwd)
run_dir=${1:-$here/../../build/run}
cd "$run_dir"
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
printf '%-10s %8s %10s %8s %6s\n' flight frames median_ms p99_ms level
for flight in "$here"/*.flight; do
  name=$(basename "$flight" .flight)
  stats="flight-$name.csv"
  ./meridia-flight --script "$flight" --stats "$stats" > /dev/null
  # Nearest rank: the smallest value with at least p of the frames at or below it.
  tail -n +2 "$stats" | cut -d, -f2,5 | sort -t, -k1,1g | awk -F, -v name="$name" '
    { ms[NR] = $1; if ($2 > level) level = $2 }
    function rank(p,   r) { r = int(p * NR); if (r < p * NR) r++; return ms[r < 1 ? 1 : r] }
    END { printf "%-10s %8d %10.3f %8.3f %6d\n", name, NR, rank(0.5), rank(0.99), level }'
done
