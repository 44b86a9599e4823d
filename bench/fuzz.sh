#!/usr/bin/env bash
# Fuzzes the command interpreter (target "command") and the FEN reader with a move list ("fen")
# with libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer, each until it has run the
# given number of inputs (or for the given time), and prints per target the inputs per second,
# crashes, leaks and time-outs. A finding ends that target's run and is kept as a file. With
# --jobs N, N fuzzers share each target's corpus and the inputs (one per core).
#
#   bench/fuzz.sh [--runs 1000000 | --seconds N] [--jobs 1] [command] [fen]
#
# Needs clang with libFuzzer (Debian: clang-14 libfuzzer-14-dev); $CXX picks the compiler. Builds
# in build-fuzz/ (or $BUILD); new corpus entries go to <build>/corpus-<target>, findings to
# <build>/findings-<target>-<time>. Seeds: tests/fuzz/corpus/<target>. Exit 1 on any finding.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(realpath -m "${BUILD:-$ROOT/build-fuzz}")
RUNS=1000000 SECONDS_LIMIT="" JOBS=1
TARGETS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) RUNS="$2"; shift 2 ;;
    --seconds) SECONDS_LIMIT="$2"; shift 2 ;;
    --jobs) JOBS="$2"; shift 2 ;;
    command|fen) TARGETS+=("$1"); shift ;;
    *) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(command fen)
CXX=${CXX:-$(command -v clang++-14 || command -v clang++ || true)}
[ -n "$CXX" ] || { echo "fuzz.sh: clang++ not found (apt-get install clang-14 libfuzzer-14-dev)" >&2; exit 2; }

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$CXX" \
  -DCORVANEL_SANITIZE=address,undefined -DCORVANEL_BUILD_FUZZ=ON -DCORVANEL_BUILD_TESTS=OFF \
  -DCORVANEL_BUILD_BENCH=OFF -DCORVANEL_BUILD_X86=OFF >/dev/null
cmake --build "$BUILD" -j2 --target command_fuzz fen_fuzz >/dev/null
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

STATUS=0
for target in "${TARGETS[@]}"; do
  corpus="$BUILD/corpus-$target" log="$BUILD/fuzz-$target.log"
  findings="$BUILD/findings-$target-$(date +%Y%m%d-%H%M%S)"
  mkdir -p "$corpus" "$findings"
  start=$(date +%s%N)
  for ((job = 1; job <= JOBS; job++)); do
    if [ -n "$SECONDS_LIMIT" ]; then limit=-max_total_time=$SECONDS_LIMIT
    else limit=-runs=$(((RUNS + JOBS - job) / JOBS)); fi
    "$BUILD/tests/fuzz/${target}_fuzz" "$limit" -seed=$((RANDOM * 32768 + RANDOM + job)) \
      -timeout=10 -rss_limit_mb=2048 -max_len=4096 -artifact_prefix="$findings/" \
      -print_final_stats=1 "$corpus" "$ROOT/tests/fuzz/corpus/$target" >"$log.$job" 2>&1 &
  done
  wait || true
  cat "$log".* >"$log" && rm -f "$log".*
  inputs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | awk '{ n += $1 } END { print n + 0 }')
  count() { find "$findings" -name "$1-*" | wc -l; }
  awk -v t="$target" -v n="${inputs:-0}" -v ns=$(($(date +%s%N) - start)) -v c="$(count crash)" \
    -v l="$(count leak)" -v o="$(count timeout)" -v m="$(count oom)" 'BEGIN {
      printf "%-8s %d inputs in %.0f s (%.0f per second): %d crashes, %d leaks, %d time-outs, %d out of memory\n",
        t, n, ns / 1e9, n / (ns / 1e9), c, l, o, m }'
  if [ -z "$(ls -A "$findings")" ]; then
    rmdir "$findings"
  else
    STATUS=1
    echo "  findings in $findings; the run's log: $log"
    grep -m3 -E '^(==[0-9]+==ERROR|.*runtime error|SUMMARY)' "$log" | sed 's/^/  /' || true
  fi
done
exit "$STATUS"
