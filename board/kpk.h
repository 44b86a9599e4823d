// King and pawn against king: which positions White wins, computed at start-up by retrograde
// iteration.
#pragma once

#include <cstdint>

// [half][white king][white pawn][black king], half 0 = White to move, 1 = Black to move.
// 1 and 2 mean White wins; 0 draw; -2 Black stalemated; -1, 3, -3 impossible positions.
extern int8_t kpkTable[2 * 64 * 64 * 64];

inline int kpkIndex(int blackToMove, int whiteKing, int whitePawn, int blackKing) {
  return ((blackToMove * 64 + whiteKing) * 64 + whitePawn) * 64 + blackKing;
}

void buildKpkTable();
