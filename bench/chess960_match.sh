#!/usr/bin/env bash
# A Chess960 match under fastchess, Corvanel against a Debian engine that plays Chess960 (or
# against itself), from the 960 positions of tests/data/chess960.perft taken as openings (each
# twice, colours swapped). Prints fastchess's report, then the games and the counts of time
# losses, illegal moves and crashes (disconnects and stalls) read from the PGN.
#
#   bench/chess960_match.sh [options] [CORVANEL_BINARY]    (default: build/corvanel-x64-popcnt)
#     --games N         games (default 100)
#     --tc BASE+INC     seconds (default 10+0.1)
#     --opponent NAME   glaurung (default), stockfish or self
#     --concurrency N   games at once (default 1: on two cores each engine then has one)
#     --pgn FILE        keep the games (default: a temporary file)
#
# fastchess is taken from $FASTCHESS, else from PATH. The exit code is 1 when any game ended by
# a time loss, an illegal move or a crash.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
GAMES=100
TC=10+0.1
OPPONENT=glaurung
CONCURRENCY=1
PGN=""
ENGINE="$ROOT/build/corvanel-x64-popcnt"
DATA="${CHESS960_PERFT:-$ROOT/tests/data/chess960.perft}"

while [ $# -gt 0 ]; do
  case "$1" in
    --games) GAMES="$2"; shift 2 ;;
    --tc) TC="$2"; shift 2 ;;
    --opponent) OPPONENT="$2"; shift 2 ;;
    --concurrency) CONCURRENCY="$2"; shift 2 ;;
    --pgn) PGN="$2"; shift 2 ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "chess960_match.sh: unknown option $1" >&2; exit 2 ;;
    *) ENGINE="$1"; shift ;;
  esac
done

FASTCHESS="${FASTCHESS:-$(command -v fastchess || true)}"
if [ -z "$FASTCHESS" ] || [ ! -x "$FASTCHESS" ]; then
  echo "chess960_match.sh: fastchess not found; set FASTCHESS=/path/to/fastchess or put it on PATH" >&2
  exit 1
fi
if [ ! -x "$ENGINE" ]; then
  echo "chess960_match.sh: no engine at $ENGINE; build it first (make)" >&2
  exit 1
fi

# One thread, 16 MB of hash, no book, no pondering. fastchess switches UCI_Chess960 on itself.
case "$OPPONENT" in
  glaurung)
    OPPONENT_ARGS=(cmd=/usr/games/glaurung name=Glaurung option.Threads=1 option.Hash=16
                   option.OwnBook=false option.Ponder=false) ;;
  stockfish)
    OPPONENT_ARGS=(cmd=/usr/games/stockfish name=Stockfish option.Threads=1 option.Hash=16) ;;
  self)
    OPPONENT_ARGS=("cmd=$ENGINE" name=Corvanel-2 option.Hash=16) ;;
  *) echo "chess960_match.sh: unknown opponent $OPPONENT (glaurung, stockfish, self)" >&2; exit 2 ;;
esac
OPPONENT_BIN=${OPPONENT_ARGS[0]#cmd=}
if [ ! -x "$OPPONENT_BIN" ]; then
  echo "chess960_match.sh: $OPPONENT_BIN is missing (apt-get install $OPPONENT)" >&2
  exit 1
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# fastchess runs in the scratch folder, where it leaves its config.json.
ENGINE=$(cd "$(dirname "$ENGINE")" && pwd)/$(basename "$ENGINE")
FASTCHESS=$(cd "$(dirname "$FASTCHESS")" && pwd)/$(basename "$FASTCHESS")
[ "$OPPONENT" != self ] || OPPONENT_ARGS[0]="cmd=$ENGINE"
[ -z "$PGN" ] || PGN=$(cd "$(dirname "$PGN")" && pwd)/$(basename "$PGN")
awk '$1 == "epd" { print substr($0, 5) }' "$DATA" >"$WORK/openings.epd"
[ -n "$PGN" ] || PGN="$WORK/games.pgn"
rm -f "$PGN"

echo "Engine:   $ENGINE"
echo "Revision: $(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)"
echo "Machine:  $(nproc) cores, $(uname -m); started $(date -u '+%Y-%m-%d %H:%M UTC')"
(cd "$WORK" && "$FASTCHESS" -variant fischerandom \
  -engine "cmd=$ENGINE" name=Corvanel option.Hash=16 \
  -engine "${OPPONENT_ARGS[@]}" \
  -each proto=uci "tc=$TC" timemargin=0 \
  -openings "file=$WORK/openings.epd" format=epd order=random \
  -rounds $(( (GAMES + 1) / 2 )) -repeat -concurrency "$CONCURRENCY" \
  -pgnout "file=$PGN" </dev/null) | tee "$WORK/fastchess.log"

# fastchess names how each game ended in its PGN; a stalled or vanished engine also shows in its
# log, and stops the match.
count() { grep -c -i -E "$1" "$2" || true; }
games=$(count '^\[Result ' "$PGN")
time_losses=$(count '^\[Termination "(time forfeit|timeout)"\]' "$PGN")
illegal=$(count '^\[Termination "illegal move"\]' "$PGN")
crashes=$(( $(count '^\[Termination "(abandoned|unterminated)"\]' "$PGN") +
            $(count 'stall|disconnect' "$WORK/fastchess.log") ))
echo "Chess960: $games of $GAMES games, $time_losses time losses, $illegal illegal moves," \
  "$crashes crashes"
[ "$games" -ge "$GAMES" ] && [ "$time_losses" -eq 0 ] && [ "$illegal" -eq 0 ] && [ "$crashes" -eq 0 ]
