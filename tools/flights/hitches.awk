# Hitches in a flight's frame times, shared by run.sh and chart.awk. A hitch is a frame after the
# tenth whose frame time is more than twice the median of its twenty neighbours (ten on each
# side, fewer at the ends of the flight) and more than 15 ms above that median: a frame a person
# sees stutter, where a slow stretch of many frames is not one.

# Marks hitch[i] = 1 for each hitch among the n rows (frame numbers in frame[], times in ms[],
# rows in flight order) and returns how many there are.
function find_hitches(frame, ms, n, hitch,   i, j, k, m, v, near, count, median) {
  count = 0
  for (i = 1; i <= n; i++) {
    hitch[i] = 0
    if (frame[i] <= 10) continue
    m = 0
    for (j = i - 10; j <= i + 10; j++) {
      if (j < 1 || j > n || j == i) continue
      # Insertion into near[1..m], kept sorted.
      v = ms[j]
      for (k = m; k > 0 && near[k] > v; k--) near[k + 1] = near[k]
      near[k + 1] = v
      m++
    }
    if (m == 0) continue
    median = (m % 2) ? near[(m + 1) / 2] : (near[m / 2] + near[m / 2 + 1]) / 2
    if (ms[i] > 2 * median && ms[i] > median + 15) {
      hitch[i] = 1
      count++
    }
  }
  return count
}
