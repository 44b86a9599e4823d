// The start and the end of a whole search: preparing every thread's copy of the root, the clock
// and the timer, running the main thread's iterations while the helpers search beside it, and
// gathering the result.
#include "search/search.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "search/constants.h"
#include "search/evaluation.h"
#include "search/host.h"
#include "search/iterate.h"
#include "search/node.h"
#include "search/report.h"
#include "search/strength.h"
#include "search/tablebase.h"
#include "search/thread.h"
#include "search/time_control.h"
#include "search/tt.h"

std::atomic<bool> stopSearch{false};
std::atomic<bool> pollRequested{false};

namespace {

SearchRequest activeRequest;           // the running search's request; main thread writes it
std::atomic<bool> stoppedFromOutside{false};  // stopSearchNow was called during the search
int64_t sharedNodeLimit = INT64_MAX;   // "go nodes" shared by several threads

void prepareThread(SearchThread& t) {
  const SearchRequest& r = activeRequest;
  t.request = &r;
  t.boards[0] = r.lineBoards[r.rootPly];
  t.states[0] = r.lineStates[r.rootPly];
  prepareEvaluation(t);
  // The histories carry over from the game's earlier moves: most of what they learnt still holds
  // a move later. A new game or a cleared table empties them.
  clearKillers(t);
  t.nodes.store(0, std::memory_order_relaxed);
  t.tbHits.store(0, std::memory_order_relaxed);
  t.nodeBookmark = 0;
  t.selDepth = 0;
  t.iterationDepth = 0;
  t.completedDepth = 0;
}

// A weaker level searches alone: helpers would hand its small search their deeper results.
void helperSearch(SearchThread& t) {
  if (activeRequest.strengthElo == 0) iterativeDeepening(t);
}

// A weaker level's answer: one of the last complete iteration's lines, drawn by the level.
void chooseWeakerMove(SearchThread& t, const StrengthLevel& level) {
  if (t.completedLineCount == 0) return;
  int scores[MAX_MULTI_PV];
  for (int i = 0; i < t.completedLineCount; ++i) scores[i] = t.completedLines[i].score;
  // Always from the complete iteration: a best move found inside a cut one is of the level's
  // choosing too.
  const int chosen =
      chooseStrengthLine(scores, t.completedLineCount, level, strengthRandomBits());
  t.rootBestMove = t.completedLines[chosen].move;
  t.rootPonderMove = t.completedLines[chosen].reply;
  t.lastScore = t.completedLines[chosen].score;
}

// A weaker level takes the time a full-strength search on the clock would: it waits, reading its
// input, until that search would have ended.
void waitAsFullStrengthWould() {
  // A search ended by "stop", "quit", the clock or "go nodes" answers at once.
  while (!stopSearch.load(std::memory_order_relaxed) && !fullStrengthSearchOver(mainLimits)) {
    if (pollRequested.load(std::memory_order_relaxed)) {
      pollRequested.store(false, std::memory_order_relaxed);
      pollHost();
      continue;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

bool sharedNodeLimitReached() { return totalNodes() > sharedNodeLimit; }

SearchResult runSearch(const SearchRequest& request) {
  activeRequest = request;
  if (activeRequest.multiPv < 1) activeRequest.multiPv = 1;
  if (activeRequest.multiPv > MAX_MULTI_PV) activeRequest.multiPv = MAX_MULTI_PV;
  mainLimits = activeRequest.limits;
  searchStartMs = nowMs();
  const int threads = searchThreadCount();
  for (int i = 0; i < threads; ++i) prepareThread(searchThread(i));
  SearchThread& main = mainThread();
  // The endgame tables rank the root moves before any thread searches them.
  main.tbHits.store(prepareTablebaseRoot(activeRequest, main.boards[0], main.states[0]),
                    std::memory_order_relaxed);

  // One thread stops at its own exact count; several share the limit and check it now and then.
  const bool limitedStrength = activeRequest.strengthElo != 0;
  const bool searchesAlone = threads == 1 || limitedStrength;
  const bool nodeLimited = (mainLimits.goFlags & GO_NODES) != 0;
  main.nodeLimit = nodeLimited && searchesAlone ? mainLimits.nodes : INT64_MAX;
  sharedNodeLimit = nodeLimited && !searchesAlone ? mainLimits.nodes : INT64_MAX;
  for (int i = 1; i < threads; ++i) searchThread(i).nodeLimit = INT64_MAX;
  StrengthLevel level{};
  if (limitedStrength) {
    level = strengthLevel(activeRequest.strengthElo);
    activeRequest.multiPv = std::max(activeRequest.multiPv, level.candidates);
    const int64_t asked = mainLimits.softNodes;
    mainLimits.softNodes = asked > 0 ? std::min(asked, level.softNodes) : level.softNodes;
  }

  timeBudget = 0;
  stopSearch = false;
  stoppedFromOutside = false;
  clearPendingCurrmove();
  firstIterationDone = false;
  allotTime(mainLimits, main.states[0].side);
  armHostTimer(plannedTickIntervalMs, plannedTicksPerPoll);
  pollRequested = false;

  ++generation;
  startHelpers(helperSearch);
  iterativeDeepening(main);
  if (limitedStrength) {
    chooseWeakerMove(main, level);
    waitAsFullStrengthWould();
  }
  // The main thread has decided: the helpers end with it.
  stopSearch = true;
  waitForHelpers();
  disarmHostTimer();

  SearchResult result;
  result.best = main.rootBestMove;
  result.ponder = main.rootPonderMove;
  result.score = reportedRootScore(main.lastScore);
  result.depth = main.completedDepth;
  result.nodes = totalNodes();
  result.interrupted = stoppedFromOutside;
  return result;
}

void stopSearchNow() {
  stoppedFromOutside = true;
  stopSearch = true;
}

void ponderhitSearch() {
  mainLimits.goFlags &= uint8_t(~GO_INFINITE);
  searchStartMs = nowMs();
  allotTime(mainLimits, mainThread().states[0].side);
  armHostTimer(plannedTickIntervalMs, plannedTicksPerPoll);
  // A ponder line without any limit says nothing about how long to think: answer now.
  if (!(mainLimits.goFlags & (GO_TIME | GO_INC | GO_MOVETIME | GO_DEPTH | GO_NODES | GO_MATE)))
    stopSearch = true;
}

void clearSearchHistory() {
  for (int i = 0; i < searchThreadCount(); ++i) clearKillersAndHistory(searchThread(i));
}
