#!/usr/bin/env bash
# A match of Corvanel against a Debian engine through fastchess, one core each, zero time margin,
# from the balanced openings (each twice, colours swapped). Prints Corvanel's wins, draws and
# losses and, for each side, time forfeits, illegal moves, crashes and stalls.
#
#   bench/match.sh [--games 100] [--tc 10+0.1] [--opponent glaurung] [--concurrency 1]
#                  [--openings FILE.epd] [--pgn FILE] [--options "NAME=VALUE ..."]
#                  [--opponent-options "NAME=VALUE ..."] [BINARY]  (default build/corvanel-x64-popcnt)
#
# fastchess is taken from $FASTCHESS, else from PATH. Opponents: glaurung, stockfish, toga2,
# ethereal, gnuchess (Debian packages; binaries in /usr/games). --options and --opponent-options
# add UCI options (names without spaces) to either side. Exit code 1 when Corvanel had any fault.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
GAMES=100 TC=10+0.1 OPPONENT=glaurung CONCURRENCY=1 PGN=""
OPENINGS="$ROOT/tests/games/openings.epd" ENGINE="$ROOT/build/corvanel-x64-popcnt"
EXTRA=() OPPONENT_EXTRA=()
usage() { sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; }
while [ $# -gt 0 ]; do
  case "$1" in
    --games) GAMES="$2"; shift 2 ;;
    --tc) TC="$2"; shift 2 ;;
    --opponent) OPPONENT="$2"; shift 2 ;;
    --concurrency) CONCURRENCY="$2"; shift 2 ;;
    --openings) OPENINGS="$2"; shift 2 ;;
    --pgn) PGN="$2"; shift 2 ;;
    --options) for o in $2; do EXTRA+=("option.$o"); done; shift 2 ;;
    --opponent-options) for o in $2; do OPPONENT_EXTRA+=("option.$o"); done; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "match.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) ENGINE="$1"; shift ;;
  esac
done

# The opponents' settings for fair one-core games.
case "$OPPONENT" in
  glaurung) BIN=/usr/games/glaurung NAME=Glaurung
    OPTS=(option.Threads=1 option.Hash=16 option.OwnBook=false option.Ponder=false) ;;
  stockfish) BIN=/usr/games/stockfish NAME=Stockfish OPTS=(option.Threads=1 option.Hash=16) ;;
  toga2) BIN=/usr/games/toga2 NAME=Toga OPTS=("option.Number of Threads=1" option.Hash=16 option.OwnBook=false) ;;
  ethereal) BIN=/usr/games/ethereal-chess NAME=Ethereal OPTS=(option.Threads=1 option.Hash=16) ;;
  gnuchess) BIN=/usr/games/gnuchess NAME=GNUChess OPTS=(args=--uci option.Hash=16 option.OwnBook=false) ;;
  *) echo "match.sh: unknown opponent $OPPONENT" >&2; exit 2 ;;
esac
FASTCHESS=${FASTCHESS:-$(command -v fastchess || true)}
for need in "$FASTCHESS" "$ENGINE" "$BIN"; do
  [ -x "$need" ] || { echo "match.sh: cannot run '$need' (set FASTCHESS, build the engine, install the opponent)" >&2; exit 2; }
done
[ -r "$OPENINGS" ] || { echo "match.sh: cannot read $OPENINGS" >&2; exit 2; }
ENGINE=$(realpath "$ENGINE") OPENINGS=$(realpath "$OPENINGS") FASTCHESS=$(realpath "$FASTCHESS")
# The engines run in the caller's folder, so that file options (EvalFile, SyzygyPath) given
# relative to it name the same files.
HERE=$(pwd)

# fastchess keeps its state (config.json) in the working directory: give it a scratch one.
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
LOG="$WORK/log"
PGN_ARGS=()
[ -z "$PGN" ] || PGN_ARGS=(-pgnout "file=$(realpath -m "$PGN")" timeleft=true)
echo "Corvanel $ENGINE ($(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)) vs $NAME:" \
  "$GAMES games at $TC, concurrency $CONCURRENCY, started $(date -u '+%Y-%m-%d %H:%M UTC')"
(cd "$WORK" && "$FASTCHESS" -engine "cmd=$ENGINE" "dir=$HERE" name=Corvanel option.Hash=16 "${EXTRA[@]}" \
  -engine "cmd=$BIN" "dir=$HERE" "name=$NAME" "${OPTS[@]}" "${OPPONENT_EXTRA[@]}" -each proto=uci "tc=$TC" timemargin=0 \
  -rounds $(((GAMES + 1) / 2)) -games 2 -openings "file=$OPENINGS" format=epd \
  order=sequential -concurrency "$CONCURRENCY" -recover -ratinginterval 0 "${PGN_ARGS[@]}" </dev/null 2>&1) |
  sed -u 's/\x1b\[[0-9;]*m//g' | tee "$LOG" | grep --line-buffered '^Finished game' || true

# "Finished game 7 (Corvanel vs Glaurung): 0-1 {White loses on time (3ms overrun)}"
awk -v us=Corvanel -v them="$NAME" -v expected=$(((GAMES + 1) / 2 * 2)) '
  /^Finished game/ {
    split($0, head, /[()]/); split(head[2], names, / vs /)
    white = names[1]; result = $0; sub(/.*\): /, "", result); reason = result
    sub(/ .*/, "", result); sub(/[^{]*\{/, "", reason)
    ours = white == us ? "1-0" : "0-1"
    games++; if (result == "1/2-1/2") draws++; else if (result == ours) wins++; else losses++
    who = reason ~ /^White/ ? white : names[2]
    if (reason ~ /loses on time/) time[who]++
    else if (reason ~ /illegal move/) illegal[who]++
    else if (reason ~ /disconnects/) crash[who]++
    else if (reason ~ /stalls/) stall[who]++
  }
  END {
    printf "%s vs %s: %d games (of %d): +%d =%d -%d\n", us, them, games, expected, wins, draws, losses
    for (i = 1; i <= 2; i++) {
      e = i == 1 ? us : them
      printf "%s: %d time forfeits, %d illegal moves, %d crashes, %d stalls\n", e, time[e], illegal[e], crash[e], stall[e]
    }
    exit (time[us] + illegal[us] + crash[us] + stall[us] > 0 || games < expected)
  }' "$LOG"
