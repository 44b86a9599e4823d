#!/usr/bin/env bash
# SPRT of a new build against the previous one, the test every search or evaluation change must
# pass before it stays: fastchess at a short time control, zero time margin, balanced openings
# played twice with colours swapped, one core per game. Prints fastchess's last result block and
# the verdict (H1 accepted: NEW is stronger; H0 accepted: it is not).
#
#   bench/sprt.sh [--tc 8+0.08] [--elo0 0] [--elo1 10] [--rounds 5000] [--concurrency 2]
#                 [--hash 16] [--openings FILE.epd] [--pgn FILE] [--state DIR]
#                 [--new-options "NAME=VALUE ..."] [--old-options "NAME=VALUE ..."] NEW OLD
#
# The options set UCI options of one side only, so that one program can be tested against
# itself: --new-options TableEvaluation=false tests the network against the table.
# --state DIR keeps fastchess's saved tournament in DIR: run the same command again after a stop
# (Ctrl-C, a lost sitting) and the test goes on from the games already played, its PGN appended;
# the saved settings win over the command's, and a folder whose test has ended reports it again.
# fastchess is taken from $FASTCHESS, else from PATH. Exit code 0 when H1 was accepted, 1 when
# H0 was, 3 when the test ended without a verdict (rounds used up).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
TC=8+0.08 ELO0=0 ELO1=10 ROUNDS=5000 CONCURRENCY=2 HASH=16
PGN="" STATE="" NEW_OPTIONS="" OLD_OPTIONS=""
OPENINGS="$ROOT/tests/games/openings.epd"
usage() { sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; }
ENGINES=()
while [ $# -gt 0 ]; do
  case "$1" in
    --tc) TC="$2"; shift 2 ;;
    --elo0) ELO0="$2"; shift 2 ;;
    --elo1) ELO1="$2"; shift 2 ;;
    --rounds) ROUNDS="$2"; shift 2 ;;
    --concurrency) CONCURRENCY="$2"; shift 2 ;;
    --hash) HASH="$2"; shift 2 ;;
    --openings) OPENINGS="$2"; shift 2 ;;
    --pgn) PGN="$2"; shift 2 ;;
    --state) STATE="$2"; shift 2 ;;
    --new-options) NEW_OPTIONS="$2"; shift 2 ;;
    --old-options) OLD_OPTIONS="$2"; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "sprt.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) ENGINES+=("$1"); shift ;;
  esac
done
[ ${#ENGINES[@]} -eq 2 ] || { usage >&2; exit 2; }
NEW=${ENGINES[0]} OLD=${ENGINES[1]}
FASTCHESS=${FASTCHESS:-$(command -v fastchess || true)}
for need in "$FASTCHESS" "$NEW" "$OLD"; do
  [ -x "$need" ] || { echo "sprt.sh: cannot run '$need' (set FASTCHESS, build both engines)" >&2; exit 2; }
done
[ -r "$OPENINGS" ] || { echo "sprt.sh: cannot read $OPENINGS" >&2; exit 2; }
NEW=$(realpath "$NEW") OLD=$(realpath "$OLD") OPENINGS=$(realpath "$OPENINGS")
FASTCHESS=$(realpath "$FASTCHESS")
# The engines run in the caller's folder, so that file options (EvalFile) given relative to it
# name the same files.
HERE=$(pwd)

# fastchess keeps its state (config.json) in the working directory: a scratch one, or the state
# folder, where a saved tournament is resumed rather than begun again.
if [ -n "$STATE" ]; then
  mkdir -p "$STATE"
  WORK=$(realpath "$STATE")
else
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
fi
LOG="$WORK/log"
PGN_ARGS=() NEW_ARGS=() OLD_ARGS=()
for option in $NEW_OPTIONS; do NEW_ARGS+=("option.$option"); done
for option in $OLD_OPTIONS; do OLD_ARGS+=("option.$option"); done
[ -z "$PGN" ] || PGN_ARGS=(-pgnout "file=$(realpath -m "$PGN")" timeleft=true)
if [ -f "$WORK/config.json" ]; then
  # The saved tournament holds the engines, settings and results so far; the log goes on from
  # the last run's, so the verdict below still reads the latest result block.
  echo "SPRT resumed from $WORK/config.json, $(date -u '+%Y-%m-%d %H:%M UTC')"
  ARGS=(-config file=config.json)
else
  echo "SPRT new=$NEW ${NEW_OPTIONS} old=$OLD ${OLD_OPTIONS}: tc $TC, elo0 $ELO0 elo1 $ELO1, alpha = beta = 0.05," \
    "concurrency $CONCURRENCY, started $(date -u '+%Y-%m-%d %H:%M UTC')"
  : > "$LOG"
  # A rating block every 10 games: the verdict is read from the last one (an interval of 100
  # left a 102-game test without any).
  ARGS=(-engine "cmd=$NEW" "dir=$HERE" name=new "${NEW_ARGS[@]}"
    -engine "cmd=$OLD" "dir=$HERE" name=old "${OLD_ARGS[@]}"
    -each proto=uci "tc=$TC" timemargin=0 "option.Hash=$HASH"
    -openings "file=$OPENINGS" format=epd order=random -repeat -rounds "$ROUNDS"
    -concurrency "$CONCURRENCY" -sprt "elo0=$ELO0" "elo1=$ELO1" alpha=0.05 beta=0.05
    -resign movecount=3 score=600 -draw movenumber=34 movecount=8 score=20
    -ratinginterval 10 -autosaveinterval 10 "${PGN_ARGS[@]}")
fi
(cd "$WORK" && "$FASTCHESS" "${ARGS[@]}" </dev/null 2>&1) |
  sed -u 's/\x1b\[[0-9;]*m//g' | tee -a "$LOG" | grep --line-buffered -E '^(Games|Elo|LLR):' || true

# The last result block, then the verdict from its "LLR: x (p%) (lower, upper)" line.
awk '/^Results of/ { block = "" } /^Results of/, /^-----/ { block = block $0 "\n" } END { printf "%s", block }' "$LOG"
grep -E 'loses on time|illegal|disconnect|stall' "$LOG" | sed 's/^/fault: /' | head -20 || true
awk '/^LLR:/ { llr = $2; gsub(/[(),]/, " ", $0); n = split($0, f, " "); lower = f[n - 3]; upper = f[n - 2] }
  END {
    if (llr == "") { print "verdict: no result (see fastchess output)"; exit 3 }
    if (llr + 0 >= upper + 0) { print "verdict: H1 accepted (LLR " llr "): new is stronger"; exit 0 }
    if (llr + 0 <= lower + 0) { print "verdict: H0 accepted (LLR " llr "): new is not stronger"; exit 1 }
    print "verdict: none yet (LLR " llr " between " lower " and " upper ")"; exit 3
  }' "$LOG"
