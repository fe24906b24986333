#!/bin/sh
# layer_include_check.sh CXX OWN HIGHER... -- -I...: with the include path of
# one layer (the -I options), the layer's own header OWN compiles, and no
# header HIGHER of the layers above it is found.
set -u
cxx=$1 own=$2
shift 2
higher=
while [ "$1" != -- ]; do higher="$higher $1"; shift; done
shift
# An empty working directory: no header lies beside the probe.
probe_dir=$(mktemp -d)
trap 'rm -rf "$probe_dir"' EXIT
cd "$probe_dir"
# compile HEADER -I...: compiles a file that includes HEADER; the messages.
compile() {
  header=$1
  shift
  printf '#include "%s"\n' "$header" | "$cxx" -std=c++20 -fsyntax-only -x c++ - "$@" 2>&1
}
if ! out=$(compile "$own" "$@"); then
  printf 'the layer cannot include its own %s:\n%s\n' "$own" "$out"
  exit 1
fi
for h in $higher; do
  if out=$(compile "$h" "$@"); then
    echo "$h of a higher layer is reachable"
    exit 1
  fi
  case $out in
    *"$h"*"No such file"* | *"'$h' file not found"*) echo "$out" | head -n 1 ;;
    *) printf 'including %s failed for another reason:\n%s\n' "$h" "$out"; exit 1 ;;
  esac
done
