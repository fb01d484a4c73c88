#!/bin/sh
# Times our backup (-z1, -z9) and restore against tar | pigz on the same mixed tree
# and prints the ratios measured in this run (ours / peer; below 1 is better).
#   ghost_bench.sh <qii32> [work dir] [GiB]
# GHOST_BENCH_DIR and GHOST_BENCH_GIB may stand for the last two arguments. Each step
# runs GHOST_BENCH_RUNS times (default 2), ours and the peer taking turns to go first,
# and the best time counts: on a shared machine that keeps other jobs out of the ratio.
set -e
QII=$(readlink -f "$1")
WORK=${2:-${GHOST_BENCH_DIR:-/tmp/ghost-bench}}
GIB=${3:-${GHOST_BENCH_GIB:-1.1}}
RUNS=${GHOST_BENCH_RUNS:-2}
HERE=$(cd "$(dirname "$0")" && pwd)
command -v pigz >/dev/null || { echo "pigz is needed (apt-get install pigz)"; exit 2; }

mkdir -p "$WORK/src" "$WORK/img" "$WORK/dst" "$WORK/peer"
if [ ! -f "$WORK/src/.complete-$GIB" ]; then
  rm -rf "$WORK/src"; mkdir -p "$WORK/src"
  python3 "$HERE/make_tree.py" "$WORK/src" "$GIB"
  touch "$WORK/src/.complete-$GIB"
fi
export SB_GHOST_VOLUMES="1:1=$WORK/src;1:2=$WORK/dst;1:3=$WORK/img"

now() { date +%s.%N; }
clear_dir() { rm -rf "$1"; mkdir -p "$1"; }
# Runs a command and prints its seconds; our engine must print nothing.
timed() {
  t0=$(now)
  out=$(sh -c "$1" 2>&1) || { echo "failed: $1: $out" >&2; exit 1; }
  t1=$(now)
  [ -z "$out" ] || { echo "unexpected output from: $1: $out" >&2; exit 1; }
  echo "$t0 $t1" | awk '{printf "%.2f", $2 - $1}'
}
best() {
  if [ -z "$1" ]; then echo "$2"; else echo "$1 $2" | awk '{ print ($2 < $1) ? $2 : $1 }'; fi
}
size_of() { du -cb "$@" | tail -1 | cut -f1; }
ratio() { echo "$1 $2" | awk '{ if ($2 > 0) printf "%.2f", $1 / $2; else print "-" }'; }

total=$(du -sb "$WORK/src" | cut -f1)
echo "tree: $total bytes, $(find "$WORK/src" -type f | wc -l) files, $(nproc) cores"
sync

for level in 1 9; do
  ours=; peer=
  for run in $(seq "$RUNS"); do
    rm -f "$WORK/img"/b$level*
    backup_ours="'$QII' -clone,mode=pdump,src=1:1,dst=\"$WORK/img/b$level.GHO\" -z$level -sure -fx"
    backup_peer="tar -C '$WORK/src' -cf - . | pigz -$level > '$WORK/peer/b$level.tar.gz'"
    if [ $((run % 2)) -eq 1 ]; then
      ours=$(best "$ours" "$(timed "$backup_ours")"); peer=$(best "$peer" "$(timed "$backup_peer")")
    else
      peer=$(best "$peer" "$(timed "$backup_peer")"); ours=$(best "$ours" "$(timed "$backup_ours")")
    fi
  done
  ours_size=$(size_of "$WORK/img"/b$level*)
  peer_size=$(size_of "$WORK/peer/b$level.tar.gz")
  printf 'backup -z%s   ours %7ss %12s bytes | tar|pigz -%s %7ss %12s bytes | time ratio %s  size ratio %s\n' \
    $level "$ours" "$ours_size" $level "$peer" "$peer_size" "$(ratio "$ours" "$peer")" \
    "$(ratio "$ours_size" "$peer_size")"
done

for level in 1 9; do
  ours=; peer=; verify=
  for run in $(seq "$RUNS"); do
    clear_dir "$WORK/dst"; clear_dir "$WORK/peer/x"; sync
    ours=$(best "$ours" "$(timed "'$QII' -clone,mode=pload,src=\"$WORK/img/b$level.GHO\":1,dst=1:2 -crcignore  -noide -sure  -fx")")
    peer=$(best "$peer" "$(timed "pigz -d < '$WORK/peer/b$level.tar.gz' | tar -C '$WORK/peer/x' -xf -")")
    clear_dir "$WORK/dst"; sync
    verify=$(best "$verify" "$(timed "'$QII' -clone,mode=pload,src=\"$WORK/img/b$level.GHO\":1,dst=1:2 -sure  -fx")")
  done
  printf 'restore -z%s  ours %7ss | pigz -d|tar -x %7ss | time ratio %s\n' \
    $level "$ours" "$peer" "$(ratio "$ours" "$peer")"
  printf 'restore -z%s  ours, verifying every chunk first (no -crcignore) %7ss | time ratio %s\n' \
    $level "$verify" "$(ratio "$verify" "$peer")"
done
diff -r "$WORK/src" "$WORK/dst" >/dev/null && echo "restored tree matches the source"
