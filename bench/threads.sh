#!/usr/bin/env bash
# Lazy SMP scaling: every position searched to a fixed depth with 1 thread and with N threads
# (fresh table each time); prints the time each took, nodes per second and the speed-up.
#   bench/threads.sh [--depth D] [--threads N] [--hash MB] [ENGINE]
# The positions are middle games from the bench set. Run it on an otherwise idle machine with at
# least N cores: the figures measure the engine only when nothing else competes for the cores.
# The default depth gives searches of a few seconds each; searches under a second give lower and
# noisier figures than the engine shows in games.
set -euo pipefail

depth=22 threads=2 hash=64
engine=""
while [ $# -gt 0 ]; do
  case "$1" in
    --depth) depth=$2; shift 2 ;;
    --threads) threads=$2; shift 2 ;;
    --hash) hash=$2; shift 2 ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) engine=$1; shift ;;
  esac
done
here=$(cd "$(dirname "$0")/.." && pwd)
engine=${engine:-$here/build/corvanel-x64-popcnt}
[ -x "$engine" ] || { echo "no engine at $engine (build first, or name one)" >&2; exit 2; }

positions=(
  "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
  "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10"
  "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - - 1 7"
  "r2q1rk1/pp2bppp/2n1pn2/2pp4/3P1B2/2PBPN2/PP1N1PPP/R2QK2R w KQ - 4 9"
  "2rq1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1PN1PN2/PB2BPPP/2RQ1RK1 b - - 3 11"
  "r1b2rk1/2q1bppp/p1nppn2/1p6/3NP3/1BN1B3/PPP1QPPP/2KR3R w - - 4 11"
  "3r1rk1/pp3pbp/1qp1b1p1/2B5/2BP4/Q1n2N2/P4PPP/3RK2R b K - 0 16"
  "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - - 7 19"
  "r3r1k1/2p2ppp/p1p1bn2/8/1q2P3/2NPQN2/PPP3PP/R4RK1 b - - 2 15"
  "8/pp2r1k1/2p1p3/3pP2p/1P1P1P1P/P5KR/8/8 w - - 0 1"
)

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Wall milliseconds from "go" to "bestmove", and the nodes of the last scored info line.
search() {  # threads fen -> "ms nodes"
  local n=$1 fen=$2 line start nodes=0
  coproc ENGINE { "$engine"; }
  printf 'uci\nsetoption name Threads value %s\nsetoption name Hash value %s\nposition fen %s\nisready\n' \
    "$n" "$hash" "$fen" >&"${ENGINE[1]}"
  while IFS= read -r line <&"${ENGINE[0]}"; do [ "$line" = readyok ] && break; done
  start=$(now_ms)
  printf 'go depth %s\n' "$depth" >&"${ENGINE[1]}"
  while IFS= read -r line <&"${ENGINE[0]}"; do
    case "$line" in
      *" score "*) nodes=$(sed -E 's/.* nodes ([0-9]+).*/\1/' <<<"$line") ;;
      bestmove*) break ;;
    esac
  done
  local ms=$(( $(now_ms) - start ))
  echo quit >&"${ENGINE[1]}"
  wait "$ENGINE_PID" 2>/dev/null || true
  echo "$ms $nodes"
}

printf 'depth %s, hash %s MB, engine %s\n' "$depth" "$hash" "$engine"
printf '%-4s %10s %12s %10s %12s %8s\n' pos "ms(1)" "nps(1)" "ms($threads)" "nps($threads)" speedup
total1=0 totalN=0 nodes1=0 nodesN=0 ratioSum=0 count=0
for fen in "${positions[@]}"; do
  count=$((count + 1))
  read -r ms1 n1 < <(search 1 "$fen")
  read -r msN nN < <(search "$threads" "$fen")
  [ "$ms1" -gt 0 ] && [ "$msN" -gt 0 ] || continue
  total1=$((total1 + ms1)); totalN=$((totalN + msN)); nodes1=$((nodes1 + n1)); nodesN=$((nodesN + nN))
  ratio=$(awk -v a="$ms1" -v b="$msN" 'BEGIN { printf "%.2f", a / b }')
  ratioSum=$(awk -v s="$ratioSum" -v r="$ratio" 'BEGIN { print s + r }')
  printf '%-4s %10s %12s %10s %12s %8s\n' "$count" "$ms1" $((n1 * 1000 / ms1)) "$msN" $((nN * 1000 / msN)) "$ratio"
done
awk -v t1="$total1" -v tn="$totalN" -v n1="$nodes1" -v nn="$nodesN" -v rs="$ratioSum" -v c="$count" -v th="$threads" 'BEGIN {
  printf "time to depth: 1 thread %d ms, %d threads %d ms; speed-up %.2f (total), %.2f (mean per position)\n", t1, th, tn, t1 / tn, rs / c
  printf "nodes per second: 1 thread %d, %d threads %d; ratio %.2f\n", n1 * 1000 / t1, th, nn * 1000 / tn, (nn / tn) / (n1 / t1)
}'
