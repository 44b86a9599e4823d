// The time allotment of a search and the two stop predicates: timeUp (asked by the timer thread
// on each tick) and stopIterating (asked before each new iteration).
#pragma once

#include <cstdint>

extern int64_t timeBudget;     // milliseconds allotted; 0 when the search is not timed
extern int64_t searchStartMs;  // clock at search start ("ponderhit" moves it)
extern int rootSide;           // side to move at the root, for the clock fields
// What the allotment asks of the timer thread.
extern int plannedTickIntervalMs;
extern int plannedTicksPerPoll;

int64_t nowMs();
int64_t elapsedMs();

// Turns the go limits into timeBudget and the tick plan. Called at search start before armTimer.
void allotTime();
bool timeUp();
bool stopIterating();
