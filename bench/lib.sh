# Shared by the directory benchmarks (sourced): timing without forking a
# clock program, medians and ratios.  Needs bash 5 for EPOCHREALTIME.

# The wall-clock time in microseconds.
now_us() { echo "${EPOCHREALTIME/./}"; }

# time_us CMD...: runs CMD with standard output thrown away and prints the
# microseconds it took.  Fails when CMD fails.
time_us() {
  local t0 t1
  t0=${EPOCHREALTIME/./}
  "$@" > /dev/null
  t1=${EPOCHREALTIME/./}
  echo $((t1 - t0))
}

# The median of the numbers on standard input, one a line (the upper one of
# the middle two for an even count).
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int(NR / 2) + 1] }'; }

# ratio A B: A / B with two decimals.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# within RATIO LIMIT: succeeds when RATIO <= LIMIT.
within() { awk -v r="$1" -v l="$2" 'BEGIN { exit !(r <= l) }'; }

# paired_ratio "A1 A2 ..." "B1 B2 ...": the median of Ai / Bi with three
# decimals.  Each pair is timed back to back, so a slow spell of a shared
# machine slows both of a pair and drops out of their ratio, where it would
# move one median and not the other.
paired_ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN {
    n = split(a, x, " "); split(b, y, " ")
    for (i = 1; i <= n; i++) r[i] = x[i] / y[i]
    for (i = 2; i <= n; i++) { v = r[i]; for (j = i - 1; j >= 1 && r[j] > v; j--) r[j + 1] = r[j]; r[j + 1] = v }
    printf "%.3f", r[int(n / 2) + 1] }'
}
