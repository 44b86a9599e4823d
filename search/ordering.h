// Comparing moves.
#pragma once

#include "board/types.h"

inline bool sameFromTo(Move a, Move b) { return a.from == b.from && a.to == b.to; }
inline bool sameFromToKind(Move a, Move b) { return sameFromTo(a, b) && a.kind == b.kind; }
inline bool isQuietMove(Move m) { return m.captured == EMPTY && m.kind == MOVE_NORMAL; }
inline bool isCaptureOrPromotion(Move m) {
  return m.captured != EMPTY || isPromotionKind(m.kind);
}
