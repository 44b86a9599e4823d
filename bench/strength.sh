#!/usr/bin/env bash
# Calibrates "UCI_LimitStrength": Corvanel at each UCI_Elo level against Stockfish 15.1 at the
# same UCI_Elo (the scale the levels claim), and against fixed opponents if asked: the same
# opponent for every level, at full strength (gnuchess, glaurung, ...) or Stockfish held at one
# level (stockfish@1700). Per level and opponent: the score, the Elo difference with its 95%
# interval, and the faults; against Stockfish at the same level also the level's measured Elo
# (its UCI_Elo plus the difference). --fixed-only leaves out the games at the same level.
#
#   bench/strength.sh [--games 100] [--tc 5+0.05] [--levels "1350 1500 1700 1800 1900"]
#                     [--fixed "stockfish@1700 gnuchess"] [--fixed-only] [--concurrency 2]
#                     [--pgn-dir DIR] [BINARY]
#
# fastchess is taken from $FASTCHESS, else from PATH. Exit code 1 when Corvanel had any fault.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
GAMES=100 TC=5+0.05 LEVELS="1350 1500 1700 1800 1900" FIXED="" MATCHED=stockfish CONCURRENCY=2
PGN_DIR=""
ENGINE="$ROOT/build/corvanel-x64-popcnt"
while [ $# -gt 0 ]; do
  case "$1" in
    --games) GAMES="$2"; shift 2 ;;
    --tc) TC="$2"; shift 2 ;;
    --levels) LEVELS="$2"; shift 2 ;;
    --fixed) FIXED="$2"; shift 2 ;;
    --fixed-only) MATCHED=""; shift ;;
    --concurrency) CONCURRENCY="$2"; shift 2 ;;
    --pgn-dir) PGN_DIR="$2"; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) ENGINE="$1"; shift ;;
  esac
done

faults=0
summary=()
for level in $LEVELS; do
  for opponent in $MATCHED $FIXED; do
    pgn=() opponentOptions=() engine=$opponent
    [ -z "$PGN_DIR" ] || pgn=(--pgn "$PGN_DIR/strength-$level-$opponent.pgn")
    label="UCI_Elo $level vs $opponent"
    if [ "$opponent" = stockfish ]; then
      opponentOptions=(--opponent-options "UCI_LimitStrength=true UCI_Elo=$level")
      label="UCI_Elo $level vs Stockfish $level"
    elif [ "${opponent%@*}" = stockfish ]; then
      engine=stockfish
      opponentOptions=(--opponent-options "UCI_LimitStrength=true UCI_Elo=${opponent#*@}")
      label="UCI_Elo $level vs Stockfish ${opponent#*@}"
    fi
    report=$("$ROOT/bench/match.sh" --games "$GAMES" --tc "$TC" --opponent "$engine" \
               --concurrency "$CONCURRENCY" --options "UCI_LimitStrength=true UCI_Elo=$level" \
               "${opponentOptions[@]}" "${pgn[@]}" "$ENGINE" | tail -3) || faults=1
    row=$(awk -v line="$(sed -n 1p <<<"$report")" -v faults="$(sed -n 2p <<<"$report")" \
              -v name="$label" -f "$ROOT/bench/score_line.awk")
    if [ "$opponent" = stockfish ]; then
      row="$row   measured Elo $(awk -v row="$row" -v level="$level" 'BEGIN {
        match(row, /Elo +[-+][0-9]+/); split(substr(row, RSTART, RLENGTH), e, " ")
        printf "%d", level + e[2] }')"
    fi
    echo "$row"
    summary+=("$row")
  done
done
echo
echo "Strength levels of $ENGINE at $TC:"
printf '%s\n' "${summary[@]}"
exit $faults
