# Draws one flight's frame times as an SVG chart: frame_ms (the whole frame, wall time) against
# the frame, with the median and the 99th percentile as labelled horizontal lines, so that a
# hitch stands out at a glance. Columns are found by their names in the CSV's header line, so
# columns added later change nothing. A frame far above the rest (more than five times the 99th
# percentile, as the first frames can be) would flatten the chart: the scale then stops at three
# times the 99th percentile and such frames are drawn as marks on the top edge, the highest
# labelled with its time. Each hitch (hitches.awk) is ringed in red and counted beside the title.
#
#   awk -v title=NAME -f tools/flights/hitches.awk -f tools/flights/chart.awk flight-NAME.csv \
#     > flight-NAME.svg
BEGIN {
  FS = ","
  width = 800; height = 320; left = 64; right = 24; top = 36; bottom = 48
  plot_w = width - left - right; plot_h = height - top - bottom
}

NR == 1 {
  for (i = 1; i <= NF; i++) column[$i] = i
  if (!("frame_ms" in column)) {
    print "chart.awk: no frame_ms column in " FILENAME > "/dev/stderr"
    failed = 1
    exit 1
  }
  next
}

NF > 0 {
  n++
  frame[n] = ("frame" in column) ? $(column["frame"]) + 0 : n
  ms[n] = $(column["frame_ms"]) + 0
  sorted[n] = ms[n]
}

# Shell sort: the awk of a plain Debian (mawk) has no asort.
function sort_values(a, count,   gap, i, j, v) {
  for (gap = int(count / 2); gap > 0; gap = int(gap / 2))
    for (i = gap + 1; i <= count; i++) {
      v = a[i]
      for (j = i; j > gap && a[j - gap] > v; j -= gap) a[j] = a[j - gap]
      a[j] = v
    }
}

# Nearest rank: the smallest value with at least p of the frames at or below it.
function rank(p,   r) { r = int(p * n); if (r < p * n) r++; return sorted[r < 1 ? 1 : r] }

# The smallest of 1, 2 and 5 times a power of ten that cuts 0..top into at most `steps` steps.
function nice_step(top, steps,   raw, power, f) {
  raw = top / steps
  if (raw <= 0) return 1
  power = exp(log(10) * int(log(raw) / log(10) + (raw < 1 ? -1 : 0)))
  f = raw / power
  if (f <= 1) return power
  if (f <= 2) return 2 * power
  if (f <= 5) return 5 * power
  return 10 * power
}

function x_of(f) { return left + (last > first ? (f - first) / (last - first) : 0.5) * plot_w }
function y_of(v) { return top + plot_h - (v > y_top ? y_top : v) / y_top * plot_h }
function esc(s) { gsub(/&/, "\\&amp;", s); gsub(/</, "\\&lt;", s); return s }

# The median's label goes under its line, the 99th percentile's over it, so that they never
# overlap when the two are close.
function hline(v, colour, label, below) {
  printf "<line x1=\"%d\" y1=\"%.1f\" x2=\"%d\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"1.5\" " \
         "stroke-dasharray=\"6 4\"/>\n", left, y_of(v), left + plot_w, y_of(v), colour
  # A white halo keeps the label readable over the line of frame times.
  printf "<text x=\"%d\" y=\"%.1f\" fill=\"%s\" text-anchor=\"end\" stroke=\"white\" " \
         "stroke-width=\"4\" paint-order=\"stroke\">%s %.2f ms</text>\n",
         left + plot_w - 4, y_of(v) + (below ? 14 : -4), colour, label, v
}

