// Small steps every search node shares: counting, polling, check detection.
#pragma once

#include "board/movegen.h"
#include "board/types.h"
#include "frontend/engine_state.h"
#include "search/alphabeta.h"
#include "search/counters.h"

inline bool stopRequested() { return stopSearch.load(std::memory_order_relaxed); }

// Counts the node; past the node limit the whole search stops here, so node-limited searches
// end at the same node on every run.
inline bool countNodeAndCheckLimit() {
  if (++nodeCount > nodeLimit) {
    stopSearch.store(true, std::memory_order_relaxed);
    return true;
  }
  return false;
}

// Prints the parked currmove line and reads input when the timer asked for it.
void pollFromSearch();

// Generates the evasions when the side to move is in check. Returns false (list untouched) when
// it is not.
bool generateEvasionsIfInCheck(const Board& board, PlyState& state, MoveList& list);

// The child position after a made move puts its mover's opponent in check.
inline bool givesCheck(const Board& child, const PlyState& childState) {
  return kingAttacked(child, childState);
}

// Appends a move's text and the child's row to a node's row.
void writePv(int pvIndex, int ply, Move move);
