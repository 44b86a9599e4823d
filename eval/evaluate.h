// The static evaluation.
#pragma once

#include "board/types.h"

// Score of the position for the side to move. Stores it in state.staticEval and the cache.
int Evaluate(const Board& board, PlyState& state);
