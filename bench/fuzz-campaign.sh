#!/bin/sh
# Fuzzing campaign: builds every fuzz target of tests/fuzz as a libFuzzer program
# (clang, AddressSanitizer, UBSan) in its own tree build/fuzz, runs each for the
# given time on its corpus (the committed seeds plus what earlier runs found
# interesting, kept in build/fuzz/results/<target>/corpus), and prints executions
# and findings per target. FUZZ_RUNS=<n> ends a target earlier, after n
# executions. Findings (crash-*, leak-*, timeout-*, oom-*) stay in
# build/fuzz/results/<target>/findings/; replay one natively with
#   build/native/tests/fuzz/fuzz_smoke --target <target> <file>
#
#   [FUZZ_RUNS=n] bench/fuzz-campaign.sh <seconds per target> [target...]
set -e
cd "$(dirname "$0")/.."
secs=${1:?usage: bench/fuzz-campaign.sh <seconds per target> [target...]}
shift
tree=build/fuzz
if [ ! -f "$tree/build.ninja" ]; then
  # Every library is instrumented for coverage; only the targets link libFuzzer.
  cmake -S . -B "$tree" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
    -DSB_LIBFUZZER=ON "-DSB_TEST_AREAS=" >/dev/null
fi
targets=${*:-$(sed -n 's/^set(SB_FUZZ_\(TARGETS\|CAMPAIGN_EXTRA\) \(.*\))$/\2/p' tests/fuzz/CMakeLists.txt)}
cmake --build "$tree" -j 2 --target $(for t in $targets; do printf 'fuzz_%s ' "$t"; done)

results=$tree/results
printf '%-16s %8s %14s %10s %9s\n' target seconds executions exec/s findings
total=0
for t in $targets; do
  work=$results/$t
  rm -rf "$work/findings"
  mkdir -p "$work/corpus" "$work/findings"
  cp tests/fuzz/corpus/"$t"/* "$work/corpus/"
  start=$(date +%s)
  # Where Linux groups processes by session (autogroup), a nice value ranks a process
  # only within its session: "nice -n 19" on the campaign still took a full share of
  # the processors from benchmarks in other sessions. So each target runs in a session
  # of its own whose group takes the campaign's niceness; the caller's session is left
  # as it was.
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 setsid sh -c '
    [ "$(nice)" -gt 0 ] && [ -w /proc/self/autogroup ] && echo "$(nice)" > /proc/self/autogroup
    exec "$@"' fuzz-target \
    "$tree/tests/fuzz/fuzz_$t" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 ${FUZZ_RUNS:+-runs=$FUZZ_RUNS} \
    -print_final_stats=1 -artifact_prefix="$work/findings/" "$work/corpus" \
    >"$work/log" 2>&1 &
  fuzzer=$!
  trap 'kill $fuzzer 2>/dev/null' INT TERM
  wait $fuzzer || true
  trap - INT TERM
  took=$(( $(date +%s) - start ))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
  found=$(find "$work/findings" -type f | wc -l)
  total=$((total + found))
  printf '%-16s %8s %14s %10s %9s\n' "$t" "$took" "${runs:-?}" \
    "$(( ${runs:-0} / (took > 0 ? took : 1) ))" "$found"
done
echo "findings: $total (logs and inputs in $results)"
[ "$total" -eq 0 ]
