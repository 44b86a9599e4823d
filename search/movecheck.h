// Validation of moves that do not come from the generator (the table's moves, whose key may
// collide with another position's).
#pragma once

#include "board/types.h"

// True when `move` is one the generator could list in this position: the mover's piece on the
// from-square, a reachable to-square with the recorded captured code, and the castling,
// en-passant and promotion conditions. Legality (own king safety) is not tested.
bool isPseudoLegal(const Board& board, const PlyState& state, Move move);
