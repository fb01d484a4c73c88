#!/bin/sh
# Times our Imagex /apply against wimlib-imagex apply of the same WIM files.
#   wim_apply_bench.sh <Imagex> <work dir> [size in MiB, default 1100]
# Makes a mixed tree (bench/wim_tree.sh), captures it with wimlib-imagex
# uncompressed (the floor: apply bound by writing the tree), as LZX and as
# LZMS (solid), then applies each in pairs: our run and wimlib's run in turn
# (which one goes first alternates), three pairs per WIM by default
# (APPLY_PAIRS=n for more).
#
# Every timed run starts alike: the previous target is deleted and written
# back, and the page cache is dropped (when run as root), outside the timed
# part. Each pair holds the lock file $BENCH_LOCK (default /work/bench.lock,
# skipped when its folder does not exist) so that other timings on a shared
# machine wait for it. Prints per WIM the median times, user and system CPU,
# the ratio wimlib time / our time per pair (above 1.0: we are faster) as
# median (lowest-highest), and at the end our compressed applies against our
# uncompressed one and the load average.
set -eu
imagex=$1
work=$2
total_mib=${3:-1100}
pairs=${APPLY_PAIRS:-3}
lock=${BENCH_LOCK:-/work/bench.lock}
wimlib=$(command -v wimlib-imagex) || { echo "wimlib-imagex is needed" >&2; exit 1; }
gnutime=$(command -v /usr/bin/time || true)
mkdir -p "$work"
work=$(cd "$work" && pwd)  # our /apply wants an absolute target
src=$work/tree

. "$(dirname "$0")/../wim_tree.sh"

dropcaches=yes
if ! (: >/proc/sys/vm/drop_caches) 2>/dev/null; then
  dropcaches=no
  echo "note: not root, page cache not dropped between runs (the WIMs are read from memory)"
fi
[ -d "$(dirname "$lock")" ] || lock=""

# Deletes the target, writes everything back and empties the page cache.
fresh() {
  rm -rf "$work/out"
  sync
  if [ $dropcaches = yes ]; then echo 3 >/proc/sys/vm/drop_caches; fi
}

# One timed run: prints "elapsed user system" in seconds.
timed() {
  fresh
  if [ -n "$gnutime" ]; then
    "$gnutime" -f "%e %U %S" -o "$work/time.out" "$@" >/dev/null 2>&1 ||
      { echo "FAILED: $*" >&2; exit 1; }
    tail -n 1 "$work/time.out"
  else
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "FAILED: $*" >&2; exit 1; }
    e=$(date +%s.%N)
    echo "$(echo "$e - $s" | bc) 0 0"
  fi
}

# A pair: both runs in turn under the lock; prints two lines, ours first.
pair() { # pair <wim> <ours first: 1|0>
  if [ "$2" = 1 ]; then
    o=$(timed "$imagex" /apply "$1" 1 "$work/out")
    t=$(timed "$wimlib" apply "$1" 1 "$work/out")
  else
    t=$(timed "$wimlib" apply "$1" 1 "$work/out")
    o=$(timed "$imagex" /apply "$1" 1 "$work/out")
  fi
  echo "$o"
  echo "$t"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
none_median=""
summary=""
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
  : >"$work/runs-$kind"
  n=0
  while [ $n -lt "$pairs" ]; do
    first=$(( (n + 1) % 2 ))
    if [ -n "$lock" ]; then
      exec 9>>"$lock"
      flock 9
      pair "$wim" "$first" >>"$work/runs-$kind"
      flock -u 9
      exec 9>&-
    else
      pair "$wim" "$first" >>"$work/runs-$kind"
    fi
    n=$((n + 1))
  done
  ours=$(awk 'NR % 2 == 1' "$work/runs-$kind")
  theirs=$(awk 'NR % 2 == 0' "$work/runs-$kind")
  o=$(echo "$ours" | cut -d' ' -f1 | median)
  t=$(echo "$theirs" | cut -d' ' -f1 | median)
  ratios=$(awk 'NR % 2 == 1 { o = $1 } NR % 2 == 0 { printf "%.3f\n", $1 / o }' "$work/runs-$kind")
  r=$(echo "$ratios" | median)
  lo=$(echo "$ratios" | sort -n | head -n 1)
  hi=$(echo "$ratios" | sort -n | tail -n 1)
  ou=$(echo "$ours" | cut -d' ' -f2 | median); os=$(echo "$ours" | cut -d' ' -f3 | median)
  tu=$(echo "$theirs" | cut -d' ' -f2 | median); ts=$(echo "$theirs" | cut -d' ' -f3 | median)
  printf '%-10s ours %6.2f s (user %5.2f sys %5.2f)  wimlib %6.2f s (user %5.2f sys %5.2f)  wimlib/ours %.2f (%.2f-%.2f)\n' \
    "$kind" "$o" "$ou" "$os" "$t" "$tu" "$ts" "$r" "$lo" "$hi"
  printf '           runs: ours %s | wimlib %s\n' "$(echo "$ours" | cut -d' ' -f1 | tr '\n' ' ')" \
    "$(echo "$theirs" | cut -d' ' -f1 | tr '\n' ' ')"
  if [ $kind = none ]; then
    none_median=$o
  else
    summary="$summary$(printf '%s: our apply takes %.2f x our uncompressed apply' "$kind" "$(echo "$o / $none_median" | bc -l)")\n"
  fi
done
rm -rf "$work/out"
printf "$summary"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
