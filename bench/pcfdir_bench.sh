#!/usr/bin/env bash
# Indexing a directory of 5,000 small PCF fonts, against cat of the same
# files to /dev/null, in the same run: medians of several repetitions.
#   bench/pcfdir_bench.sh [BUILD_DIR] [FONTS] [REPETITIONS]
# Exits 1 when lorvane takes more than 1.5 times as long as cat.
set -euo pipefail
build=${1:-build}
fonts=${2:-5000}
reps=${3:-9}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$build/tests/make_samples" bench "$dir" "$fonts"

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

cat "$dir"/*.pcf > /dev/null  # warm the page cache
"$build/lorvane" "$dir"
lorvane_times=() cat_times=()
for ((i = 0; i < reps; i++)); do
  t0=$(now); "$build/lorvane" "$dir"; t1=$(now)
  cat "$dir"/*.pcf > /dev/null; t2=$(now)
  lorvane_times+=($(( (t1 - t0) / 1000 )))
  cat_times+=($(( (t2 - t1) / 1000 )))
done
[ "$(head -n 1 "$dir/fonts.dir")" = "$fonts" ] || { echo "fonts.dir does not list $fonts fonts" >&2; exit 2; }
l=$(printf '%s\n' "${lorvane_times[@]}" | median)
c=$(printf '%s\n' "${cat_times[@]}" | median)
ratio=$(awk -v l="$l" -v c="$c" 'BEGIN { printf "%.2f", l / c }')
echo "fonts: $fonts  repetitions: $reps"
echo "lorvane median: ${l} us"
echo "cat median:     ${c} us"
echo "ratio:          $ratio (limit 1.50)"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.5) }'
