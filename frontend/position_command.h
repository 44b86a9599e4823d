// "position" and "pf": setting the game position and playing the interface's move list onto the
// game line.
#pragma once

#include "board/types.h"

// Sets game-line entry 0 from a FEN; on rejection prints one "info string" line and keeps the
// previous position.
bool setGamePosition(const char* fen);

// The position that the last "position" or "pf" set up, before its move list. Game-line entry 0
// holds it too, until a very long game makes the game line drop its oldest positions.
void copySetupPosition(Board& board, PlyState& state);

// Plays one legal move of the position at currentPly onto the game line.
void playGameMove(Move move);

// Plays a blank-separated list of coordinate moves; stops with one "info string" line at the
// first move that is malformed or not legal.
void playMoveList(const char* text);
