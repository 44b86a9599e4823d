// Stand-ins for what later work fills in: each subsystem that implements one of these removes it
// from this file and defines the real one in its own files.
#include <cstdlib>
#include <new>

#include "board/keys.h"
#include "board/movecache.h"
#include "eval/derived.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "search/iterate.h"
#include "search/tt.h"

void commandRecpar() {}
void commandRands() {}
void commandMillora() {}
void commandCalcvar() {}
void commandProvred() {}
void commandProvale() {}
void commandPonderhit() {}

#include "frontend/timer.h"
void createTimerThread() {}
void armTimer() {}
void disarmTimer() {}
void shutdownTimerThread() {}

