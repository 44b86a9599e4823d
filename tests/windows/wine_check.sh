#!/usr/bin/env bash
# Runs a Windows build of the engine under Wine and checks what a Windows user depends on:
#   tests/windows/wine_check.sh ENGINE.exe VERSION BENCH_SIGNATURE
# $WINE names the program that runs ENGINE; with WINE=qemu-i386 the same checks serve the 32-bit
# Linux program on a machine that cannot execute it.
# 1. the protocol start-up through pipes: uci (with the build's version), isready, position,
#    go depth, go movetime with a clock check, go infinite and stop, quit with exit code 0;
# 2. "go perft 5" of every published position in tests/data/perft_standard.txt;
# 3. "bench" from the command line, whose node count must be BENCH_SIGNATURE.
# The clock check allows MOVETIME_MARGIN_MS beyond the movetime: Wine's pipes and this shared
# machine add latency that a native run does not have. Prints "N passed, N failed".
set -uo pipefail

ENGINE=${1:?usage: wine_check.sh ENGINE.exe VERSION BENCH_SIGNATURE}
VERSION=${2:?version string expected}
SIGNATURE=${3:?bench signature expected}
HERE=$(cd "$(dirname "$0")" && pwd)
PERFT_FILE=${PERFT_FILE:-$HERE/../data/perft_standard.txt}
PERFT_DEPTH=${PERFT_DEPTH:-5}
MOVETIME_MS=1000
MOVETIME_MARGIN_MS=${MOVETIME_MARGIN_MS:-200}

# The 64-bit loader directly: the "wine" wrapper prefers a 32-bit loader when one is installed.
if [ -z "${WINE:-}" ]; then
  if [ -x /usr/lib/wine/wine64 ]; then WINE=/usr/lib/wine/wine64; else WINE=wine; fi
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok: $*"; }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }

# Milliseconds in $NOW, without starting a process: a slow reader would itself delay the answers.
clock() {
  local micro=${EPOCHREALTIME//[.,]/}
  NOW=$((micro / 1000))
}

coproc ENGINE_PROC { exec "$WINE" "$ENGINE" 2>&1; }
send() { printf '%s\n' "$1" >&"${ENGINE_PROC[1]}"; }
# Reads lines until one matches the pattern (a bash regular expression) or the time runs out;
# the matching line is left in $LINE.
expect() {
  local pattern=$1 deadline left wait
  clock
  deadline=$((NOW + $2))
  while :; do
    clock
    left=$((deadline - NOW))
    [ "$left" -gt 0 ] || return 1
    printf -v wait '%d.%03d' $((left / 1000)) $((left % 1000))
    IFS= read -r -t "$wait" LINE <&"${ENGINE_PROC[0]}" || return 1
    LINE=${LINE%$'\r'}
    [[ $LINE =~ $pattern ]] && return 0
  done
}
MOVE='^bestmove [a-h][1-8][a-h][1-8][qrnb]?( ponder [a-h][1-8][a-h][1-8][qrnb]?)?$'

# 1. Protocol start-up. The first start of Wine in a fresh prefix takes a while.
send uci
if expect "^id name Corvanel $VERSION\$" 60000 && expect '^uciok$' 5000; then
  pass "uci: id name Corvanel $VERSION, uciok"
else
  fail "uci"
fi
send isready
expect '^readyok$' 5000 && pass "isready" || fail "isready"

send "position startpos moves e2e4 e7e5"
send "go depth 6"
expect "$MOVE" 60000 && pass "go depth 6: $LINE" || fail "go depth 6"

send "position startpos moves d2d4"
send isready
expect '^readyok$' 5000
clock
start=$NOW
send "go movetime $MOVETIME_MS"
if expect "$MOVE" $((MOVETIME_MS + 10000)); then
  clock
  took=$((NOW - start))
  if [ "$took" -le $((MOVETIME_MS + MOVETIME_MARGIN_MS)) ]; then
    pass "go movetime $MOVETIME_MS answered after $took ms (margin $MOVETIME_MARGIN_MS ms)"
  else
    fail "go movetime $MOVETIME_MS answered after $took ms (margin $MOVETIME_MARGIN_MS ms)"
  fi
else
  fail "go movetime $MOVETIME_MS: no bestmove"
fi

send "go infinite"
sleep 0.5
send isready
expect '^readyok$' 2000 && pass "isready during go infinite" || fail "isready during go infinite"
send stop
expect "$MOVE" 2000 && pass "stop: $LINE" || fail "stop"

# 2. Perft of the published positions, in the form match managers read.
while IFS= read -r record; do
  fen=${record%% ;*}
  expected=$(grep -o ";D$PERFT_DEPTH [0-9]*" <<<"$record" | cut -d' ' -f2)
  [ -n "$expected" ] || continue
  send "position fen $fen"
  send "go perft $PERFT_DEPTH"
  if expect '^Nodes searched: ' 600000 && [ "$LINE" = "Nodes searched: $expected" ]; then
    pass "perft $PERFT_DEPTH = $expected: $fen"
  else
    fail "perft $PERFT_DEPTH of $fen: expected $expected, got '${LINE:-nothing}'"
  fi
done <"$PERFT_FILE"

send quit
eval "exec ${ENGINE_PROC[1]}>&-"
status=0
wait "$ENGINE_PROC_PID" || status=$?
[ "$status" -eq 0 ] && pass "quit: exit code 0" || fail "quit: exit code $status"

# 3. Bench from the command line, as testers run it.
bench=$("$WINE" "$ENGINE" bench 2>&1 | tr -d '\r' | grep '^Nodes searched: ')
[ "$bench" = "Nodes searched: $SIGNATURE" ] && pass "bench: $bench" ||
  fail "bench: expected $SIGNATURE, got '$bench'"

echo "wine_check $(basename "$ENGINE"): $passed passed, $failed failed"
[ "$failed" -eq 0 ]
