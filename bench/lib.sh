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

# build_revision REV DIR: builds the tool of the commit REV of this
# repository, in release mode, into DIR/build/lorvane (its sources exported
# to DIR/src, so that the working tree is left alone).  Fails with a message
# when REV is not in the repository or does not build.
build_revision() {
  local rev=$1 dir=$2 root
  root=$(git -C "$(dirname "${BASH_SOURCE[0]}")" rev-parse --show-toplevel 2>/dev/null) &&
    git -C "$root" rev-parse --verify --quiet "$rev^{commit}" >/dev/null ||
    { echo "revision $rev is not in the repository" >&2; return 1; }
  mkdir -p "$dir/src"
  git -C "$root" archive "$rev" | tar -x -C "$dir/src"
  cmake -S "$dir/src" -B "$dir/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DLORVANE_TESTS=OFF -DLORVANE_BENCH=OFF >/dev/null &&
    cmake --build "$dir/build" -j2 --target lorvane >/dev/null ||
    { echo "revision $rev does not build" >&2; return 1; }
}
