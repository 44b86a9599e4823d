#!/usr/bin/env bash
# The soak: 1,000 games at 1+0.01 against Glaurung 2.2 (Threads 1, Hash 16, no book, no ponder),
# zero time margin, two games at a time, from the balanced openings; prints wins, draws, losses,
# time forfeits, illegal moves, crashes and stalls. Forfeits, illegal moves and crashes must all
# be 0. Any bench/match.sh option may follow and wins (--games 20 for a short check).
#
#   FASTCHESS=/path/to/fastchess bench/soak.sh [--games N] [--pgn FILE] [BINARY]
exec "$(dirname "$0")/match.sh" --games 1000 --tc 1+0.01 --opponent glaurung --concurrency 2 "$@"
