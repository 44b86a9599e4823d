#!/usr/bin/env bash
# A long refereed match of Corvanel against a Debian engine, one core each, from the balanced
# openings; prints wins, draws, losses and the fault counts (time forfeits, illegal moves,
# crashes, protocol errors) of both sides. Installs and builds nothing.
#
#   bench/match.sh [options] [CORVANEL_BINARY]        (default: build/corvanel-x64-popcnt)
#     --games N         games (default 100; each opening twice, colours swapped)
#     --tc BASE+INC     seconds (default 10+0.1)
#     --opponent NAME   glaurung (default), stockfish, toga2 or ethereal
#     --seed N          shuffle the openings with this seed (default: file order)
#     --concurrency N   games at once (default 1: on two cores each engine then has one)
#     --pgn FILE        keep the games
#     --name NAME       the first engine's name in the report (default Corvanel)
#
# The exit code is the runner's: 1 when Corvanel lost any game by a fault.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNNER_DIR="$ROOT/tests/games"

GAMES=100
TC=10+0.1
OPPONENT=glaurung
SEED=""
CONCURRENCY=1
PGN=""
NAME=Corvanel
ENGINE="$ROOT/build/corvanel-x64-popcnt"

usage() {
  sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
}

while [ $# -gt 0 ]; do
  case "$1" in
    --games) GAMES="$2"; shift 2 ;;
    --tc) TC="$2"; shift 2 ;;
    --opponent) OPPONENT="$2"; shift 2 ;;
    --seed) SEED="$2"; shift 2 ;;
    --concurrency) CONCURRENCY="$2"; shift 2 ;;
    --pgn) PGN="$2"; shift 2 ;;
    --name) NAME="$2"; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "match.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) ENGINE="$1"; shift ;;
  esac
done

# Settings for fair one-core games: one thread, 16 MB of hash, no book, no pondering.
case "$OPPONENT" in
  glaurung)
    OPPONENT_BIN=/usr/games/glaurung; OPPONENT_NAME=Glaurung; DEBIAN_PACKAGE=glaurung
    OPPONENT_OPTIONS=(option.Threads=1 option.Hash=16 option.OwnBook=false option.Ponder=false) ;;
  stockfish)
    OPPONENT_BIN=/usr/games/stockfish; OPPONENT_NAME=Stockfish; DEBIAN_PACKAGE=stockfish
    OPPONENT_OPTIONS=(option.Threads=1 option.Hash=16) ;;
  toga2)
    OPPONENT_BIN=/usr/games/toga2; OPPONENT_NAME="Toga II"; DEBIAN_PACKAGE=toga2
    OPPONENT_OPTIONS=("option.Number of Threads=1" option.Hash=16 option.OwnBook=false) ;;
  ethereal)
    OPPONENT_BIN=/usr/games/ethereal-chess; OPPONENT_NAME=Ethereal; DEBIAN_PACKAGE=ethereal-chess
    OPPONENT_OPTIONS=(option.Threads=1 option.Hash=16) ;;
  *) echo "match.sh: unknown opponent $OPPONENT (glaurung, stockfish, toga2, ethereal)" >&2; exit 2 ;;
esac

if [ ! -x "$OPPONENT_BIN" ]; then
  echo "match.sh: $OPPONENT_BIN is missing; install it with: apt-get install -y $DEBIAN_PACKAGE" >&2
  exit 1
fi
if [ ! -x "$ENGINE" ]; then
  echo "match.sh: no engine at $ENGINE; build it first, for example:" >&2
  echo "  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release && cmake --build build -j2 --target corvanel-x64-popcnt" >&2
  exit 1
fi
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  echo "match.sh: Node.js and npm are needed; install them with: apt-get install -y nodejs npm" >&2
  exit 1
fi
if [ ! -d "$RUNNER_DIR/node_modules" ]; then
  echo "Installing the referee's npm packages (npm ci in tests/games)"
  npm ci --prefix "$RUNNER_DIR" --no-audit --no-fund >/dev/null
fi

ARGS=(
  --engine "cmd=$ENGINE" "name=$NAME" option.Hash=16
  --engine "cmd=$OPPONENT_BIN" "name=$OPPONENT_NAME" "${OPPONENT_OPTIONS[@]}"
  --games "$GAMES" --tc "$TC" --concurrency "$CONCURRENCY"
)
[ -n "$SEED" ] && ARGS+=(--seed "$SEED")
[ -n "$PGN" ] && ARGS+=(--pgn "$PGN")

echo "Engine:   $ENGINE"
echo "Revision: $(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)"
echo "Machine:  $(nproc) cores, $(uname -m); started $(date -u '+%Y-%m-%d %H:%M UTC')"
STATUS=0
node "$RUNNER_DIR/run-match.mjs" "${ARGS[@]}" </dev/null || STATUS=$?
exit "$STATUS"
