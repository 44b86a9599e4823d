#include "search/time_control.h"

#include <chrono>

#include "frontend/engine_state.h"
#include "frontend/go.h"
#include "frontend/input.h"
#include "search/counters.h"

int64_t timeBudget = 0;
int64_t searchStartMs = 0;
int rootSide = 0;
int plannedTickIntervalMs = 50;
int plannedTicksPerPoll = 1;

namespace {

constexpr int DEFAULT_TICK_MS = 50;
constexpr int LONG_TICK_MS = 100;
constexpr int MIN_TICK_MS = 5;
constexpr int64_t LONG_BUDGET_MS = 10001;
constexpr int64_t SHORT_BUDGET_MS = 1000;
constexpr int64_t SAFETY_MS = 100;           // kept back for the answer to travel
constexpr int64_t SAFETY_FROM_MS = 200;      // budgets above this give up the safety margin
constexpr int64_t OVERRUN_LIMIT_MS = 5000;   // budgets at most this never overrun
constexpr int FEW_MOVES_TO_GO = 6;           // fewer moves left never overrun
constexpr int EXTRA_MOVES_TO_GO = 2;

// Clock-based limits apply only when the go line gave a clock or a move time; a line with only a
// mate limit or a root restriction runs until its own end or "stop".
bool clockLimited() { return goLimits.goFlags & (GO_TIME | GO_INC | GO_MOVETIME); }

int movesToGoForBudget() {
  const GoLimits& g = goLimits;
  // A movestogo of -2 or less would divide by zero or less: the default stands in.
  if ((g.goFlags & GO_MOVESTOGO) && g.movesToGo + EXTRA_MOVES_TO_GO > 0)
    return g.movesToGo + EXTRA_MOVES_TO_GO;
  return g.defaultMovesToGo;
}

}  // namespace

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t elapsedMs() { return nowMs() - searchStartMs; }

void allotTime() {
  GoLimits& g = goLimits;
  plannedTickIntervalMs = DEFAULT_TICK_MS;
  plannedTicksPerPoll = 1;
  if (g.goFlags & (GO_DEPTH | GO_NODES | GO_INFINITE)) return;
  if (g.goFlags & GO_MOVETIME) {
    timeBudget = g.moveTime > SAFETY_MS ? g.moveTime - SAFETY_MS : g.moveTime;
    return;
  }
  int n = movesToGoForBudget();
  if (g.time[rootSide] < 0) g.time[rootSide] = 0;
  if (g.increment[rootSide] < 0) g.increment[rootSide] = 0;
  if (g.goFlags & GO_TIME) timeBudget = g.time[rootSide] / n;
  if (g.goFlags & GO_INC) timeBudget += g.increment[rootSide];
  if (timeBudget > SAFETY_FROM_MS) timeBudget -= SAFETY_MS;
  if (timeBudget >= LONG_BUDGET_MS) {
    plannedTickIntervalMs = LONG_TICK_MS;
  } else if (timeBudget < SHORT_BUDGET_MS) {
    plannedTickIntervalMs = int(timeBudget / 15);
    if (plannedTickIntervalMs < MIN_TICK_MS) plannedTickIntervalMs = MIN_TICK_MS;
    plannedTicksPerPoll = LONG_TICK_MS / plannedTickIntervalMs;
  }
}

bool timeUp() {
  const GoLimits& g = goLimits;
  if (searchMode.load(std::memory_order_relaxed) == 0) return true;
  if (g.goFlags & GO_INFINITE) return false;
  if (g.goFlags & GO_DEPTH) return iterationDepth > g.depth;
  if (g.goFlags & GO_NODES) return nodeCount > g.nodes;
  if (!clockLimited()) return false;
  int64_t elapsed = elapsedMs();
  if (g.goFlags & GO_MOVETIME) return elapsed > g.moveTime;
  if (elapsed <= timeBudget) return false;
  int n = (g.goFlags & GO_MOVESTOGO) ? g.movesToGo : g.defaultMovesToGo;
  if (n < FEW_MOVES_TO_GO) return true;
  return elapsed >= 2 * timeBudget || timeBudget <= OVERRUN_LIMIT_MS;
}

bool stopIterating() {
  const GoLimits& g = goLimits;
  if (stopSearch.load(std::memory_order_relaxed)) return true;
  pollInput();
  if (searchMode.load(std::memory_order_relaxed) == 0) return true;
  if (g.goFlags & GO_INFINITE) return false;
  if (g.goFlags & GO_DEPTH) return iterationDepth > g.depth;
  if (g.goFlags & GO_NODES) return nodeCount > g.nodes;
  if (!clockLimited()) return false;
  if (!(g.goFlags & GO_MOVETIME)) return 2 * elapsedMs() > timeBudget;
  return elapsedMs() > g.moveTime;
}
