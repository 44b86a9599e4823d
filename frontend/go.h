// The limits of the next search, read from a "go" line.
#pragma once

#include <cstdint>

#include "search/limits.h"

// One process-wide record; values persist from one "go" to the next and goFlags says which ones
// the current search uses.
extern GoLimits goLimits;
// The last "go" asked to ponder and no "ponderhit" has come for it. Main thread only.
extern bool goPonder;

// Fills goLimits from the line, clears stopSearch and sets searchMode (SEARCH_PONDERING for
// "ponder", else SEARCH_OWN_CLOCK).
void parseGo(const char* line);
