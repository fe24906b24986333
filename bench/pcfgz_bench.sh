#!/usr/bin/env bash
# Indexing a directory of gzip-compressed PCF fonts of realistic size, in the
# same run as the baselines over the same files: the zlib floor (zlib alone
# inflating each member, output thrown away), the engine floor (the filter's
# whole-member decoder alone decoding each member whole), the libdeflate
# floor (the same with libdeflate, when it is installed) and gzip -dc to
# /dev/null.  Medians of several repetitions, interleaved, and the medians of
# the ratios of back-to-back pairs.
#   bench/pcfgz_bench.sh [BUILD_DIR] [FONTS] [REPETITIONS]
# Each font has 4,500 glyph-like bitmaps of 16 x 16 (some 210 KiB
# uncompressed, 60 KiB compressed, as a distribution's fonts average), its
# glyph metrics and bitmaps lying between the properties and the encodings,
# so the whole file is decoded.  Exits 1 when lorvane takes more than 0.55
# times as long as the zlib floor or more than 1.2 times as long as the
# engine floor (in a build with zlib alone, more than 1.05 times the zlib
# floor).
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build=${1:-build-release}
fonts=${2:-1000}
reps=${3:-61}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$build/tests/make_samples" bench "$dir" "$fonts" 4500 16 16 drawn
plain_bytes=$(cat "$dir"/*.pcf | wc -c)
gzip "$dir"/*.pcf  # keeps each file's name in its header, as usual
packed_bytes=$(cat "$dir"/*.pcf.gz | wc -c)

zfloor=$build/bench/inflate_floor
efloor=$build/bench/engine_floor
dfloor=$build/bench/libdeflate_floor
[ -x "$dfloor" ] || dfloor=
# A build with zlib alone has no whole-member way to compare with its floor.
! grep -q '^LORVANE_DEFLATE_ENGINE:STRING=zlib$' "$build/CMakeCache.txt" || efloor=
"$build/lorvane" "$dir"  # also warms the page cache
for floor in "$zfloor" $efloor $dfloor; do "$floor" "$dir"/*.pcf.gz > /dev/null; done
lorvane_times=() zfloor_times=() efloor_times=() dfloor_times=() gzip_times=()
for ((i = 0; i < reps; i++)); do
  # lorvane and each floor in turns first.
  if ((i % 2 == 0)); then
    lorvane_times+=("$(time_us "$build/lorvane" "$dir")")
    zfloor_times+=("$(time_us "$zfloor" "$dir"/*.pcf.gz)")
    [ -z "$efloor" ] || efloor_times+=("$(time_us "$efloor" "$dir"/*.pcf.gz)")
    [ -z "$dfloor" ] || dfloor_times+=("$(time_us "$dfloor" "$dir"/*.pcf.gz)")
  else
    [ -z "$dfloor" ] || dfloor_times+=("$(time_us "$dfloor" "$dir"/*.pcf.gz)")
    [ -z "$efloor" ] || efloor_times+=("$(time_us "$efloor" "$dir"/*.pcf.gz)")
    zfloor_times+=("$(time_us "$zfloor" "$dir"/*.pcf.gz)")
    lorvane_times+=("$(time_us "$build/lorvane" "$dir")")
  fi
  gzip_times+=("$(time_us gzip -dc "$dir"/*.pcf.gz)")
done
[ "$(head -n 1 "$dir/fonts.dir")" = "$fonts" ] || { echo "fonts.dir does not list $fonts fonts" >&2; exit 2; }
l=$(printf '%s\n' "${lorvane_times[@]}" | median)
z=$(printf '%s\n' "${zfloor_times[@]}" | median)
g=$(printf '%s\n' "${gzip_times[@]}" | median)
rz=$(paired_ratio "${lorvane_times[*]}" "${zfloor_times[*]}")
rg=$(paired_ratio "${lorvane_times[*]}" "${gzip_times[*]}")
echo "fonts: $fonts ($plain_bytes bytes, $packed_bytes compressed)  repetitions: $reps"
echo "lorvane median:       ${l} us"
echo "zlib floor median:    ${z} us"
if [ -n "$efloor" ]; then
  e=$(printf '%s\n' "${efloor_times[@]}" | median)
  echo "engine floor median:  ${e} us"
fi
if [ -n "$dfloor" ]; then
  d=$(printf '%s\n' "${dfloor_times[@]}" | median)
  echo "libdeflate floor median: ${d} us"
fi
echo "gzip -dc median:      ${g} us"
if [ -n "$efloor" ]; then
  re=$(paired_ratio "${lorvane_times[*]}" "${efloor_times[*]}")
  echo "lorvane / zlib floor:   $rz (median of paired ratios; limit 0.55)"
  echo "lorvane / engine floor: $re (median of paired ratios; limit 1.20)"
  echo "engine floor / zlib floor: $(paired_ratio "${efloor_times[*]}" "${zfloor_times[*]}")"
else
  echo "lorvane / zlib floor:   $rz (median of paired ratios; limit 1.05 with zlib alone)"
fi
if [ -n "$dfloor" ]; then
  echo "lorvane / libdeflate floor: $(paired_ratio "${lorvane_times[*]}" "${dfloor_times[*]}")"
  echo "libdeflate floor / zlib floor: $(paired_ratio "${dfloor_times[*]}" "${zfloor_times[*]}")"
  [ -z "$efloor" ] || echo "engine floor / libdeflate floor: $(paired_ratio "${efloor_times[*]}" "${dfloor_times[*]}")"
fi
echo "lorvane / gzip -dc:   $rg"
if [ -n "$efloor" ]; then
  within "$rz" 0.55 && within "$re" 1.2
else
  within "$rz" 1.05
fi
