// Static exchange evaluation: the material balance of a capture sequence on one square.
#pragma once

#include "board/types.h"

// Balance of `move` for the side to move (negative = loses material). No x-rays: a slider behind
// another attacker does not take part.
int staticExchange(const Board& board, const PlyState& state, Move move);
