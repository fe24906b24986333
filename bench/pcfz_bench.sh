#!/usr/bin/env bash
# Indexing a directory of small LZW-compressed PCF fonts (".pcf.Z", 95
# glyphs of 6 x 13, as most of a bitmap font directory), against the tool
# of an earlier commit over the same files, in the same run: the median of
# the ratios of back-to-back pairs (each in turn first).
#   bench/pcfz_bench.sh [BUILD_DIR] [BASELINE_REVISION] [FONTS] [REPETITIONS]
# The baseline defaults to the last commit whose filter cleared its whole
# tables for every stream.  Exits 1 when lorvane is not at least 1.2 times as
# fast as the baseline (a ratio above 0.83).
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build=${1:-build-release}
rev=${2:-2df3a99}
fonts=${3:-5000}
reps=${4:-31}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
build_revision "$rev" "$dir/baseline"
base=$dir/baseline/build/lorvane
mkdir "$dir/fonts"
"$build/tests/make_samples" bench "$dir/fonts" "$fonts" >/dev/null
compress "$dir/fonts"/*.pcf

"$build/lorvane" "$dir/fonts"  # also warms the page cache
"$base" "$dir/fonts"
lorvane_times=() base_times=()
for ((i = 0; i < reps; i++)); do
  if ((i % 2 == 0)); then
    lorvane_times+=("$(time_us "$build/lorvane" "$dir/fonts")")
    base_times+=("$(time_us "$base" "$dir/fonts")")
  else
    base_times+=("$(time_us "$base" "$dir/fonts")")
    lorvane_times+=("$(time_us "$build/lorvane" "$dir/fonts")")
  fi
done
[ "$(head -n 1 "$dir/fonts/fonts.dir")" = "$fonts" ] || { echo "fonts.dir does not list $fonts fonts" >&2; exit 2; }
l=$(printf '%s\n' "${lorvane_times[@]}" | median)
b=$(printf '%s\n' "${base_times[@]}" | median)
r=$(paired_ratio "${lorvane_times[*]}" "${base_times[*]}")
echo "fonts: $fonts  repetitions: $reps  baseline: $(git -C "$(dirname "$0")" rev-parse --short "$rev")"
echo "lorvane median:  ${l} us"
echo "baseline median: ${b} us"
echo "lorvane / baseline: $r (median of paired ratios; limit 0.83)"
within "$r" 0.83
