#!/usr/bin/env bash
# Indexing a directory of 5,000 small PCF fonts, against cat of the same
# files to /dev/null, in the same run: medians of several repetitions.
#   bench/pcfdir_bench.sh [BUILD_DIR] [FONTS] [REPETITIONS]
# Exits 1 when lorvane takes more than 1.5 times as long as cat.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build=${1:-build-release}
fonts=${2:-5000}
reps=${3:-9}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$build/tests/make_samples" bench "$dir" "$fonts"

cat "$dir"/*.pcf > /dev/null  # warm the page cache
"$build/lorvane" "$dir"
lorvane_times=() cat_times=()
for ((i = 0; i < reps; i++)); do
  lorvane_times+=("$(time_us "$build/lorvane" "$dir")")
  cat_times+=("$(time_us cat "$dir"/*.pcf)")
done
[ "$(head -n 1 "$dir/fonts.dir")" = "$fonts" ] || { echo "fonts.dir does not list $fonts fonts" >&2; exit 2; }
l=$(printf '%s\n' "${lorvane_times[@]}" | median)
c=$(printf '%s\n' "${cat_times[@]}" | median)
r=$(ratio "$l" "$c")
echo "fonts: $fonts  repetitions: $reps"
echo "lorvane median: ${l} us"
echo "cat median:     ${c} us"
echo "ratio:          $r (limit 1.50)"
within "$r" 1.5
