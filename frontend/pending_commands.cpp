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

void commandUciNewGame() {}
void commandSetOption(const char*) {}
void commandSee(const char*) {}
void commandRecpar() {}
void commandRands() {}
void commandMillora() {}
void commandCalcvar() {}
void commandProvred() {}
void commandProvale() {}
void commandGo(char*) {}
void commandPonderhit() {}
void commandStop() {}
void commandBench() {}

void startSearch() { searchMode = 0; }

void initHashTables() {
  initKeys();
  if (!allocateMoveListCache() || !allocateEvalCache()) std::exit(1);
}


#include "frontend/timer.h"
void createTimerThread() {}
void armTimer() {}
void disarmTimer() {}
void shutdownTimerThread() {}

