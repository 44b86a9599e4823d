#!/usr/bin/env bash
# Makes the labelled position set of "recpar": punt5.txt (training) and punt5-heldout.txt.
#   1. games: Corvanel against itself and the Debian engines through fastchess, from the balanced
#      openings in an order drawn with the seed;
#   2. positions: every position a few plies past the opening, once, that the engine finds quiet
#      (not in check, quiescence result equal to the static evaluation: build/corvanel-quiet),
#      at most --per-game of them per game, drawn with the seed;
#   3. labels: Stockfish (one thread, 16 MB) "go depth D", side to move's view, mates dropped;
#   4. the reference in pawns (optionally blended with the game result, --lambda), split by a
#      seeded hash of the position.
#
#   tuning/make_dataset.sh [--games 14000] [--tc 1+0.01] [--nodes N] [--concurrency 2]
#     [--seed 20241207] [--depth 10] [--lambda 1.0] [--heldout 10] [--per-game 24]
#     [--skip-plies 4] [--opponents "self glaurung toga2 ethereal"]
#     [--openings tests/games/openings.epd] [--pgn GAMES.pgn] [--out tuning/data] [--build build]
#
# --nodes also limits the engines that honour "go nodes" (Corvanel, Glaurung); the time control
# stays as a safety net and is all that limits Toga II and Ethereal. --pgn skips the games and
# reads the given file instead. Labels already in OUT/labels-d<depth>.tsv are kept, so a
# stopped run resumes where it stopped. fastchess is taken from $FASTCHESS, else PATH;
# Stockfish from $STOCKFISH, else /usr/games/stockfish.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
GAMES=14000 TC=1+0.01 NODES="" CONCURRENCY=2 SEED=20241207 DEPTH=10 LAMBDA=1.0 HELDOUT=10
PER_GAME=24 SKIP_PLIES=4 OPPONENTS="self glaurung toga2 ethereal" PGN=""
OPENINGS="$ROOT/tests/games/openings.epd"
OUT="$ROOT/tuning/data" BUILD="$ROOT/build"
usage() { sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; }
while [ $# -gt 0 ]; do
  case "$1" in -h|--help) usage; exit 0 ;; esac
  [ $# -ge 2 ] || { echo "make_dataset.sh: $1 needs a value" >&2; exit 2; }
  case "$1" in
    --games) GAMES="$2" ;;
    --tc) TC="$2" ;;
    --nodes) NODES="$2" ;;
    --concurrency) CONCURRENCY="$2" ;;
    --seed) SEED="$2" ;;
    --depth) DEPTH="$2" ;;
    --lambda) LAMBDA="$2" ;;
    --heldout) HELDOUT="$2" ;;
    --per-game) PER_GAME="$2" ;;
    --skip-plies) SKIP_PLIES="$2" ;;
    --opponents) OPPONENTS="$2" ;;
    --openings) OPENINGS="$2" ;;
    --pgn) PGN="$2" ;;
    --out) OUT="$2" ;;
    --build) BUILD="$2" ;;
    *) echo "make_dataset.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
  esac
  shift 2
done
for number in "$GAMES" "$CONCURRENCY" "$SEED" ${NODES:+"$NODES"}; do
  [[ "$number" =~ ^[0-9]+$ ]] ||
    { echo "make_dataset.sh: '$number' is not a whole number" >&2; exit 2; }
done

ENGINE="$BUILD/corvanel-x64-popcnt" QUIET="$BUILD/corvanel-quiet"
STOCKFISH=${STOCKFISH:-/usr/games/stockfish}
for need in "$ENGINE" "$QUIET"; do
  [ -x "$need" ] || { echo "make_dataset.sh: missing $need; build it with" \
    "cmake --build $BUILD --target corvanel-x64-popcnt corvanel-quiet" >&2; exit 2; }
done
[ -x "$STOCKFISH" ] ||
  { echo "make_dataset.sh: cannot run $STOCKFISH (apt-get install stockfish)" >&2; exit 2; }
command -v node >/dev/null || { echo "make_dataset.sh: needs Node.js" >&2; exit 2; }
HELPER="$ROOT/tuning/dataset"
[ -d "$HELPER/node_modules/chess.js" ] || npm ci --prefix "$HELPER" --no-audit --no-fund
mkdir -p "$OUT"
OUT=$(realpath "$OUT") ENGINE=$(realpath "$ENGINE") QUIET=$(realpath "$QUIET")

stage_start() { STAGE_START=$(date +%s%N); echo "== $*"; }
stage_end() {
  local ms=$(( ($(date +%s%N) - STAGE_START) / 1000000 ))
  printf "== %s took %d.%03d s\n" "$1" $((ms / 1000)) $((ms % 1000))
}

{
  echo "made $(date -u '+%Y-%m-%d %H:%M UTC')" \
    "from $(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)"
  echo "games=$GAMES tc=$TC nodes=${NODES:-none} concurrency=$CONCURRENCY seed=$SEED depth=$DEPTH"
  echo "lambda=$LAMBDA heldout=$HELDOUT per-game=$PER_GAME skip-plies=$SKIP_PLIES"
  echo "opponents=$OPPONENTS"
  echo "openings=$OPENINGS pgn=${PGN:-played} engine=$ENGINE stockfish=$STOCKFISH"
} > "$OUT/settings.txt"

