// The search as the rest of the program sees it: one request in, one result out. The front end,
// bench, the tuning tools and the tests all search through runSearch. The program around the
// search reaches it only through SearchHost (input polling, line output, the timer) and the two
// calls that act on a running search, stopSearchNow and ponderhitSearch.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/types.h"
#include "search/limits.h"

constexpr int MAX_MULTI_PV = 256;
constexpr int MAX_SEARCH_THREADS = 256;

struct SearchRequest {
  // The game line up to the root, read-only during the search: the root is lineBoards[rootPly];
  // the repetition test looks back as far as lastIrreversiblePly.
  const Board* lineBoards = gameBoards;
  const PlyState* lineStates = gameStates;
  int rootPly = 0;
  int lastIrreversiblePly = 0;
  GoLimits limits;        // goFlags says which limits count; "ponder" searches as GO_INFINITE
  bool printInfo = true;  // "info" lines through the host
  int multiPv = 1;         // principal variations reported (the best N root moves)
  bool showWdl = false;    // "wdl W D L" after the score of every scored info line
  int strengthElo = 0;     // a weaker level ("UCI_Elo"); 0: full strength
};

struct SearchResult {
  Move best = NO_MOVE;    // NO_MOVE when the root has no legal move
  Move ponder = NO_MOVE;  // the expected reply, when it is known and legal
  int score = 0;          // of the last iteration, for the side to move
  int depth = 0;          // the last iteration completed
  int64_t nodes = 0;      // all threads
  bool interrupted = false;  // ended by stopSearchNow rather than by its own limits
};

// What the search needs from the program around it. Every member may be null.
struct SearchHost {
  void (*poll)() = nullptr;  // read waiting input; main search thread, when pollRequested is set
  void (*emit)(const char* line) = nullptr;  // one whole line, ending in '\n'
  void (*armTimer)(int tickIntervalMs, int ticksPerPoll) = nullptr;  // first tick at once
  void (*disarmTimer)() = nullptr;  // on return no tick of this search runs any more
};
void installSearchHost(const SearchHost& host);

// Runs one whole search on the calling thread (helper threads join it) and returns when it is
// over. Not reentrant.
SearchResult runSearch(const SearchRequest& request);
// Ends the running search as soon as possible (its result is still returned). Safe from the
// host's poll and from any thread.
void stopSearchNow();
// The running "go ponder" search becomes a timed one, its clock counted from now. Called from
// the host's poll.
void ponderhitSearch();

// Threads taking part in every search, 1 to MAX_SEARCH_THREADS; only while no search runs.
// Returns the number actually running (fewer when the system refuses a thread).
int setSearchThreads(int count);
int searchThreadCount();
// Forgets killers and history of every thread ("ucinewgame").
void clearSearchHistory();

// Shared with the timer thread and the helper threads. Relaxed atomics: a stale read only
// delays the reaction by one node or one tick.
extern std::atomic<bool> stopSearch;     // every node returns at once while it is set
extern std::atomic<bool> pollRequested;  // a timer tick asks the main search thread to poll
