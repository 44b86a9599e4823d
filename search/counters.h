// Search counters that perft and the move generator share with the search.
#pragma once

#include <cstdint>

extern int iterationDepth;   // depth of the running iteration; also the perft depth
extern int64_t nodeCount;    // nodes searched (or leaves counted by perft)
