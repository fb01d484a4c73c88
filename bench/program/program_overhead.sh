#!/bin/sh
# The program's own cost under Wine, in a throwaway prefix under Xvfb:
# 1. processor time of StarBridge.exe's Wine process (utime+stime from /proc/<pid>/stat)
#    over about 10 s while a Ghost restore started through the window runs, as percent
#    of one core;
# 2. start-up time to a responsive window with the tool files present, against a
#    minimal Win32 window program built in the same tree, median of 5, and the ratio.
#   program_overhead.sh [win64 build dir] [work dir]
# OVERHEAD_FILES (default 20000) sets the size of the tree restored: the restore must
# outlast the 10 s sample (OVERHEAD_SECONDS). Not part of the test command.
set -e
cd "$(dirname "$0")/../.."
top=$(pwd)
build=$(cd "${1:-build/win64}" && pwd)
work=${2:-/tmp/sb-program-overhead}
files=${OVERHEAD_FILES:-20000}
seconds=${OVERHEAD_SECONDS:-10}
runs=${OVERHEAD_RUNS:-5}

if [ -z "$DISPLAY" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$work"
fi

for f in StarBridge.exe bench/program/overhead_driver.exe bench/program/minimal_window.exe; do
  [ -f "$build/$f" ] || { echo "missing $build/$f: cmake --build $build --target overhead_driver" >&2; exit 2; }
done

mkdir -p "$work"
work=$(cd "$work" && pwd)
"$top/scripts/wine-prefix.sh" "$work/prefix" "$work/drives"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all LC_ALL=zh_CN.UTF-8
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine
d=$work/drives/d
mkdir -p "$d/sb"
cp "$build/StarBridge.exe" "$build/bench/program/overhead_driver.exe" \
   "$build/bench/program/minimal_window.exe" "$d/sb/"
cd "$d"  # a working directory Wine can name (there is no Z:)

echo "== start-up to a responsive window (tool files present)"
"$wine" 'D:\sb\overhead_driver.exe' startup "$runs"

echo "== processor time of StarBridge.exe during a Ghost restore"
# The tree on D: that the image holds: small files in deep folders, as a system has.
if [ "$(cat "$d/src/.count" 2>/dev/null)" != "$files" ]; then
  rm -rf "$d/src" "$work/drives/f/overhead.gho"
  python3 - "$d/src" "$files" <<'PY'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(18)
for i in range(count):
    folder = os.path.join(root, "d%02d" % (i % 40), "s%03d" % (i // 40 % 25), "t%d" % (i % 7))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%06d.txt" % i), "wb") as f:
        f.write((b"line %d of a small file\r\n" % i) * rng.randint(1, 120))
open(os.path.join(root, ".count"), "w").write(str(count))
PY
fi

out=$work/driver.out
rm -f "$out"
"$wine" 'D:\sb\overhead_driver.exe' restore 'F:\overhead.gho' 'E:\' >"$out" 2>&1 &
driver=$!
until grep -q "^job started\|^failed" "$out" 2>/dev/null; do
  kill -0 "$driver" 2>/dev/null || break
  sleep 0.2
done
cat "$out"
grep -q "job started" "$out" || { wait "$driver" || true; exit 1; }
sleep 1  # the engine is under way

# The Wine process of a program in this prefix (other prefixes on the machine may run
# the same program): the first word of its command line names it.
process_of() {
  for p in $(pgrep -f "$1"); do
    tr '\0' '\n' <"/proc/$p/cmdline" 2>/dev/null | head -n 1 | grep -qi "$1\$" || continue
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
    echo "$p"
    return
  done
}
# StarBridge.exe, and the engine for comparison.
pid=$(process_of 'StarBridge\.exe')
engine=$(process_of 'qii32\.exe')
[ -n "$pid" ] || { echo "no StarBridge.exe process found" >&2; exit 1; }
ticks() {  # utime+stime in clock ticks; the name in (...) holds no spaces here
  sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{print $12 + $13}'
}
hz=$(getconf CLK_TCK)
t0=$(date +%s.%N); p0=$(ticks "$pid"); e0=$(ticks "$engine")
sleep "$seconds"
t1=$(date +%s.%N); p1=$(ticks "$pid"); e1=$(ticks "$engine")
ended_early=no
grep -aq "job ended" "$out" && ended_early=yes
wait "$driver" || true
grep -a "job ended" "$out" | iconv -f GBK -t UTF-8 || true
awk -v t0="$t0" -v t1="$t1" -v p0="$p0" -v p1="$p1" -v e0="${e0:-0}" -v e1="${e1:-0}" \
    -v hz="$hz" -v early="$ended_early" 'BEGIN {
  span = t1 - t0
  printf "StarBridge.exe: %.2f s of processor time in %.1f s = %.2f %% of one core (goal: under 2 %%)\n",
         (p1 - p0) / hz, span, 100 * (p1 - p0) / hz / span
  if (e1 > e0)
    printf "Ghost engine in the same span: %.2f s = %.0f %% of one core\n",
           (e1 - e0) / hz, 100 * (e1 - e0) / hz / span
  if (early == "yes")
    print "warning: the restore ended inside the sample; raise OVERHEAD_FILES"
}'
