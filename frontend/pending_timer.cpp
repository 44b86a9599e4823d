// Stand-ins for the timer thread and "ponderhit" until they are written; each is removed when
// its real definition lands.
#include "frontend/commands.h"
#include "frontend/timer.h"

void commandPonderhit() {}

void createTimerThread() {}
void armTimer() {}
void disarmTimer() {}
void shutdownTimerThread() {}
