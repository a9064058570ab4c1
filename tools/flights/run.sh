#!/bin/sh
# Flies every scripted flight of this folder headless from the runnable folder and prints, for
# each, the median and the 99th percentile of the time spent drawing a frame (render_ms of the
# statistics), the deepest level reached, the frame count, and the median and 99th percentile of
# the whole frame (frame_ms). The statistics stay beside the programs as flight-NAME.csv, with a
# chart of frame_ms per frame, its median and 99th percentile marked, as flight-NAME.svg
# (chart.awk). Columns are read by the names in the CSV's header line.
#
#   tools/flights/run.sh [RUN_DIR]        RUN_DIR defaults to build/run
set -eu
here=$(cd "$(dirname "$0")" && pwd)
run_dir=${1:-$here/../../build/run}
cd "$run_dir"
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
printf '%-10s %8s %10s %8s %6s %15s %12s\n' flight frames median_ms p99_ms level \
  frame_median_ms frame_p99_ms
for flight in "$here"/*.flight; do
  name=$(basename "$flight" .flight)
  stats="flight-$name.csv"
  ./meridia-flight --script "$flight" --stats "$stats" > /dev/null
  awk -v title="$name" -f "$here/chart.awk" "$stats" > "flight-$name.svg"
  awk -F, -v name="$name" '
    NR == 1 { for (i = 1; i <= NF; i++) column[$i] = i; next }
    NF > 0 {
      n++
      render[n] = $(column["render_ms"]) + 0
      frame[n] = $(column["frame_ms"]) + 0
      if ($(column["level"]) + 0 > level) level = $(column["level"]) + 0
    }
    # Shell sort: the awk of a plain Debian (mawk) has no asort.
    function sort_values(a,   gap, i, j, v) {
      for (gap = int(n / 2); gap > 0; gap = int(gap / 2))
        for (i = gap + 1; i <= n; i++) {
          v = a[i]
          for (j = i; j > gap && a[j - gap] > v; j -= gap) a[j] = a[j - gap]
          a[j] = v
        }
    }
    # Nearest rank: the smallest value with at least p of the frames at or below it.
    function rank(a, p,   r) { r = int(p * n); if (r < p * n) r++; return a[r < 1 ? 1 : r] }
    END {
      sort_values(render); sort_values(frame)
      printf "%-10s %8d %10.3f %8.3f %6d %15.3f %12.3f\n", name, n, rank(render, 0.5),
        rank(render, 0.99), level, rank(frame, 0.5), rank(frame, 0.99)
    }' "$stats"
done
