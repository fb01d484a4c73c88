#!/bin/sh
# Both engines on a Windows-shaped tree of about 320,000 names (make_win_tree.py):
#   scale_bench.sh <qii32> <Imagex> [work dir] [files]
#
# Steps (SCALE_STEPS, default "backup restore capture apply"), each ours against a peer:
#   backup   qii32 pdump -z1                    tar -cf - . | pigz -1
#   restore  qii32 pload -crcignore             pigz -d | tar -xf -
#   capture  Imagex /capture /compress fast     wimlib-imagex capture --compress=XPRESS
#   apply    Imagex /apply                      wimlib-imagex apply        (of wimlib's WIM)
#
# Every timed run starts cold: it gets a new target folder, then sync, the page cache is dropped and the machine settles (SCALE_SETTLE seconds,
# default 5); only then the clock starts. Ours and the peer take turns to go first.
# Each pair holds /work/bench.lock (flock), so other benchmarks on the machine never
# overlap a timed run or have their cache dropped under them. Prints, per step, the
# median time and its range, peak memory (ru_maxrss of the timed process; for a
# pipeline the largest process in it), and the median of the per-pair ratios
# ours / peer (below 1.0: ours is faster) with the lowest and highest pair.
# SCALE_RUNS pairs per step (default 3). Needs root (drop_caches), pigz, python3,
# wimlib-imagex and GNU time.
set -eu
QII=$(readlink -f "$1")
IMAGEX=$(readlink -f "$2")
WORK=${3:-/tmp/scale-bench}
FILES=${4:-320000}
SEED=18
RUNS=${SCALE_RUNS:-3}
SETTLE=${SCALE_SETTLE:-5}
STEPS=${SCALE_STEPS:-backup restore capture apply}
LOCK=${SCALE_LOCK:-/work/bench.lock}
HERE=$(cd "$(dirname "$0")" && pwd)
for tool in pigz wimlib-imagex python3 flock; do
  command -v $tool >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is needed" >&2; exit 2; }

SRC=$WORK/src
mkdir -p "$WORK"
if [ "$(cat "$WORK/tree.done" 2>/dev/null)" != "$FILES $SEED" ]; then
  rm -rf "$SRC" "$WORK/tree.done"
  echo "making a Windows-shaped tree of $FILES names in $SRC"
  python3 "$HERE/make_win_tree.py" "$SRC" "$FILES" "$SEED"
  echo "$FILES $SEED" > "$WORK/tree.done"
fi
export SB_GHOST_VOLUMES="1:1=$SRC;1:2=$WORK/dst"

# Runs "$@" cold and appends "seconds peak-KB" to the file named by $OUT.
cold_run() {
  sync
  echo 3 > /proc/sys/vm/drop_caches
  sleep "$SETTLE"
  if ! /usr/bin/time -f "%e %M" -o "$WORK/time.out" "$@" > "$WORK/run.log" 2>&1; then
    echo "failed: $*" >&2; cat "$WORK/run.log" >&2; exit 1
  fi
  tail -1 "$WORK/time.out" >> "$OUT"
}
# A new, never used target folder for each restore and apply: deleting 370,000
# entries takes minutes on a volume mounted with discard, so the used ones are
# moved aside and deleted only after the last step.
# They are kept only while the volume has room: with less than three trees' worth
# free (12 used targets are about 28 GB), the used ones are deleted first, outside
# the timed part, so that a run can never fill the disk.
target() {
  free_kb=$(df -Pk "$WORK" | awk 'NR == 2 { print $4 }')
  if [ -d "$WORK/used" ] && [ "$free_kb" -lt $((TREE_KB * 3)) ]; then
    echo "  deleting the used targets: $((free_kb / 1024)) MB free" >&2
    rm -rf "$WORK/used"
  fi
  n=$(($(cat "$WORK/targets" 2>/dev/null || echo 0) + 1))
  echo $n > "$WORK/targets"
  if [ -d "$WORK/dst" ]; then mkdir -p "$WORK/used"; mv "$WORK/dst" "$WORK/used/$n"; fi
  mkdir -p "$WORK/dst"
}
fresh() { rm -rf "$1"; mkdir -p "$1"; }
stats() { # file of "seconds KB" lines -> "median s (min-max) peak-MB"
  sort -n "$1" | awk '{ t[NR] = $1; if ($2 > m) m = $2 }
    END { printf "%6.2f s (%.2f-%.2f) %5.0f MB", t[int((NR + 1) / 2)], t[1], t[NR], m / 1024 }'
}
ratios() { # pairs ours/peer -> "median (min-max)"
  paste -d' ' "$1" "$2" | awk '{ print $1 / $3 }' | sort -n |
    awk '{ r[NR] = $1 } END { printf "%.2f (%.2f-%.2f)", r[int((NR + 1) / 2)], r[1], r[NR] }'
}

