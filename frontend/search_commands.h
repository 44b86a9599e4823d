// The front end's side of a search.
#pragma once

#include <cstdint>
#include <string>

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

// Splits "setoption name <name> [value <value>]"; false when there is no name. Option names are
// compared without regard to letter case. A string option given no value or "<empty>" gets "".
bool readOption(const char* line, std::string& name, std::string& value);
