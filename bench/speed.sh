#!/usr/bin/env bash
# Speed of one build, or of two side by side, measured in one run on one machine: bench nodes per
# second of each program, perft 6 of the start position and perft 5 of "kiwipete" of the popcount
# program next to Stockfish's "go perft", the popcount program's bench with the network evaluation
# (its nodes per second as a share of the table's), and evaluations per second of eval_bench. With an old
# build the two are run in turn and each figure is given with the ratio new/old (above 1 is
# faster), so any change can be measured against any earlier commit.
#
#   bench/speed.sh [--runs 3] [NEW_BUILD_DIR] [OLD_BUILD_DIR]
#
# A build directory holds corvanel-x64-popcnt and, when built, corvanel-x64, corvanel-x86 and
# bench/eval_bench (default NEW: build/). Every figure is the median of --runs runs. Perft times
# are wall clock with the program's start-up (tables, hash allocation) taken out, Stockfish's
# ("go perft", /usr/games/stockfish or $STOCKFISH) alike, each run taking its turn with ours.
# The network is the embedded one, or the file named by $EVALFILE. The machine is shared: compare
# ratios, not absolute times.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNS=3
DIRS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) RUNS="$2"; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) DIRS+=("$(realpath "$1")"); shift ;;
  esac
done
[ ${#DIRS[@]} -gt 0 ] || DIRS=("$ROOT/build")
[ -x "${DIRS[0]}/corvanel-x64-popcnt" ] || { echo "speed.sh: no corvanel-x64-popcnt in ${DIRS[0]}" >&2; exit 2; }
STOCKFISH=${STOCKFISH:-/usr/games/stockfish}

START="rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
KIWIPETE="r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# A machine that cannot execute 32-bit programs runs them under qemu's user-mode emulation: its
# figures compare two builds with each other, not with the native programs.
X86_RUNNER=()
if [ -x "${DIRS[0]}/corvanel-x86" ] && ! "${DIRS[0]}/corvanel-x86" bench </dev/null >/dev/null 2>&1 &&
   command -v qemu-i386 >/dev/null; then
  X86_RUNNER=(qemu-i386)
fi
bench_nps() {
  local runner=()
  [ "$(basename "$1")" != corvanel-x86 ] || runner=("${X86_RUNNER[@]}")
  "${runner[@]}" "$1" bench 2>/dev/null </dev/null | awk '/^Nodes\/second:/ { print $2 }'
}
# The bench with the network playing (the program's words run as commands).
bench_nps_network() {
  local words=("setoption name TableEvaluation value false")
  [ -z "${EVALFILE:-}" ] || words+=("setoption name EvalFile value $(realpath "$EVALFILE")")
  "$1" "${words[@]}" bench 2>/dev/null </dev/null | awk '/^Nodes\/second:/ { print $2 }'
}
eval_rate() { "$1" 2>/dev/null | sed -E 's/.*evaluations per second: ([0-9]+).*/\1/'; }
# Milliseconds of the commands fed to a program, less those of its start-up and "quit" alone.
timed() {
  local program=$1 commands=$2 start end base
  start=$(now_ms); printf 'quit\n' | "$program" >/dev/null 2>&1; end=$(now_ms); base=$((end - start))
  start=$(now_ms); printf '%s\nquit\n' "$commands" | "$program" >/dev/null 2>&1; end=$(now_ms)
  echo $(( end - start - base > 1 ? end - start - base : 1 ))
}

# One figure: the median over the runs for each build, the builds taking turns.
declare -A VALUE
measure() {  # key, then a command that prints one number when given a build directory
  local key=$1; shift
  local d i
  declare -A samples
  for ((i = 0; i < RUNS; ++i)); do
    for d in "${!DIRS[@]}"; do samples[$d]+="$("$@" "${DIRS[$d]}") "; done
    # Stockfish's perft takes its turn in the same round, so that both see the same load.
    [ "$key" != perft6 ] && [ "$key" != perft5 ] || [ ! -x "$STOCKFISH" ] ||
      samples[sf]+="$(timed "$STOCKFISH" "position fen $2
go perft $3") "
  done
  for d in "${!samples[@]}"; do VALUE[$key,$d]=$(tr ' ' '\n' <<<"${samples[$d]}" | grep . | median); done
}

m_bench() { local p="$2/$1"; [ -x "$p" ] && bench_nps "$p" || echo 0; }
m_bench_network() { bench_nps_network "$1/corvanel-x64-popcnt"; }
m_perft() { timed "$3/corvanel-x64-popcnt" "position fen $1
perft $2"; }
m_eval() { [ -x "$1/bench/eval_bench" ] && eval_rate "$1/bench/eval_bench" || echo 0; }

echo "speed.sh: ${DIRS[*]} ($RUNS runs each, medians)"
for program in corvanel-x64-popcnt corvanel-x64 corvanel-x86; do measure "$program" m_bench "$program"; done
measure network m_bench_network
measure perft6 m_perft "$START" 6
measure perft5 m_perft "$KIWIPETE" 5
measure eval m_eval

row() {  # label, key, unit, larger-is-better
  local label=$1 key=$2 unit=$3 better=$4 new=${VALUE[$2,0]} line
  [ "$new" != 0 ] || return 0
  line=$(printf '%-34s %14s' "$label" "$new")
  if [ ${#DIRS[@]} -gt 1 ]; then
    local old=${VALUE[$key,1]}
    if [ "$old" != 0 ]; then
      line+=$(printf ' %14s %8s' "$old" "$(awk -v n="$new" -v o="$old" -v b="$better" \
        'BEGIN { printf "%.2f", b ? n / o : o / n }')")
    fi
  fi
  echo "$line  $unit"
}
if [ ${#DIRS[@]} -gt 1 ]; then
  printf '%-34s %14s %14s %8s\n' "" "new" "old" "speed"
fi
row "bench, corvanel-x64-popcnt" corvanel-x64-popcnt nodes/s 1
row "bench, corvanel-x64" corvanel-x64 nodes/s 1
row "bench, corvanel-x86${X86_RUNNER:+ (qemu-i386)}" corvanel-x86 nodes/s 1
row "bench, popcnt, network evaluation" network nodes/s 1
row "perft 6, start position" perft6 ms 0
row "perft 5, kiwipete" perft5 ms 0
row "eval_bench" eval evaluations/s 1

if [ -n "${VALUE[perft6,sf]:-}" ]; then
  awk -v c="${VALUE[perft6,0]}" -v s="${VALUE[perft6,sf]}" 'BEGIN { printf "perft 6, start position: Stockfish %d ms; Corvanel takes %.2f times as long\n", s, c / s }'
  awk -v c="${VALUE[perft5,0]}" -v s="${VALUE[perft5,sf]}" 'BEGIN { printf "perft 5, kiwipete:       Stockfish %d ms; Corvanel takes %.2f times as long\n", s, c / s }'
fi
awk -v n="${VALUE[network,0]}" -v t="${VALUE[corvanel-x64-popcnt,0]}" \
  'BEGIN { if (n > 0 && t > 0) printf "bench, popcnt: the network searches %.0f%% of the table'"'"'s nodes per second\n", 100 * n / t }'