# Runs "$@" holding the benchmark lock.
locked() {
  exec 9> "$LOCK"
  flock 9
  "$@"
  flock -u 9
  exec 9>&-
}

# One pair: ours first on odd runs, the peer first on even ones.
pair() {
  if [ $(($1 % 2)) -eq 1 ]; then order="ours peer"; else order="peer ours"; fi
  for who in $order; do
    "prepare_${name}_$who"
    OUT=$WORK/$who.t
    "run_${name}_$who"
  done
}

# One step: prepare-ours, run-ours, prepare-peer, run-peer are shell functions.
step() {
  name=$1 peer_name=$2
  : > "$WORK/ours.t"; : > "$WORK/peer.t"
  for run in $(seq "$RUNS"); do locked pair "$run"; done
  printf '%-8s ours %s | %-34s %s | ours/peer %s\n' "$name" "$(stats "$WORK/ours.t")" \
    "$peer_name" "$(stats "$WORK/peer.t")" "$(ratios "$WORK/ours.t" "$WORK/peer.t")"
}

IMG=$WORK/img/b1.GHO
TGZ=$WORK/peer.tar.gz
prepare_backup_ours() { fresh "$WORK/img"; }
run_backup_ours() { cold_run "$QII" -clone,mode=pdump,src=1:1,dst="$IMG" -z1 -sure -fx; }
prepare_backup_peer() { rm -f "$TGZ"; }
run_backup_peer() { cold_run sh -c "tar -C '$SRC' -cf - . | pigz -1 > '$TGZ'"; }

prepare_restore_ours() { target; }
run_restore_ours() {
  cold_run "$QII" -clone,mode=pload,src="$IMG":1,dst=1:2 -crcignore -noide -sure -fx
}
prepare_restore_peer() { target; }
run_restore_peer() { cold_run sh -c "pigz -d < '$TGZ' | tar -C '$WORK/dst' -xf -"; }

prepare_capture_ours() { rm -f "$WORK/ours.wim"; }
run_capture_ours() { cold_run "$IMAGEX" /capture "$SRC" "$WORK/ours.wim" bench "" /compress fast; }
prepare_capture_peer() { rm -f "$WORK/peer.wim"; }
run_capture_peer() {
  cold_run wimlib-imagex capture "$SRC" "$WORK/peer.wim" bench --compress=XPRESS
}

prepare_apply_ours() { target; }
run_apply_ours() { cold_run "$IMAGEX" /apply "$WORK/peer.wim" 1 "$WORK/dst"; }
prepare_apply_peer() { target; }
run_apply_peer() { cold_run wimlib-imagex apply "$WORK/peer.wim" 1 "$WORK/dst"; }

TREE_KB=$(du -sk "$SRC" | cut -f1)
echo "tree: $(du -sb "$SRC" | cut -f1) bytes, $(find "$SRC" -type f | wc -l) file names," \
  "$(find "$SRC" -type d | wc -l) folders; $(nproc) cores; $RUNS pairs per step"
for s in $STEPS; do
  case $s in
    backup) peer="tar | pigz -1" ;;
    restore) peer="pigz -d | tar -x" ;;
    capture) peer="wimlib-imagex capture XPRESS" ;;
    apply) peer="wimlib-imagex apply" ;;
    *) echo "unknown step $s" >&2; exit 2 ;;
  esac
  # Restore and apply need the images the backup and capture steps write.
  if [ "$s" = restore ] && { [ ! -s "$IMG" ] || [ ! -s "$TGZ" ]; }; then
    prepare_backup_ours; OUT=/dev/null; locked run_backup_ours; locked run_backup_peer
  fi
  if [ "$s" = apply ] && [ ! -s "$WORK/peer.wim" ]; then OUT=/dev/null; locked run_capture_peer; fi
  echo "  load: $(cut -d' ' -f1-3 /proc/loadavg)"
  step "$s" "$peer"
done
echo "deleting the used targets"
rm -rf "$WORK/dst" "$WORK/used"
