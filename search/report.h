// What the main search thread tells the interface: info lines with scores and principal
// variations, and the parked currmove line.
#pragma once

#include "board/types.h"
#include "search/thread.h"

// Parks "info depth D currmove M currmovenumber N" for the next poll.
void parkCurrmove(int depth, Move move, int number);
void clearPendingCurrmove();
// At a poll: prints the parked line, if any, and, when info lines are on and none has told the
// table's fill ("hashfull") for a second, a line of the search's counters.
void flushPendingCurrmove();

// A principal variation as printed: the root row, then moves of the transposition table.
struct PrintedPv {
  Move moves[MAX_PLY];
  int length = 0;
};
// The thread's root row (at most `depth` moves), with `reply` standing in for an empty second
// entry, lengthened by following the table's moves while they stay legal and repeat nothing.
void buildPrintedPv(const SearchThread& t, const Move* row, int depth, Move reply,
                    PrintedPv& out);

// The one line of a root without legal moves: "info depth 0 score mate 0" when mated, "info depth
// 0 score cp 0" when stalemated, with the certain result as "wdl" when that is asked for.
void printNoMoveLine(const SearchThread& t, bool mated);

// One scored info line. `multiPv` 0 prints no "multipv" field.
void printScoreLine(const SearchThread& t, int depth, int score, bool lowerbound, int multiPv,
                    const PrintedPv& pv);
