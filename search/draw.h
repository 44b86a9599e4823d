// Draws the search recognises at a node: bare minor material, the fifty-move rule and repetition
// of a position of the thread's search line or of the game line before the root.
#pragma once

#include "board/types.h"
#include "search/thread.h"

bool isDraw(const SearchThread& t, const Board& board, const PlyState& state, int ply);
