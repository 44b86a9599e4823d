// The time allotment of a search and the two stop predicates: timeUp (asked by the timer thread
// on each tick) and stopIterating (asked before each new iteration).
#pragma once

#include <atomic>
#include <cstdint>

#include "search/limits.h"

constexpr int64_t NO_DEADLINE = INT64_MAX;

// "Move Overhead": milliseconds kept back from every clock for the answer to reach the
// interface. Written by "setoption" while no search runs, read by allotTime.
constexpr int DEFAULT_MOVE_OVERHEAD_MS = 100, MAX_MOVE_OVERHEAD_MS = 5000;
extern int moveOverheadMs;

// Main search thread only.
extern int64_t timeBudget;     // milliseconds allotted from the clock; 0 when the clock is unused
extern int64_t searchStartMs;  // clock at search start ("ponderhit" moves it)
// What the allotment asks of the timer; the search hands it to the host's timer.
extern int plannedTickIntervalMs;
extern int plannedTicksPerPoll;

// Written by the main thread (allotTime, which "ponderhit" runs again), read by the timer thread
// on every tick. Absolute times on nowMs's clock, NO_DEADLINE when none. Each is right on its own,
// so a tick that sees one old and one new value still decides soundly.
// The budget ends at the soft deadline; the search honours it once depth 1 is complete, so a
// move too short for the overhead still plays a searched move.
extern std::atomic<int64_t> softDeadlineMs;
// The search stops here whatever it is doing; always before the limit the interface gave.
extern std::atomic<int64_t> hardDeadlineMs;
// Set by the iterative deepening once depth 1 has a result; cleared at search start.
extern std::atomic<bool> firstIterationDone;

int64_t nowMs();  // steady clock, milliseconds
int64_t elapsedMs();

// Turns the go limits into timeBudget, the deadlines and the tick plan, counted from
// searchStartMs. Called at search start before the timer is armed, and by "ponderhit".
// Negative clock values are taken as 0.
void allotTime(GoLimits& limits, int rootSide);
// Whether the running search must stop now. Timer thread: reads only the deadlines.
bool timeUp();
// How much of the clock's budget the search should use, as the iterations judge it (1: all of it;
// more while the best move changes or the score falls, less when one move stands out). Main
// search thread, between iterations.
void setTimeScale(double scale);
// Whether no new iteration may start, after `iterationDepth` - 1 complete ones and `nodes`
// nodes. Main search thread; polls the host first.
bool stopIterating(const GoLimits& limits, int iterationDepth, int64_t nodes);
// Whether a full-strength search under these limits would have ended by now, judged without
// searching: at once when it is open-ended or depth, nodes or mate limit it, else when a search
// on the clock whose best move stays put would stop. A weaker level waits for it. Main search
// thread.
bool fullStrengthSearchOver(const GoLimits& limits);
