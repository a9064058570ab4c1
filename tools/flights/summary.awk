# One flight's row of run.sh's table from its statistics, frames 11 on (see run.sh); the
# hitches are counted over every frame, as hitches.awk defines them.
#
#   awk -F, -v name=NAME -f tools/flights/hitches.awk -f tools/flights/summary.awk flight-NAME.csv
NR == 1 { for (i = 1; i <= NF; i++) column[$i] = i; next }
NF > 0 {
  rows++
  all_frames[rows] = $(column["frame"]) + 0
  all_ms[rows] = $(column["frame_ms"]) + 0
  if ($(column["frame"]) + 0 <= 10) next
  n++
  render[n] = $(column["render_ms"]) + 0
  frame[n] = $(column["frame_ms"]) + 0
  if ("cpu_ms" in column) cpu[n] = $(column["cpu_ms"]) + 0
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
  hitches = find_hitches(all_frames, all_ms, rows, hitch)
  sort_values(render); sort_values(frame)
  cpu_median = "-"
  if ("cpu_ms" in column) { sort_values(cpu); cpu_median = sprintf("%.3f", rank(cpu, 0.5)) }
  printf "%-10s %6d %9.3f %8.3f %5d %15.3f %12.3f %10s %7d\n", name, n, rank(render, 0.5),
    rank(render, 0.99), level, rank(frame, 0.5), rank(frame, 0.99), cpu_median, hitches
}
