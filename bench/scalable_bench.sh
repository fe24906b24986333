#!/usr/bin/env bash
# Indexing a directory of outline fonts with lorvane --scalable, in the same
# run as the baselines over the same files: the FreeType-only floor (every face
# opened, its Unicode map searched for the characters the encoding tests
# need) and fc-scan, the font configuration library's scanner, when it is
# installed.  Medians of several repetitions, interleaved, the medians of the
# ratios of back-to-back pairs, each program's peak memory, and (with
# valgrind) the instructions of lorvane and the floor.
#   bench/scalable_bench.sh [BUILD_DIR] [REPETITIONS]
# The directory, written with fontTools: 160 Latin, Greek and Cyrillic faces
# of 530 to 930 glyphs (TrueType and CFF), 12 Type 1 fonts, and three
# collections of four CJK-like faces of 32,000 glyphs each.  Exits 1 when
# lorvane takes more than 1.3 times as long as the floor, or more than 0.8
# times as long as fc-scan.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build=${1:-build-release}
reps=${2:-9}
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
make_faces() { /usr/bin/python3 "$root/tests/support/make_faces.py" "$dir" "$@"; }

# Bases, each made once: four TrueType and four CFF faces of different
# repertoires, and a CJK-like face; the other files are copies renamed.
latin='[32,126],[160,591]'
greek='[880,1023]'
cyrillic='[1024,1279]'
fonts=()
repertoires=("$latin" "$latin,$greek" "$latin,$cyrillic" "$latin,$greek,$cyrillic")
for i in 0 1 2 3; do
  for ext in ttf otf; do
    fonts+=("{\"file\":\"base$i.$ext\",\"chars\":[${repertoires[$i]}],\"glyphs\":\"distinct\",\"vendor\":\"BITS\"}")
  done
done
fonts+=('{"file":"cjk.ttf","chars":[[32,126],[160,255],[880,1023],[1024,1279],[12288,12543],[19968,40959],[44032,55203]],"glyphs":"distinct"}')
for i in $(seq 1 12); do
  fonts+=("{\"file\":\"type1-$i.pfb\",\"chars\":[[32,126],[160,255]],\"glyphs\":\"distinct\",\"type1\":{\"FamilyName\":\"Type One $i\",\"FullName\":\"Type One $i\",\"Weight\":\"Book\",\"Notice\":\"URW\"}}")
done
make_faces "${fonts[@]}"
fonts=()
weights=(100 300 400 500 700 900)
for i in 0 1 2 3; do
  for ext in ttf otf; do
    for j in $(seq 1 19); do
      fonts+=("{\"file\":\"face$i-$j.$ext\",\"from\":\"base$i.$ext\",\"weight\":${weights[$((j % 6))]},\"names\":[[1,3,1,1033,\"Family $i $j\"],[2,3,1,1033,\"Regular\"]]}")
    done
  done
done
for c in 1 2 3; do
  faces=""
  for f in Sans Serif Mono Round; do
    faces="$faces{\"from\":\"cjk.ttf\",\"names\":[[1,3,1,1033,\"Han $f $c\"]]},"
  done
  fonts+=("{\"file\":\"cjk$c.ttc\",\"faces\":[${faces%,}]}")
done
make_faces "${fonts[@]}"
rm "$dir/cjk.ttf"
files=$(ls "$dir" | wc -l)
bytes=$(cat "$dir"/* | wc -c)

scan() { "$build/lorvane" --scalable "$@"; }
floor=$build/bench/faces_floor
fcscan=$(command -v fc-scan || true)
scan "$dir"  # also warms the page cache
"$floor" "$dir" > /dev/null
[ -z "$fcscan" ] || "$fcscan" "$dir" > /dev/null
scan_times=() floor_times=() fc_times=()
for ((i = 0; i < reps; i++)); do
  if ((i % 2 == 0)); then
    scan_times+=("$(time_us scan "$dir")")
    floor_times+=("$(time_us "$floor" "$dir")")
    [ -z "$fcscan" ] || fc_times+=("$(time_us "$fcscan" "$dir")")
  else
    [ -z "$fcscan" ] || fc_times+=("$(time_us "$fcscan" "$dir")")
    floor_times+=("$(time_us "$floor" "$dir")")
    scan_times+=("$(time_us scan "$dir")")
  fi
done
lines=$(head -n 1 "$dir/fonts.scale")
peak() { "$build/bench/peakmem" "$@" 2>&1 >/dev/null | awk '/^peak_kib/ { print $2 }'; }
l=$(printf '%s\n' "${scan_times[@]}" | median)
f=$(printf '%s\n' "${floor_times[@]}" | median)
rf=$(paired_ratio "${scan_times[*]}" "${floor_times[*]}")
echo "files: $files ($bytes bytes), fonts.scale lines: $lines  repetitions: $reps"
echo "lorvane median:       ${l} us  peak $(peak "$build/lorvane" --scalable "$dir") KiB"
echo "FreeType floor median: ${f} us  peak $(peak "$floor" "$dir") KiB"
echo "lorvane / floor:      $rf (limit 1.30)"
# Instructions, which the load of a shared machine does not move.
if command -v valgrind >/dev/null; then
  instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
      awk '/refs:/ { gsub(/,/, "", $4); print $4 }'
  }
  il=$(instructions "$build/lorvane" --scalable "$dir")
  if_=$(instructions "$floor" "$dir")
  echo "instructions:         lorvane $il, floor $if_, ratio $(ratio "$il" "$if_")"
fi
status=0
within "$rf" 1.3 || status=1
if [ -n "$fcscan" ]; then
  c=$(printf '%s\n' "${fc_times[@]}" | median)
  rc=$(paired_ratio "${scan_times[*]}" "${fc_times[*]}")
  echo "fc-scan median:       ${c} us  peak $(peak "$fcscan" "$dir") KiB"
  echo "lorvane / fc-scan:    $rc (limit 0.80)"
  within "$rc" 0.8 || status=1
fi
exit $status
