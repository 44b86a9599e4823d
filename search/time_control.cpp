#include "search/time_control.h"

#include <algorithm>
#include <chrono>

#include "search/host.h"
#include "search/search.h"

int moveOverheadMs = DEFAULT_MOVE_OVERHEAD_MS;
int64_t timeBudget = 0;
int64_t searchStartMs = 0;
int plannedTickIntervalMs = 50;
int plannedTicksPerPoll = 1;
std::atomic<int64_t> softDeadlineMs{NO_DEADLINE};
std::atomic<int64_t> hardDeadlineMs{NO_DEADLINE};
std::atomic<bool> firstIterationDone{false};

namespace {

constexpr int DEFAULT_TICK_MS = 50;
constexpr int LONG_TICK_MS = 100;
constexpr int MIN_TICK_MS = 5;
constexpr int SHORT_BUDGET_TICKS = 15;       // a short budget gets this many ticks
constexpr int64_t LONG_BUDGET_MS = 10001;
constexpr int64_t SHORT_BUDGET_MS = 1000;
constexpr int64_t OVERRUN_LIMIT_MS = 5000;   // budgets at most this never overrun
constexpr int FEW_MOVES_TO_GO = 6;           // fewer moves left never overrun
constexpr int EXTRA_MOVES_TO_GO = 2;

// The main thread's view of the clock limits of the running search.
bool clockBudgeted = false;  // "wtime"/"btime"/"winc"/"binc" limit it: the half-budget rule applies

// Elapsed-time limits of one kind of limit (clock or movetime), before they become deadlines.
struct Allotment {
  int64_t soft;  // the budget (with its overrun, if any)
  int64_t hard;  // stop even inside depth 1
};

// Keeps the overhead back from `limit`, the time the interface allows for this move. When the
// limit is no larger than the overhead nothing can be kept back: the budget is 0 (one iteration),
// and half of the limit is left for the answer to travel.
int64_t hardLimit(int64_t limit) {
  return std::max<int64_t>(limit - moveOverheadMs, limit / 2);
}

Allotment moveTimeAllotment(int64_t moveTime) {
  moveTime = std::max<int64_t>(moveTime, 0);
  return {std::max<int64_t>(moveTime - moveOverheadMs, 0), hardLimit(moveTime)};
}

// A movestogo of zero or less says nothing usable: the default stands in.
int movesToGoGiven(const GoLimits& g) {
  return (g.goFlags & GO_MOVESTOGO) && g.movesToGo > 0 ? g.movesToGo : g.defaultMovesToGo;
}

Allotment clockAllotment(GoLimits& g, int rootSide) {
  const int movesToGo = movesToGoGiven(g);
  const int divisor =
      (g.goFlags & GO_MOVESTOGO) && g.movesToGo > 0 ? movesToGo + EXTRA_MOVES_TO_GO : movesToGo;
  if (g.time[rootSide] < 0) g.time[rootSide] = 0;
  if (g.increment[rootSide] < 0) g.increment[rootSide] = 0;
  const int64_t timeLeft = g.time[rootSide];
  int64_t budget = 0;
  if (g.goFlags & GO_TIME) budget = timeLeft / divisor;
  if (g.goFlags & GO_INC) budget += g.increment[rootSide];
  if (budget > 2 * int64_t(moveOverheadMs)) budget -= moveOverheadMs;
  if (!(g.goFlags & GO_TIME)) {  // an increment alone: no clock to keep within
    timeBudget = budget;
    return {budget, NO_DEADLINE};
  }
  // Never more than what is left after the overhead, whatever the increment promises.
  const int64_t usable = std::max<int64_t>(timeLeft - moveOverheadMs, 0);
  budget = std::min(budget, usable);
  timeBudget = budget;
  int64_t soft = budget;
  if (movesToGo >= FEW_MOVES_TO_GO && budget > OVERRUN_LIMIT_MS) soft = std::min(2 * budget, usable);
  return {soft, hardLimit(timeLeft)};
}

// A limit too far away to reach (a "movetime" of 10^30 saturates near the largest number) sets
// no deadline at all rather than one that overflows.
int64_t deadlineAfter(int64_t elapsed) {
  return elapsed >= NO_DEADLINE - searchStartMs ? NO_DEADLINE : searchStartMs + elapsed;
}

void planTicks(int64_t budget) {
  if (budget >= LONG_BUDGET_MS) {
    plannedTickIntervalMs = LONG_TICK_MS;
  } else if (budget < SHORT_BUDGET_MS) {
    plannedTickIntervalMs = std::max(int(budget / SHORT_BUDGET_TICKS), MIN_TICK_MS);
    plannedTicksPerPoll = LONG_TICK_MS / plannedTickIntervalMs;
  }
}

}  // namespace

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t elapsedMs() { return nowMs() - searchStartMs; }

// Every limit of the go line counts; the first one reached ends the search. Open-ended searches
// ("infinite", "ponder") have no deadline.
void allotTime(GoLimits& g, int rootSide) {
  timeBudget = 0;
  clockBudgeted = false;
  plannedTickIntervalMs = DEFAULT_TICK_MS;
  plannedTicksPerPoll = 1;
  Allotment limit = {NO_DEADLINE, NO_DEADLINE};
  if (!(g.goFlags & GO_INFINITE)) {
    if (g.goFlags & GO_MOVETIME) limit = moveTimeAllotment(g.moveTime);
    if (g.goFlags & (GO_TIME | GO_INC)) {
      clockBudgeted = true;
      Allotment clock = clockAllotment(g, rootSide);
      limit = {std::min(limit.soft, clock.soft), std::min(limit.hard, clock.hard)};
    }
  }
  // The ticks follow the budget proper, not its overrun.
  const int64_t tickBudget = clockBudgeted ? std::min(limit.soft, timeBudget) : limit.soft;
  if (tickBudget != NO_DEADLINE) planTicks(tickBudget);
  softDeadlineMs.store(deadlineAfter(limit.soft), std::memory_order_relaxed);
  hardDeadlineMs.store(deadlineAfter(limit.hard), std::memory_order_relaxed);
}

bool timeUp() {
  const int64_t now = nowMs();
  if (now >= hardDeadlineMs.load(std::memory_order_relaxed)) return true;
  return now >= softDeadlineMs.load(std::memory_order_relaxed) &&
         firstIterationDone.load(std::memory_order_relaxed);
}

bool stopIterating(const GoLimits& g, int iterationDepth, int64_t nodes) {
  if (stopSearch.load(std::memory_order_relaxed)) return true;
  pollRequested.store(false, std::memory_order_relaxed);
  pollHost();
  if (stopSearch.load(std::memory_order_relaxed)) return true;  // "stop", "quit" or input just read
  if (g.goFlags & GO_INFINITE) return false;
  if ((g.goFlags & GO_DEPTH) && iterationDepth > g.depth) return true;
  if ((g.goFlags & GO_NODES) && nodes > g.nodes) return true;
  const int64_t now = nowMs();
  if (now >= softDeadlineMs.load(std::memory_order_relaxed)) return true;
  // More than half of the clock's budget gone: the next iteration would not finish in time.
  return clockBudgeted && 2 * (now - searchStartMs) > timeBudget;
}
