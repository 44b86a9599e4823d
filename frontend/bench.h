// The bench: fixed-depth searches of a fixed set of positions with fresh tables. Its node total
// is the search's regression signature.
#pragma once

#include <cstdint>

constexpr int BENCH_DEPTH = 10;

// The positions, as FEN texts.
extern const char* const benchPositions[];
extern const int benchPositionCount;

// Runs the bench, prints one line per position, then "Nodes searched: N" and "Nodes/second: M".
// Returns the node total. A waiting "stop" ends it early with an "info string" line instead of
// the two totals, and -1 is returned. The game line is left alone; the hash tables are left empty.
int64_t runBench();
