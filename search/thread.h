// One search thread's own state, and the pool of threads that search together. Thread 0 is the
// thread that calls runSearch (the program's main thread); it alone talks to the host, reads the
// clock and decides when the search ends. Helper threads search the same root with the shared
// transposition table (Lazy SMP) and are only ever stopped.
//
// Shared by all threads: the transposition table, the evaluation cache, the net in use
// (read-only while a search runs), stopSearch, the node counters (each written by its own
// thread, summed by the others) and the game line of the request (read-only). Everything else
// here belongs to one thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/movecache.h"
#include "board/types.h"
#include "eval/network.h"
#include "search/history.h"
#include "search/search.h"

// Principal variations: a triangle of moves. The row of ply p holds MAX_PLY - p entries; a
// node's children use the row that starts where its own ends. A row ends at its first NO_MOVE.
constexpr int PV_TABLE_ENTRIES = MAX_PLY * (MAX_PLY + 1) / 2 + 1;
constexpr int ROOT_CHILD_PV_INDEX = MAX_PLY;

// What the search keeps for each ply of the line it is searching.
struct StackEntry {
  Move move = NO_MOVE;         // the move made from this ply (NO_MOVE after a null move)
  uint8_t piece = EMPTY;       // the code of the piece that made it
  int staticEval = NO_EVAL;    // of this ply's position; NO_EVAL in check
  Move killers[2] = {NO_MOVE, NO_MOVE};
  Move excluded = NO_MOVE;     // the move a singular test leaves out here
  PieceToHistory* continuation = nullptr;  // continuation slice of the move made from this ply
  int moveCount = 0;
  int cutoffCount = 0;  // cut-offs of this ply's nodes since the grandparent started
  bool inCheck = false;
};
// Entries below the root (as far back as the continuation histories look: four plies) are never
// written, so they read as no move and no continuation.
constexpr int STACK_OFFSET = 4;

struct SearchThread {
  int index = 0;  // 0: the main thread

  // The search line: the move of ply p is made from slot p into slot p + 1.
  Board boards[SEARCH_LINE_SIZE];
  PlyState states[SEARCH_LINE_SIZE];
  // The network's accumulators of the same slots, filled lazily (search/evaluation.cpp): slot p
  // holds boards[p]'s while accumulatorValid[p] and its key equals boards[p].key.
  Accumulator accumulators[SEARCH_LINE_SIZE];
  uint64_t accumulatorKeys[SEARCH_LINE_SIZE];
  bool accumulatorValid[SEARCH_LINE_SIZE] = {};
  StackEntry stackEntries[MAX_PLY + STACK_OFFSET + 2];
  StackEntry* stack(int ply) { return &stackEntries[ply + STACK_OFFSET]; }

  // Move ordering, emptied at every search start.
  MoveHistory history;
  MoveListCache moveCache;  // the main thread's only; helpers generate without one

  // Below the root.
  Move pv[PV_TABLE_ENTRIES];
  Move bestMoveAtPly[MAX_PLY + 1];  // the move that raised alpha at each ply
  int selDepth = 0;                 // deepest ply since the last report
  int doubleExtensions[MAX_PLY + 2] = {};  // two-ply extensions on the line down to each ply
  int iterationDepth = 0;           // depth of the running iteration
  int completedDepth = 0;           // the deepest iteration that ended without a stop
  std::atomic<int64_t> nodes{0};    // written by this thread only
  std::atomic<int64_t> tbHits{0};   // endgame-table probes that answered; this thread only
  int64_t nodeLimit = INT64_MAX;    // this thread stops once its own count passes it

  // The root.
  MoveList rootMoves;  // after an iteration, scores = subtree nodes
  int rootInCheck = 0;
  int rootLegalMoves = 0;
  int64_t nodeBookmark = 0;
  Move rootBestMove = NO_MOVE;
  Move rootPonderMove = NO_MOVE;
  int lastScore = 0;
  int multiPvDone = 0;  // MultiPV lines already settled in the running iteration
  Move multiPvMoves[MAX_MULTI_PV];  // best move of each line in the last iteration
  int multiPvScores[MAX_MULTI_PV];
  // The MultiPV lines of the last complete iteration, best first: what a weaker level chooses
  // among.
  struct CompletedLine {
    Move move;
    Move reply;  // NO_MOVE when unknown
    int score;
  } completedLines[MAX_MULTI_PV];
  int completedLineCount = 0;

  const SearchRequest* request = nullptr;  // the running search's request
};

// The thread with the given index; 0 always exists.
SearchThread& searchThread(int index);
inline SearchThread& mainThread() { return searchThread(0); }

// Nodes of all threads in the running (or the last) search.
int64_t totalNodes();
int64_t totalTbHits();

// Starts the helper threads on the running request (each calls `work` with its own record) and
// later waits until all of them have returned. Main thread only.
void startHelpers(void (*work)(SearchThread&));
void waitForHelpers();

// Killers and the per-ply stack back to empty (every search starts with them).
void clearKillers(SearchThread& thread);
// Killers and histories back to zero (a new game, or a cleared table).
void clearKillersAndHistory(SearchThread& thread);
