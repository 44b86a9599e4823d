// Counting legal move sequences with the search's own generators and make-move.
#pragma once

#include "board/types.h"

// Adds to nodeCount the legal sequences of max(iterationDepth - ply + 1, 1) plies from the
// position; children of ply p are made into search-line slot p + 1.
void perft(const Board& board, PlyState& state, int ply);
