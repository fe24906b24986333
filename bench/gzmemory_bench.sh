#!/usr/bin/env bash
# The gzip filter's memory on members that decode to far more than a font:
# fonts followed by zeros up to 64 MiB (70 KiB compressed, the trailer
# telling 64 MiB), and one font followed by 100 MB of noise.  Prints
# lorvane's time and peak memory beside those of the tool built, in the same
# run, from the commit before the gzip filter's whole way had a memory
# budget (REVISION, default 28e5e7c); exits 1 when lorvane's peak passes
# 16 MiB.
#   bench/gzmemory_bench.sh [BUILD_DIR] [FONTS] [REPETITIONS] [REVISION]
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build=${1:-build-release}
fonts=${2:-50}
reps=${3:-5}
rev=${4:-28e5e7c}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
build_revision "$rev" "$dir/old"
old=$dir/old/build/lorvane
mkdir "$dir/zeros" "$dir/noise"
"$build/tests/make_samples" bench "$dir/zeros" "$fonts" >/dev/null
for f in "$dir"/zeros/*.pcf; do
  { cat "$f"; head -c $((64 * 1048576 - $(wc -c <"$f"))) /dev/zero; } | gzip -n >"$f.gz"
  rm "$f"
done
"$build/tests/make_samples" bench "$dir/noise" 1 >/dev/null
f=$(echo "$dir"/noise/*.pcf)
{ cat "$f"; head -c 100000000 /dev/urandom; } | gzip -n -1 >"$f.gz"
rm "$f"

peak() { "$build/bench/peakmem" "$@" 2>&1 >/dev/null | awk '/^peak_kib/ { print $2 }'; }
status=0
for kind in zeros noise; do
  l=() b=()
  for ((i = 0; i < reps; i++)); do
    l+=("$(time_us "$build/lorvane" "$dir/$kind")")
    b+=("$(time_us "$old" "$dir/$kind")")
  done
  p=$(peak "$build/lorvane" "$dir/$kind")
  echo "$kind: lorvane $(printf '%s\n' "${l[@]}" | median) us, peak ${p} KiB (limit 16384);" \
       "tool of $rev $(printf '%s\n' "${b[@]}" | median) us, peak $(peak "$old" "$dir/$kind") KiB;" \
       "ratio $(paired_ratio "${l[*]}" "${b[*]}")"
  [ "$p" -le 16384 ] || status=1
done
exit $status
