#!/bin/sh
# A UCI engine that breaks the rules the way $FAULT says (illegal, time, crash or stall), for the
# referee's own test.
while read -r line; do
  case "$line" in
    uci) echo uciok ;;
    isready) echo readyok ;;
    quit) exit 0 ;;
    go*) case "$FAULT" in
           illegal) echo "bestmove e2e5" ;;
           time) sleep 2; echo "bestmove 0000" ;;
           crash) exit 3 ;;
         esac ;;
  esac
done
