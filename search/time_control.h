// The time allotment of a search and the two stop predicates: timeUp (asked by the timer thread
// on each tick) and stopIterating (asked before each new iteration).
#pragma once

#include <atomic>
#include <cstdint>

constexpr int64_t NO_DEADLINE = INT64_MAX;

// "Move Overhead": milliseconds kept back from every clock for the answer to reach the
// interface. Written by "setoption", read by allotTime; main thread only.
constexpr int DEFAULT_MOVE_OVERHEAD_MS = 100, MAX_MOVE_OVERHEAD_MS = 5000;
extern int moveOverheadMs;

// Main thread only.
extern int64_t timeBudget;     // milliseconds allotted from the clock; 0 when the clock is unused
extern int64_t searchStartMs;  // clock at search start ("ponderhit" moves it)
extern int rootSide;           // side to move at the root, for the clock fields
// What the allotment asks of the timer thread; armTimer hands it over.
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
// searchStartMs. Called at search start before armTimer, and by "ponderhit".
void allotTime();
// Whether the running search must stop now. Timer thread: reads only the mode and the deadlines.
bool timeUp();
// Whether no new iteration may start. Main thread; polls the input first.
bool stopIterating();
