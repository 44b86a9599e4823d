// Counting legal move sequences with the search's own generators and make-move.
#pragma once

#include <cstdint>

#include "board/types.h"

// The number of legal move sequences of `depth` plies from the position; depth 0 counts like 1.
int64_t perft(const Board& board, const PlyState& state, int depth);
