#!/bin/sh
# Times our Imagex /apply against wimlib-imagex apply of the same WIM files.
#   wim_apply_bench.sh <Imagex> <work dir> [size in MiB, default 1100]
# Makes a mixed tree (bench/wim_tree.sh), captures it with wimlib-imagex
# uncompressed (the floor: apply bound by writing the tree), as LZX and as
# LZMS (solid), applies
# each three times with both tools into fresh folders and prints the medians
# and the ratio wimlib time / our time (above 1.0: we are faster).
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

for kind in none lzx lzms-solid; do
  wim=$work/bench-$kind.wim
  if [ ! -f "$wim" ]; then
    echo "capturing $kind with wimlib-imagex"
    case $kind in
      none) "$wimlib" capture "$src" "$wim" bench --compress=none >/dev/null ;;
      lzx) "$wimlib" capture "$src" "$wim" bench --compress=lzx >/dev/null ;;
      lzms-solid) "$wimlib" capture "$src" "$wim" bench --solid >/dev/null ;;
    esac
  fi
  ours=""; theirs=""
  for run in 1 2 3; do
    rm -rf "$work/out"; sync
    ours="$ours $(timeit "$imagex" /apply "$wim" 1 "$work/out")"
    rm -rf "$work/out"; sync
    theirs="$theirs $(timeit "$wimlib" apply "$wim" 1 "$work/out")"
  done
  rm -rf "$work/out"
  o=$(echo $ours | tr ' ' '\n' | median)
  t=$(echo $theirs | tr ' ' '\n' | median)
  ratio=$(echo "scale=2; $t / $o" | bc)
  printf '%-11s ours %7.2f s  wimlib %7.2f s  ratio (wimlib/ours) %s   [runs: ours%s | wimlib%s]\n' \
    "$kind" "$o" "$t" "$ratio" "$ours" "$theirs"
done
