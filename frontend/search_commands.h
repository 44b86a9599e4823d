// The front end's side of a search.
#pragma once

#include <cstdint>

#include "search/search.h"

// Runs the search a "go" made pending (main loop) and answers it unless it is held open.
void runGoSearch();
// Prints the "bestmove" line of the last "go" once; nothing when none is owed. The one place that
// prints "bestmove".
void answerGo();
// A search that a command runs itself (bench, the tuning tools, tests): game-line entry `rootPly`
// to `depth` (and at most `nodes` nodes when given), printing nothing. False when arriving input
// or "quit" cut it short; `result` is filled either way.
bool searchForCommand(int rootPly, int depth, int64_t nodes, SearchResult& result);
