#include "search/history.h"

#include <cstring>
#include <initializer_list>

#include "search/thread.h"

void clearMoveHistory(MoveHistory& h) {
  std::memset(h.quiet, 0, sizeof h.quiet);
  std::memset(h.capture, 0, sizeof h.capture);
  std::memset(h.continuation, 0, sizeof h.continuation);
  for (auto& row : h.counterMove)
    for (Move& m : row) m = NO_MOVE;
}

namespace {

// The quiet move's entries: by squares, and after the moves one, two and four plies back.
void addQuiet(SearchThread& t, int ply, int side, Move m, uint8_t piece, int bonus) {
  addHistory(t.history.quiet[side][m.from][m.to], bonus);
  for (int back : {1, 2, 4}) {
    PieceToHistory* table = t.stack(ply - back)->continuation;
    if (table) addHistory((*table)[piece][m.to], bonus);
  }
}

void addCapture(SearchThread& t, Move m, uint8_t piece, int bonus) {
  addHistory(t.history.capture[piece][m.to][m.captured], bonus);
}

}  // namespace

void updateCutoffStats(SearchThread& t, int ply, int side, Move best, uint8_t bestPiece,
                       const TriedMove* quiets, int quietCount, const TriedMove* captures,
                       int captureCount, int depth) {
  const int bonus = historyBonus(depth);
  const bool quietBest = best.captured == EMPTY && !isPromotionKind(best.kind);
  if (quietBest) {
    addQuiet(t, ply, side, best, bestPiece, bonus);
    for (int i = 0; i < quietCount; ++i) addQuiet(t, ply, side, quiets[i].move, quiets[i].piece, -bonus);
    StackEntry* ss = t.stack(ply);
    if (!sameMove(ss->killers[0], best)) {
      ss->killers[1] = ss->killers[0];
      ss->killers[0] = best;
    }
    const StackEntry* previous = t.stack(ply - 1);
    if (ply > 0 && !isNoMove(previous->move))
      t.history.counterMove[previous->piece][previous->move.to] = best;
  } else {
    addCapture(t, best, bestPiece, bonus);
  }
  for (int i = 0; i < captureCount; ++i) addCapture(t, captures[i].move, captures[i].piece, -bonus);
}
