#!/bin/sh
# Times our Imagex /capture against wimlib-imagex capture of the same tree.
#   wim_capture_bench.sh <Imagex> <work dir> [size in MiB, default 1100]
# Uses the apply benchmark's mixed tree (bench/wim_tree.sh). Captures it three
# times at Fast (XPRESS) and Maximum (LZX) with both tools and prints the
# median times, the time ratio wimlib / ours (above 1.0: we are faster) and
# the size ratio ours / wimlib (below 1.0: ours is smaller).
set -eu
imagex=$1
work=$2
total_mib=${3:-1100}
wimlib=$(command -v wimlib-imagex) || { echo "wimlib-imagex is needed" >&2; exit 1; }
mkdir -p "$work"
src=$work/tree

. "$(dirname "$0")/../wim_tree.sh"

median() { sort -n | sed -n 2p; }
timeit() { # prints seconds for one run of "$@"
  s=$(date +%s.%N); "$@" >/dev/null 2>&1 || { echo "FAILED: $*" >&2; echo 999999; return; }; e=$(date +%s.%N)
  echo "$e - $s" | bc
}

# Read the tree once so every run finds it in the page cache.
cat $(find "$src" -type f) >/dev/null 2>&1 || true
for kind in fast:XPRESS maximum:LZX; do
  ours_name=${kind%%:*}
  theirs_name=${kind##*:}
  ours=""; theirs=""
  for run in 1 2 3; do
    rm -f "$work/ours.wim" "$work/theirs.wim"
    ours="$ours $(timeit "$imagex" /capture "$src" "$work/ours.wim" bench "" /compress "$ours_name")"
    theirs="$theirs $(timeit "$wimlib" capture "$src" "$work/theirs.wim" bench --compress="$theirs_name")"
  done
  o=$(echo $ours | tr ' ' '\n' | median)
  t=$(echo $theirs | tr ' ' '\n' | median)
  os=$(stat -c %s "$work/ours.wim")
  ts=$(stat -c %s "$work/theirs.wim")
  printf '%-7s ours %7.2f s %11d B  wimlib %7.2f s %11d B  time ratio (wimlib/ours) %s  size ratio (ours/wimlib) %s   [runs: ours%s | wimlib%s]\n' \
    "$theirs_name" "$o" "$os" "$t" "$ts" "$(echo "scale=2; $t / $o" | bc)" "$(echo "scale=4; $os / $ts" | bc)" "$ours" "$theirs"
done
rm -f "$work/ours.wim" "$work/theirs.wim"
