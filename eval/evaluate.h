// The static evaluation.
#pragma once

#include "board/types.h"

// Every static score lies within plus or minus this, clear of the search's mate scores.
constexpr int EVAL_SCORE_LIMIT = 9000;

// Score of the position for the side to move. Stores it in state.staticEval and the cache.
int Evaluate(const Board& board, PlyState& state);
