#!/usr/bin/env bash
# Endgames played out with the Syzygy tables: random KQvK, KRvK, KPvK, KRvKP, KQvKR, KBNvK and KPvKP
# positions (each with white and with black to move; drawn KPvK and KRvKP among them), each
# played once by Corvanel against itself through fastchess, both with the tables, without
# adjudication. Every game must end as the tables say under the fifty-move rule (asked of
# Debian's stand-alone probe, /usr/games/fathom), and Corvanel's first score must be the tables'
# verdict; time losses, illegal moves and crashes are faults.
#
#   bench/tablebase_games.sh [--per-kind 15] [--seed 1] [--tc 1+0.01] [--concurrency 2]
#                            [--tables DIR] [--pgn FILE] [BINARY]   (default build/corvanel-x64-popcnt)
#
# 15 per kind is 210 positions, about 5 to 8 minutes on two cores at 1+0.01. fastchess is taken
# from $FASTCHESS, else from PATH; the tables default to ../shared/data/syzygy. Needs the Debian
# package fathom and chess.js (npm ci --prefix tests/games). Exit code 1 on any fault.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PER_KIND=15 SEED=1 TC=1+0.01 CONCURRENCY=2 PGN=""
TABLES="$ROOT/../shared/data/syzygy" ENGINE="$ROOT/build/corvanel-x64-popcnt"
usage() { sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; }
while [ $# -gt 0 ]; do
  case "$1" in
    --per-kind) PER_KIND="$2"; shift 2 ;;
    --seed) SEED="$2"; shift 2 ;;
    --tc) TC="$2"; shift 2 ;;
    --concurrency) CONCURRENCY="$2"; shift 2 ;;
    --tables) TABLES="$2"; shift 2 ;;
    --pgn) PGN="$2"; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "tablebase_games.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) ENGINE="$1"; shift ;;
  esac
done
FASTCHESS=${FASTCHESS:-$(command -v fastchess || true)}
PROBE=/usr/games/fathom
for need in "$FASTCHESS" "$ENGINE" "$PROBE"; do
  [ -x "$need" ] || { echo "tablebase_games.sh: cannot run '$need' (set FASTCHESS, build the engine, apt-get install fathom)" >&2; exit 2; }
done
[ -r "$TABLES/KRvK.rtbw" ] || { echo "tablebase_games.sh: no Syzygy tables in $TABLES" >&2; exit 2; }
ENGINE=$(realpath "$ENGINE") TABLES=$(realpath "$TABLES") FASTCHESS=$(realpath "$FASTCHESS")

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
node "$ROOT/bench/tablebase_games.mjs" generate --per-kind "$PER_KIND" --seed "$SEED" \
  --fathom "$PROBE" --path "$TABLES" > "$WORK/positions.tsv"
cut -f1 "$WORK/positions.tsv" > "$WORK/positions.epd"
POSITIONS=$(wc -l < "$WORK/positions.epd")
GAMES_PGN=${PGN:-$WORK/games.pgn}
GAMES_PGN=$(realpath -m "$GAMES_PGN")
rm -f "$GAMES_PGN"
echo "Corvanel $ENGINE ($(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)):" \
  "$POSITIONS endgame positions at $TC with the tables of $TABLES, concurrency $CONCURRENCY," \
  "started $(date -u '+%Y-%m-%d %H:%M UTC')"
# One game per position (the side to move is the FEN's); fastchess keeps its state in the
# working directory, so it runs in the scratch one.
(cd "$WORK" && "$FASTCHESS" \
  -engine "cmd=$ENGINE" name=Corvanel -engine "cmd=$ENGINE" name=Corvanel2 \
  -each proto=uci "tc=$TC" timemargin=0 option.Hash=16 "option.SyzygyPath=$TABLES" \
  -rounds "$POSITIONS" -games 1 -openings "file=$WORK/positions.epd" format=epd order=sequential \
  -concurrency "$CONCURRENCY" -recover -ratinginterval 0 \
  -pgnout "file=$GAMES_PGN" tbhits=true </dev/null 2>&1) |
  sed -u 's/\x1b\[[0-9;]*m//g' > "$WORK/log" || true
FINISHED=$(grep -c '^Finished game' "$WORK/log" || true)
echo "$FINISHED of $POSITIONS games finished"
[ "$FINISHED" -gt 0 ] || { echo "fastchess played nothing; its output:" >&2; cat "$WORK/log" >&2; exit 1; }
node "$ROOT/bench/tablebase_games.mjs" check --expected "$WORK/positions.tsv" --pgn "$GAMES_PGN"
