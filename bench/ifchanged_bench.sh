#!/usr/bin/env bash
# A package hook's second run: --if-changed --recursive over a tree of many
# font directories that nothing changed since the first run, against that
# first run (which writes every fonts.dir), timed back to back in pairs.
# The second run still reads every font; what it saves is the writing, and
# it must leave every index and directory as it found them (inode and
# modification time), which is checked.
#   bench/ifchanged_bench.sh [BUILD_DIR] [DIRECTORIES] [FONTS_EACH] [PAIRS]
# Exits 1 when the second run takes longer than the first.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build=${1:-build-release}
dirs=${2:-1000}
fonts=${3:-5}
pairs=${4:-11}
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir "$tree/proto"
"$build/tests/make_samples" bench "$tree/proto" "$fonts" >/dev/null
for ((i = 0; i < dirs; i++)); do
  mkdir -p "$tree/fonts/group$((i % 10))/dir$i"
  cp "$tree"/proto/*.pcf "$tree/fonts/group$((i % 10))/dir$i/"
done
rm -rf "$tree/proto"
run() { "$build/lorvane" --if-changed --recursive "$tree/fonts"; }
state() { find "$tree/fonts" -printf '%p %i %T@\n' | sort; }

run  # warm the page cache
first=() second=()
for ((i = 0; i < pairs; i++)); do
  find "$tree/fonts" -name fonts.dir -delete
  first+=("$(time_us run)")
  before=$(state)
  second+=("$(time_us run)")
  [ "$(state)" = "$before" ] || { echo "the second run changed the tree" >&2; exit 2; }
done
written=$(find "$tree/fonts" -name fonts.dir | wc -l)
[ "$written" -eq "$dirs" ] || { echo "$written of $dirs directories indexed" >&2; exit 2; }
f=$(printf '%s\n' "${first[@]}" | median)
s=$(printf '%s\n' "${second[@]}" | median)
r=$(paired_ratio "${second[*]}" "${first[*]}")
echo "directories: $dirs  fonts each: $fonts  pairs: $pairs"
echo "first run median:  ${f} us"
echo "second run median: ${s} us"
echo "second / first:    $r (limit 1.00)"
within "$r" 1.0
