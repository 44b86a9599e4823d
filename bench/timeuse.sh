#!/usr/bin/env bash
# How each engine of a fastchess PGN spent its clock: per engine, the games, the moves, the mean
# time a move took, the mean and the least clock left after its last move of a game. The PGN
# must carry the clock ("timeleft=true" in fastchess's -pgnout; bench/match.sh and bench/sprt.sh
# write it with --pgn).
#
#   bench/timeuse.sh GAMES.pgn [MORE.pgn ...]
set -euo pipefail
[ $# -gt 0 ] || { sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
cat "$@" | awk '
  function flush() {
    if (white == "") return
    for (s = 0; s < 2; ++s) if (last[s] != "") {
      name = s == 0 ? white : black
      games[name]++; leftSum[name] += last[s]
      if (!(name in leftMin) || last[s] < leftMin[name]) leftMin[name] = last[s]
    }
    white = black = ""; last[0] = last[1] = ""
  }
  /^\[White "/ { flush(); white = $0; sub(/^\[White "/, "", white); sub(/"\]$/, "", white); mover = 0 }
  /^\[Black "/ { black = $0; sub(/^\[Black "/, "", black); sub(/"\]$/, "", black) }
  /^\[FEN "/ { if ($0 ~ / b [-KQkqA-Ha-h]+ /) mover = 1 }
  !/^\[/ {
    line = $0
    while (match(line, /\{[^}]*\}/)) {
      comment = substr(line, RSTART, RLENGTH); line = substr(line, RSTART + RLENGTH)
      if (comment ~ /book/) { mover = 1 - mover; continue }
      name = mover == 0 ? white : black
      if (match(comment, /[0-9.]+s,/)) { spent = substr(comment, RSTART, RLENGTH - 2); moves[name]++; spentSum[name] += spent }
      if (match(comment, /tl=[0-9.]+s/)) last[mover] = substr(comment, RSTART + 3, RLENGTH - 4) + 0
      mover = 1 - mover
    }
  }
  END {
    flush()
    printf "%-12s %6s %7s %12s %14s %13s\n", "engine", "games", "moves", "s per move", "mean left (s)", "least left"
    for (name in games)
      printf "%-12s %6d %7d %12.3f %14.2f %13.3f\n", name, games[name], moves[name],
             moves[name] ? spentSum[name] / moves[name] : 0, leftSum[name] / games[name], leftMin[name]
  }'
