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
constexpr int MOVES_TO_GO_CAP = 50;          // a longer movestogo plans like this one
constexpr int64_t MAXIMUM_TIMES_BUDGET = 5;  // a troubled search may run to this many budgets ...
constexpr int64_t MAXIMUM_SHARE = 4;         // ... but to no more than a quarter of the clock
constexpr double TIME_SCALE_MIN = 0.5, TIME_SCALE_MAX = 3.0;
// Of the budget, what a search without surprises takes: it stops iterating past 0.6 of it at a
// time scale of 0.75 and then finishes the iteration it is in. Measured in games at 5+0.05.
constexpr double STEADY_SEARCH_SHARE = 0.85;

// The main thread's view of the clock limits of the running search.
bool clockBudgeted = false;  // "wtime"/"btime"/"winc"/"binc" limit it: the budget rule applies
double timeScale = 1.0;      // the iterations' judgement of how much of the budget to use

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

// The clock's budget for this move (the time a move should take on average) and the most a
// troubled search may take. With no movestogo the game is planned as `defaultMovesToGo` more
// moves, three quarters of each increment spent as it comes; with one, the moves left until the
// next time control share the clock (a little is kept back for the last of them).
Allotment clockAllotment(GoLimits& g, int rootSide) {
  if (g.time[rootSide] < 0) g.time[rootSide] = 0;
  if (g.increment[rootSide] < 0) g.increment[rootSide] = 0;
  const int64_t timeLeft = g.time[rootSide];
  const int64_t increment = (g.goFlags & GO_INC) ? g.increment[rootSide] : 0;
  if (!(g.goFlags & GO_TIME)) {  // an increment alone: no clock to keep within
    timeBudget = std::max<int64_t>(increment - moveOverheadMs, 0);
    return {timeBudget, NO_DEADLINE};
  }
  const bool movesGiven = (g.goFlags & GO_MOVESTOGO) && g.movesToGo > 0;
  const int movesToGo =
      movesGiven ? std::min<int>(g.movesToGo, MOVES_TO_GO_CAP) : std::max(g.defaultMovesToGo, 1);
  // The overhead comes off the clock once, not off every move's share: taken from the share, it
  // would leave nothing to think with at a one-second clock.
  const int64_t usable = std::max<int64_t>(timeLeft - moveOverheadMs, 0);
  int64_t budget = movesGiven ? usable / (movesToGo + 1) + increment
                              : usable / movesToGo + increment * 3 / 4;
  budget = std::min(budget, usable);
  timeBudget = budget;
  // With one move left before the control there is nothing to save the time for.
  const int64_t share = movesGiven && movesToGo == 1 ? usable : usable / MAXIMUM_SHARE + increment;
  const int64_t maximum = std::min({budget * MAXIMUM_TIMES_BUDGET, share, usable});
  return {std::max(maximum, budget), hardLimit(timeLeft)};
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
  timeScale = 1.0;
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

void setTimeScale(double scale) {
  timeScale = std::min(std::max(scale, TIME_SCALE_MIN), TIME_SCALE_MAX);
}

bool stopIterating(const GoLimits& g, int iterationDepth, int64_t nodes) {
  if (stopSearch.load(std::memory_order_relaxed)) return true;
  pollRequested.store(false, std::memory_order_relaxed);
  pollHost();
  if (stopSearch.load(std::memory_order_relaxed)) return true;  // "stop", "quit" or input just read
  // A weaker level's budget holds even while the search is open-ended.
  if (g.softNodes > 0 && nodes >= g.softNodes) return true;
  if (g.goFlags & GO_INFINITE) return false;
  if ((g.goFlags & GO_DEPTH) && iterationDepth > g.depth) return true;
  if ((g.goFlags & GO_NODES) && nodes > g.nodes) return true;
  const int64_t now = nowMs();
  if (now >= softDeadlineMs.load(std::memory_order_relaxed)) return true;
  // The budget as the iterations judged it is spent (a new iteration takes about as long as all
  // the earlier ones together, so it starts only in the first part of the budget).
  return clockBudgeted && double(now - searchStartMs) > 0.6 * timeScale * double(timeBudget);
}

bool fullStrengthSearchOver(const GoLimits& g) {
  // An open-ended search's answer waits for "stop" or "ponderhit" in the front end anyway; with a
  // depth, node or mate limit a full search might have ended at any moment.
  if (g.goFlags & (GO_INFINITE | GO_DEPTH | GO_NODES | GO_MATE)) return true;
  const int64_t now = nowMs();
  const int64_t soft = softDeadlineMs.load(std::memory_order_relaxed);
  if (soft == NO_DEADLINE || now >= soft) return true;
  return clockBudgeted && double(now - searchStartMs) > STEADY_SEARCH_SHARE * double(timeBudget);
}
