#!/usr/bin/env bash
# Perft speed of Corvanel against Stockfish on the same positions: the start position at depth 6
# and "kiwipete" at depth 5. Prints nodes, milliseconds and nodes per second for each, then how
# many times longer Corvanel takes. Times are wall-clock and include process start-up (for
# Corvanel the 128 MB hash table), which is small beside these counts.
#
#   bench/perft_vs_stockfish.sh [corvanel-binary] [stockfish-binary]
#
# Defaults: build-front/corvanel-x64-popcnt (then build/, build-ci/, build-make/) and
# /usr/games/stockfish.
set -uo pipefail

REPO="$(cd "$(dirname "$0")/.." && pwd)"
CORVANEL="${1:-}"
if [ -z "$CORVANEL" ]; then
  for dir in build-front build build-ci build-make; do
    if [ -x "$REPO/$dir/corvanel-x64-popcnt" ]; then CORVANEL="$REPO/$dir/corvanel-x64-popcnt"; break; fi
  done
fi
STOCKFISH="${2:-/usr/games/stockfish}"

if [ -z "$CORVANEL" ] || [ ! -x "$CORVANEL" ]; then
  echo "Corvanel binary not found; build it (make, or cmake --build <dir>) or pass its path." >&2
  exit 1
fi

START_FEN="rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
KIWIPETE="r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
POSITIONS=("startpos|$START_FEN|6" "kiwipete|$KIWIPETE|5")

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Runs one engine on one position; sets NODES and MS.
run_corvanel() {
  local fen="$1" depth="$2" start end out
  start=$(now_ms)
  out=$(printf 'position fen %s\nperft %s\nquit\n' "$fen" "$depth" | "$CORVANEL" | tail -n +2 | grep -E '^[0-9]+$' | tail -1)
  end=$(now_ms)
  NODES="${out:-?}"
  MS=$(( end - start ))
}

run_stockfish() {
  local fen="$1" depth="$2" start end out
  start=$(now_ms)
  out=$(printf 'position fen %s\ngo perft %s\nquit\n' "$fen" "$depth" | "$STOCKFISH" | grep -E '^Nodes searched' | awk '{print $NF}')
  end=$(now_ms)
  NODES="${out:-?}"
  MS=$(( end - start ))
}

report() {
  local engine="$1" name="$2" nodes="$3" ms="$4" nps="?"
  if [[ "$nodes" =~ ^[0-9]+$ ]] && [ "$ms" -gt 0 ]; then nps=$(( nodes * 1000 / ms )); fi
  printf '%-10s %-9s %12s nodes %8s ms %12s nodes/s\n' "$engine" "$name" "$nodes" "$ms" "$nps"
}

declare -A CORVANEL_MS STOCKFISH_MS CORVANEL_NODES STOCKFISH_NODES
echo "Corvanel:  $CORVANEL"
for entry in "${POSITIONS[@]}"; do
  IFS='|' read -r name fen depth <<<"$entry"
  run_corvanel "$fen" "$depth"
  CORVANEL_MS[$name]=$MS
  CORVANEL_NODES[$name]=$NODES
  report corvanel "$name" "$NODES" "$MS"
done

if [ ! -x "$STOCKFISH" ]; then
  echo "Stockfish not found at $STOCKFISH (Debian: apt-get install stockfish); no comparison."
  exit 0
fi
echo "Stockfish: $STOCKFISH"
for entry in "${POSITIONS[@]}"; do
  IFS='|' read -r name fen depth <<<"$entry"
  run_stockfish "$fen" "$depth"
  STOCKFISH_MS[$name]=$MS
  STOCKFISH_NODES[$name]=$NODES
  report stockfish "$name" "$NODES" "$MS"
done

echo
for entry in "${POSITIONS[@]}"; do
  IFS='|' read -r name _ _ <<<"$entry"
  if [ "${CORVANEL_NODES[$name]}" != "${STOCKFISH_NODES[$name]}" ]; then
    echo "$name: node counts differ (corvanel ${CORVANEL_NODES[$name]}, stockfish ${STOCKFISH_NODES[$name]})"
  fi
  sf=${STOCKFISH_MS[$name]}
  [ "$sf" -gt 0 ] || sf=1
  awk -v c="${CORVANEL_MS[$name]}" -v s="$sf" -v n="$name" \
    'BEGIN { printf "%s: corvanel/stockfish time ratio %.2f\n", n, c / s }'
done