if [ -z "$PGN" ]; then
  PGN="$OUT/games.pgn"
  FASTCHESS=${FASTCHESS:-$(command -v fastchess || true)}
  [ -x "$FASTCHESS" ] || { echo "make_dataset.sh: no fastchess (set FASTCHESS)" >&2; exit 2; }
  [ -r "$OPENINGS" ] || { echo "make_dataset.sh: cannot read $OPENINGS" >&2; exit 2; }
  # Corvanel keeps 100 ms of every allotment back for a GUI's lag by default, which leaves next to
  # nothing of a one-second clock; fastchess answers at once, so 20 ms will do.
  SELF_OPTIONS=(option.Hash=16 "option.Move Overhead=20" ${NODES:+nodes=$NODES})
  # The opponent's engine options, one per line (a node limit only for engines that honour it).
  # Two copies of Corvanel at the same node count would play the same game with colours swapped:
  # the second searches an eighth more.
  opponent_options() {
    case "$1" in
      self) printf '%s\n' "cmd=$ENGINE" name=Corvanel-2 option.Hash=16 "option.Move Overhead=20" \
              ${NODES:+nodes=$((NODES + NODES / 8))} ;;
      glaurung) printf '%s\n' cmd=/usr/games/glaurung name=Glaurung option.Threads=1 \
                  option.Hash=16 option.OwnBook=false option.Ponder=false ${NODES:+nodes=$NODES} ;;
      toga2) printf '%s\n' cmd=/usr/games/toga2 name=Toga "option.Number of Threads=1" \
               option.Hash=16 option.OwnBook=false ;;
      ethereal) printf '%s\n' cmd=/usr/games/ethereal-chess name=Ethereal option.Threads=1 \
                  option.Hash=16 ;;
      *) return 1 ;;
    esac
  }
  PAIRINGS=0
  for opponent in $OPPONENTS; do
    opponent_options "$opponent" >/dev/null ||
      { echo "make_dataset.sh: unknown opponent $opponent" \
             "(self, glaurung, toga2, ethereal)" >&2; exit 2; }
    PAIRINGS=$((PAIRINGS + 1))
  done
  [ "$PAIRINGS" -gt 0 ] || { echo "make_dataset.sh: no opponents" >&2; exit 2; }
  # Games come in pairs (one opening, colours swapped), shared evenly among the opponents.
  PAIRS=$(( (GAMES + 2 * PAIRINGS - 1) / (2 * PAIRINGS) ))
  stage_start "games: $((PAIRS * 2 * PAIRINGS)) at tc $TC${NODES:+, $NODES nodes}," \
    "$CONCURRENCY at a time"
  rm -f "$PGN" "$OUT/fastchess.log"
  # fastchess keeps its state (config.json) in the working directory: give it a scratch one.
  WORK=$(mktemp -d "$OUT/fastchess.XXXXXX")
  trap 'rm -rf "$WORK"' EXIT
  index=0
  for opponent in $OPPONENTS; do
    mapfile -t OPPONENT < <(opponent_options "$opponent")
    # Each opponent draws its own order of the openings (seed + its place in the list).
    (cd "$WORK" && "$FASTCHESS" \
      -engine "cmd=$ENGINE" name=Corvanel "${SELF_OPTIONS[@]}" \
      -engine "${OPPONENT[@]}" -each proto=uci "tc=$TC" timemargin=50 -rounds "$PAIRS" -games 2 \
      -openings "file=$(realpath "$OPENINGS")" format=epd order=random -srand $((SEED + index)) \
      -resign movecount=3 score=500 twosided=true -draw movenumber=40 movecount=8 score=10 \
      -concurrency "$CONCURRENCY" -recover -ratinginterval 0 -pgnout "file=$PGN" </dev/null 2>&1) |
      sed -u 's/\x1b\[[0-9;]*m//g' >> "$OUT/fastchess.log"
    index=$((index + 1))
  done
  echo "games finished: $(grep -c '^Finished game' "$OUT/fastchess.log" || true)"
  stage_end games
fi

stage_start positions
node "$HELPER/dataset.mjs" positions --pgn "$PGN" --quiet "$QUIET" --out "$OUT/positions.tsv" \
  --skip-plies "$SKIP_PLIES" --per-game "$PER_GAME" --seed "$SEED"
stage_end positions

stage_start labels
node "$HELPER/dataset.mjs" label --positions "$OUT/positions.tsv" --out "$OUT/labels-d$DEPTH.tsv" \
  --stockfish "$STOCKFISH" --depth "$DEPTH" --concurrency "$CONCURRENCY"
stage_end labels

stage_start write
node "$HELPER/dataset.mjs" write --positions "$OUT/positions.tsv" \
  --labels "$OUT/labels-d$DEPTH.tsv" --training "$OUT/punt5.txt" \
  --heldout "$OUT/punt5-heldout.txt" --lambda "$LAMBDA" --heldout-percent "$HELDOUT" --seed "$SEED"
stage_end write
echo "written: $OUT/punt5.txt and $OUT/punt5-heldout.txt"
