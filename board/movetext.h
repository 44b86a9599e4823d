// Coordinate move text: from-square, to-square and the promotion letter q, r, n or b.
#pragma once

#include <string>

#include "board/types.h"

// Writes the text and a terminating zero into `text` (at least 6 bytes).
void moveToText(Move move, char* text);
std::string moveText(Move move);

// The legal move of the position whose text is `text` (first 4 or 5 characters), or NO_MOVE.
Move findLegalMove(const Board& board, PlyState& state, const char* text);
