#!/usr/bin/env bash
# Perft of all 960 Chess960 positions of tests/data/chess960.perft ("epd" with Shredder castling
# fields, "perft D count" lines) through the engine's "go perft", with "UCI_Chess960" on.
# Prints the positions checked, the mismatches, the nodes and the time.
#
#   bench/chess960_perft.sh [--depth D] [--every N] [ENGINE]   (default: depth 4, every position,
#                                                             build/corvanel-x64-popcnt)
# --every N takes one position in N (a sample). The exit code is 1 on any mismatch.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEPTH=4
EVERY=1
ENGINE="$ROOT/build/corvanel-x64-popcnt"
DATA="${CHESS960_PERFT:-$ROOT/tests/data/chess960.perft}"

while [ $# -gt 0 ]; do
  case "$1" in
    --depth) DEPTH="$2"; shift 2 ;;
    --every) EVERY="$2"; shift 2 ;;
    -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "chess960_perft.sh: unknown option $1" >&2; exit 2 ;;
    *) ENGINE="$1"; shift ;;
  esac
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# One record per line: id, FEN, expected count at DEPTH.
awk -v depth="$DEPTH" -v every="$EVERY" '
  $1 == "id" { id = $2 }
  $1 == "epd" { fen = substr($0, 5) }
  $1 == "perft" && $2 == depth { if (n++ % every == 0) print id "\t" fen "\t" $3 }
' "$DATA" >"$WORK/cases"
[ -s "$WORK/cases" ] || { echo "no positions with depth $DEPTH in $DATA" >&2; exit 2; }

{
  echo "setoption name UCI_Chess960 value true"
  cut -f2 "$WORK/cases" | while IFS= read -r fen; do
    echo "position fen $fen 0 1"
    echo "go perft $DEPTH"
  done
  echo quit
} >"$WORK/commands"

start=$(date +%s%N)
"$ENGINE" <"$WORK/commands" | tr -d '\r' | awk '/^Nodes searched: / { print $3 }' >"$WORK/counts"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))

paste "$WORK/cases" "$WORK/counts" | awk -F '\t' -v depth="$DEPTH" -v ms="$elapsed_ms" '
  { checked++; nodes += $4
    if ($4 != $3) { bad++; printf "MISMATCH id %s depth %d: expected %s, got %s  %s\n", $1, depth, $3, $4, $2 } }
  END {
    rate = ms > 0 ? nodes * 1000 / ms : 0
    printf("chess960 perft depth %d: %d positions, %d mismatches, %d nodes, %d ms, %.0f nodes/s\n",
           depth, checked, bad, nodes, ms, rate)
    exit (bad > 0)
  }'
expected=$(wc -l <"$WORK/cases")
got=$(wc -l <"$WORK/counts")
if [ "$got" -ne "$expected" ]; then
  echo "the engine answered $got of $expected positions" >&2
  exit 1
fi
