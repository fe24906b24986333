#!/usr/bin/env bash
# Indexing a directory of gzip-compressed PCF fonts of realistic size, in the
# same run as the two baselines over the same files: the inflate floor (zlib
# alone, output thrown away) and gzip -dc to /dev/null.  Medians of several
# repetitions, interleaved.
#   bench/pcfgz_bench.sh [BUILD_DIR] [FONTS] [REPETITIONS]
# Each font has 500 glyphs of 12 x 24 (about 31 KiB uncompressed), its glyph
# metrics and bitmaps lying between the properties and the encodings, so the
# reader skips across them.  Exits 1 when lorvane takes more than 1.05 times
# as long as the floor.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build=${1:-build-release}
fonts=${2:-1000}
reps=${3:-61}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$build/tests/make_samples" bench "$dir" "$fonts" 500 12 24
plain_bytes=$(cat "$dir"/*.pcf | wc -c)
gzip "$dir"/*.pcf  # keeps each file's name in its header, as usual
packed_bytes=$(cat "$dir"/*.pcf.gz | wc -c)

floor=$build/bench/inflate_floor
"$build/lorvane" "$dir"  # also warms the page cache
"$floor" "$dir"/*.pcf.gz > /dev/null
lorvane_times=() floor_times=() gzip_times=()
for ((i = 0; i < reps; i++)); do
  if ((i % 2 == 0)); then
    lorvane_times+=("$(time_us "$build/lorvane" "$dir")")
    floor_times+=("$(time_us "$floor" "$dir"/*.pcf.gz)")
  else
    floor_times+=("$(time_us "$floor" "$dir"/*.pcf.gz)")
    lorvane_times+=("$(time_us "$build/lorvane" "$dir")")
  fi
  gzip_times+=("$(time_us gzip -dc "$dir"/*.pcf.gz)")
done
[ "$(head -n 1 "$dir/fonts.dir")" = "$fonts" ] || { echo "fonts.dir does not list $fonts fonts" >&2; exit 2; }
l=$(printf '%s\n' "${lorvane_times[@]}" | median)
f=$(printf '%s\n' "${floor_times[@]}" | median)
g=$(printf '%s\n' "${gzip_times[@]}" | median)
r=$(paired_ratio "${lorvane_times[*]}" "${floor_times[*]}")
rg=$(paired_ratio "${lorvane_times[*]}" "${gzip_times[*]}")
echo "fonts: $fonts ($plain_bytes bytes, $packed_bytes compressed)  repetitions: $reps"
echo "lorvane median:       ${l} us"
echo "inflate floor median: ${f} us"
echo "gzip -dc median:      ${g} us"
echo "lorvane / floor:      $r (median of paired ratios; limit 1.05)"
echo "lorvane / gzip -dc:   $rg"
within "$r" 1.05
