#!/usr/bin/env bash
# Mate finding at a fixed node count: of the positions in which the labelling search announced a
# forced mate for the side to move, how many the engine proves (reports "score mate N" with N > 0)
# within the node budget, each from an emptied table. Node-limited, so the count does not depend
# on the machine or its load; a tactical measure for search changes beside the SPRT.
#
#   bench/matefind.sh [--nodes 50000] [--min 3] [--max 99] LABELS.tsv [BINARY]
#
# LABELS.tsv is the labels file of tuning/make_dataset.sh (FEN, result, "mate N" or "cp N");
# positions with "mate N", min <= N <= max, are used. BINARY defaults to build/corvanel-x64-popcnt.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
NODES=50000 MIN=3 MAX=99 LABELS="" ENGINE="$ROOT/build/corvanel-x64-popcnt"
while [ $# -gt 0 ]; do
  case "$1" in
    --nodes) NODES="$2"; shift 2 ;;
    --min) MIN="$2"; shift 2 ;;
    --max) MAX="$2"; shift 2 ;;
    -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) if [ -z "$LABELS" ]; then LABELS="$1"; else ENGINE="$1"; fi; shift ;;
  esac
done
[ -n "$LABELS" ] && [ -f "$LABELS" ] || { echo "no labels file given (see --help)" >&2; exit 2; }
[ -x "$ENGINE" ] || { echo "no engine at $ENGINE" >&2; exit 2; }

coproc ENGINE_IO { "$ENGINE"; }
exec 3>&"${ENGINE_IO[1]}" 4<&"${ENGINE_IO[0]}"
echo uci >&3
while read -r line <&4; do [ "$line" = uciok ] && break; done

total=0 proved=0
while IFS=$'\t' read -r fen _ label; do
  case "$label" in "mate "*) ;; *) continue ;; esac
  moves=${label#mate }
  [ "$moves" -ge "$MIN" ] && [ "$moves" -le "$MAX" ] || continue
  total=$((total + 1))
  printf 'ucinewgame\nposition fen %s\ngo nodes %s\n' "$fen" "$NODES" >&3
  found=0
  while read -r line <&4; do
    case "$line" in
      *" score mate "[1-9]*) found=1 ;;
      bestmove*) break ;;
    esac
  done
  proved=$((proved + found))
done < "$LABELS"
echo quit >&3
wait "$ENGINE_IO_PID" 2>/dev/null || true
echo "$(basename "$ENGINE"): $proved of $total mates (in $MIN to $MAX) proved at $NODES nodes"
