#!/usr/bin/env bash
# Corvanel against the Debian engines, one opponent after the other (bench/match.sh): a fixed
# number of games each at 10+0.1, one thread and 16 MB apiece, zero time margin, balanced openings
# twice with colours swapped. Prints per opponent the score, the Elo difference with its 95%
# error, and the counts of time forfeits, illegal moves and crashes.
#
#   bench/gauntlet.sh [--games 200] [--tc 10+0.1] [--concurrency 2] [--opponents "glaurung toga2
#                     ethereal"] [--pgn-dir DIR] [BINARY]     (default build/corvanel-x64-popcnt)
#
# fastchess is taken from $FASTCHESS, else from PATH. Exit code 1 when Corvanel had any fault.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
GAMES=200 TC=10+0.1 CONCURRENCY=2 OPPONENTS="glaurung toga2 ethereal" PGN_DIR=""
ENGINE="$ROOT/build/corvanel-x64-popcnt"
while [ $# -gt 0 ]; do
  case "$1" in
    --games) GAMES="$2"; shift 2 ;;
    --tc) TC="$2"; shift 2 ;;
    --concurrency) CONCURRENCY="$2"; shift 2 ;;
    --opponents) OPPONENTS="$2"; shift 2 ;;
    --pgn-dir) PGN_DIR="$2"; shift 2 ;;
    -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) ENGINE="$1"; shift ;;
  esac
done

faults=0
summary=()
for opponent in $OPPONENTS; do
  pgn=()
  [ -z "$PGN_DIR" ] || pgn=(--pgn "$PGN_DIR/gauntlet-$opponent.pgn")
  report=$("$ROOT/bench/match.sh" --games "$GAMES" --tc "$TC" --opponent "$opponent" \
             --concurrency "$CONCURRENCY" "${pgn[@]}" "$ENGINE" | tail -3) || faults=1
  echo "$report"
  # "Corvanel vs Glaurung: 200 games (of 200): +60 =50 -90", then the fault lines.
  line=$(sed -n 1p <<<"$report")
  summary+=("$(awk -v line="$line" -v faults="$(sed -n 2p <<<"$report")" -f "$ROOT/bench/score_line.awk")")
done
echo
echo "Gauntlet of $ENGINE at $TC:"
printf '%s\n' "${summary[@]}"
exit $faults
