// Setting a position from Forsyth-Edwards Notation.
#pragma once

#include <string>

#include "board/types.h"

constexpr const char* START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Reads `fen` into scratch records and, only when the text is accepted, copies them into
// `board`/`state`. A rejected text leaves both untouched and returns false with the reason in
// `error` (when given). Missing side, castling and en-passant fields mean "w", "-", "-".
bool setPosition(Board& board, PlyState& state, const char* fen, std::string* error = nullptr);


// Rebuilds every derived field of `board`/`state` from `squares`, the castling flags, side,
// en-passant square and clocks, exactly as the FEN reader does.
void rebuildFromSquares(Board& board, PlyState& state);

// Recomputes the material and piece-square sums from `squares` with the tables in force (after
// the evaluation weights changed under a stored board).
void recomputeScoreSums(Board& board);

// FEN text of a position (for tests and tools).
std::string boardToFen(const Board& board, const PlyState& state);
