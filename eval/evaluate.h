// The static evaluation.
#pragma once

#include "board/types.h"

// Every static score lies within plus or minus this, clear of the search's mate scores.
constexpr int EVAL_SCORE_LIMIT = 9000;

// A static score as every evaluation finishes it: damped as the fifty-move rule comes near, then
// held within EVAL_SCORE_LIMIT.
int finishStaticScore(int score, int halfmoveClock);

// Score of the position for the side to move. Stores it in state.staticEval and the cache.
int Evaluate(const Board& board, PlyState& state);
