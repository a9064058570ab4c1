#!/bin/sh
# Flies every scripted flight of this folder headless from the runnable folder and prints, for
# each, from its eleventh frame on (the first ones still load the planet): the median and the
# 99th percentile of the time spent drawing a frame (render_ms of the statistics), the deepest
# level reached, the median and 99th percentile of the whole frame (frame_ms), the median of the
# main thread's processor time a frame (cpu_ms) and the number of hitches (hitches.awk). The
# statistics stay beside the programs as flight-NAME.csv, with a chart of frame_ms per frame,
# its median and 99th percentile marked and each hitch ringed, as flight-NAME.svg (chart.awk).
# Columns are read by the names in the CSV's header line; one an older program does not write
# is shown as "-".
#
# --cpu flies under Mesa's no-op driver, which runs the program and OpenGL's front end and
# draws nothing: the frame times are then what the program itself costs, as a graphics card
# would leave them, not the software rasterizer's filling.
#
#   tools/flights/run.sh [--cpu] [RUN_DIR]        RUN_DIR defaults to build/run
set -eu
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" = "--cpu" ]; then
  export GALLIUM_NOOP=1
  shift
fi
case "${1:-}" in
-*)
  echo "usage: tools/flights/run.sh [--cpu] [RUN_DIR]" >&2
  exit 2
  ;;
esac
run_dir=${1:-$here/../../build/run}
cd "$run_dir"
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
printf '%-10s %6s %9s %8s %5s %15s %12s %10s %7s\n' flight frames median_ms p99_ms level \
  frame_median_ms frame_p99_ms cpu_median hitches
for flight in "$here"/*.flight; do
  name=$(basename "$flight" .flight)
  stats="flight-$name.csv"
  ./meridia-flight --script "$flight" --stats "$stats" > /dev/null
  awk -v title="$name" -f "$here/hitches.awk" -f "$here/chart.awk" "$stats" > "flight-$name.svg"
  awk -F, -v name="$name" -f "$here/hitches.awk" -f "$here/summary.awk" "$stats"
done
