// Move ordering: the search's scores and stage tags on top of the generator's, the staged
// selection, and the killer and history updates.
#pragma once

#include "board/types.h"
#include "search/thread.h"

inline bool sameFromTo(Move a, Move b) { return a.from == b.from && a.to == b.to; }
inline bool sameFromToKind(Move a, Move b) { return sameFromTo(a, b) && a.kind == b.kind; }
inline bool isQuietMove(Move m) { return m.captured == EMPTY && m.kind == MOVE_NORMAL; }
inline bool isCaptureOrPromotion(Move m) {
  return m.captured != EMPTY || isPromotionKind(m.kind);
}

// Adds killer, hash-move and threat-move scores and tags. Returns the hash move's position, or -1.
int orderMoves(const SearchThread& t, MoveList& list, int ply, Move hashMove, Move threatMove);

// The position of the next move tagged `stage` at or below `index` (its best-scored move is
// swapped there), or -1 when the stage has none left.
int selectNextMove(MoveList& list, int index, int stage);

void updateKillers(SearchThread& t, Move move, int ply);
bool isKiller(const SearchThread& t, Move move, int ply);

// History bonus for `move` and, from list position `fromIndex` on (-1: none), penalties for the
// quiet moves there.
void updateHistory(SearchThread& t, const Board& board, PlyState& state, Move move,
                   const MoveList* list, int bonus, int fromIndex);

// A move of the list given back by a piece to the square it came from loses a little.
void penaliseReturnMoves(const Board& board, MoveList& list);