END {
  if (failed) exit 1
  if (n == 0) {
    print "chart.awk: no frames in " FILENAME > "/dev/stderr"
    exit 1
  }
  sort_values(sorted, n)
  median = rank(0.5); p99 = rank(0.99); highest = sorted[n]
  first = frame[1]; last = frame[n]
  clipped = highest > 5 * p99 && p99 > 0
  limit = clipped ? 3 * p99 : highest
  if (limit <= 0) limit = 1
  y_step = nice_step(limit, 6); y_top = y_step * int(limit / y_step + 0.999999)
  if (y_top < limit) y_top += y_step

  printf "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" " \
         "viewBox=\"0 0 %d %d\" font-family=\"sans-serif\" font-size=\"12\">\n",
         width, height, width, height
  printf "<rect width=\"%d\" height=\"%d\" fill=\"white\"/>\n", width, height
  printf "<text x=\"%d\" y=\"22\" font-size=\"14\">%s: frame time per frame (%d frames)</text>\n",
         left, esc(title), n
  hitches = find_hitches(frame, ms, n, hitch)
  printf "<text x=\"%d\" y=\"22\" text-anchor=\"end\" fill=\"%s\">%d %s</text>\n",
         left + plot_w, hitches ? "#c02020" : "#208020", hitches, hitches == 1 ? "hitch" : "hitches"

  # Grid and ticks.
  for (v = 0; v <= y_top + y_step / 2; v += y_step) {
    printf "<line x1=\"%d\" y1=\"%.1f\" x2=\"%d\" y2=\"%.1f\" stroke=\"#e4e4e4\"/>\n",
           left, y_of(v), left + plot_w, y_of(v)
    printf "<text x=\"%d\" y=\"%.1f\" text-anchor=\"end\">%g</text>\n", left - 6, y_of(v) + 4, v
  }
  x_step = nice_step(last - first > 0 ? last - first : 1, 10)
  if (x_step < 1) x_step = 1
  for (f = int(first / x_step) * x_step; f <= last; f += x_step) {
    if (f < first) continue
    printf "<line x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" stroke=\"#444\"/>\n",
           x_of(f), top + plot_h, x_of(f), top + plot_h + 5
    printf "<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%g</text>\n",
           x_of(f), top + plot_h + 18, f
  }
  printf "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"none\" stroke=\"#444\"/>\n",
         left, top, plot_w, plot_h
  printf "<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">frame</text>\n",
         left + plot_w / 2, height - 8
  printf "<text x=\"16\" y=\"%d\" text-anchor=\"middle\" transform=\"rotate(-90 16 %d)\">ms</text>\n",
         top + plot_h / 2, top + plot_h / 2

  # The frame times.
  printf "<polyline fill=\"none\" stroke=\"#1f5fbf\" stroke-width=\"1\" points=\""
  for (i = 1; i <= n; i++) printf "%s%.1f,%.1f", (i > 1 ? " " : ""), x_of(frame[i]), y_of(ms[i])
  printf "\"/>\n"
  if (clipped) {
    for (i = 1; i <= n; i++)
      if (ms[i] > y_top) {
        printf "<path d=\"M%.1f %d l-4 -7 h8 z\" fill=\"#c02020\"/>\n", x_of(frame[i]), top
        if (ms[i] == highest && !labelled) {
          printf "<text x=\"%.1f\" y=\"%d\" fill=\"#c02020\" text-anchor=\"%s\">" \
                 "frame %g: %.1f ms</text>\n", x_of(frame[i]) + (x_of(frame[i]) > width / 2 ? -8 : 8),
                 top + 16, (x_of(frame[i]) > width / 2 ? "end" : "start"), frame[i], ms[i]
          labelled = 1
        }
      }
  }

  for (i = 1; i <= n; i++)
    if (hitch[i])
      printf "<circle class=\"hitch\" cx=\"%.1f\" cy=\"%.1f\" r=\"5\" fill=\"none\" " \
             "stroke=\"#c02020\" stroke-width=\"1.5\"/>\n", x_of(frame[i]), y_of(ms[i])

  hline(p99, "#c02020", "p99", 0)
  hline(median, "#208020", "median", 1)
  print "</svg>"
}
