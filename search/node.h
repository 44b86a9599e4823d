// Small steps every search node shares: counting, polling, check detection, the move scoring the
// generators get, and the principal-variation rows.
#pragma once

#include "board/movegen.h"
#include "board/types.h"
#include "eval/eval_cache.h"
#include "search/search.h"
#include "search/thread.h"
#include "search/tt.h"

// Starts fetching the table entry and the evaluation-cache entry a child position will read.
inline void prefetchPosition(uint64_t key) {
  ttPrefetch(key);
  prefetchEvalCache(key);
}

inline bool stopRequested() { return stopSearch.load(std::memory_order_relaxed); }

// Checked by every thread once per NODE_CHECK_INTERVAL of its own nodes when a node limit is
// shared by several threads.
constexpr int64_t NODE_CHECK_INTERVAL = 1024;
bool sharedNodeLimitReached();

// Counts the node; past the node limit the whole search stops here. With one thread the limit is
// the thread's own, so node-limited searches end at the same node on every run.
inline bool countNodeAndCheckLimit(SearchThread& t) {
  const int64_t n = t.nodes.load(std::memory_order_relaxed) + 1;
  t.nodes.store(n, std::memory_order_relaxed);
  if (n > t.nodeLimit || (n % NODE_CHECK_INTERVAL == 0 && sharedNodeLimitReached())) {
    stopSearch.store(true, std::memory_order_relaxed);
    return true;
  }
  return false;
}

// The main thread prints the parked currmove line and lets the host read its input when the
// timer asked for it; helper threads never poll.
void pollFromSearch(SearchThread& t);

// How the root's generator works for this thread: with its move-list cache (the move picker
// scores the moves of the other nodes itself).
inline MoveScoring moveScoring(SearchThread& t) {
  return MoveScoring{noHistory, &t.moveCache, t.iterationDepth};
}

// Generates the evasions when the side to move is in check. Returns false (list untouched) when
// it is not.
bool generateEvasionsIfInCheck(const Board& board, PlyState& state, MoveList& list);

// The child position after a made move puts its mover's opponent in check.
inline bool givesCheck(const Board& child, const PlyState& childState) {
  return kingAttacked(child, childState);
}

// Puts `move` in front of the child's row as this node's principal variation.
void writePv(SearchThread& t, int pvIndex, int ply, Move move);
