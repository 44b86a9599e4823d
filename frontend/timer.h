// The timer thread: wakes every tickIntervalMs while a search runs, stores the time-up test into
// stopSearch and asks the search to poll its input.
#pragma once

void createTimerThread();
void armTimer();     // at the start of every search, after the limits are set
void disarmTimer();  // after every search
void shutdownTimerThread();
