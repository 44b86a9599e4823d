#include "search/history.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "board/types.h"
#include "eval/evaluate.h"
#include "search/thread.h"

void clearMoveHistory(MoveHistory& h) {
  std::memset(h.quiet, 0, sizeof h.quiet);
  std::memset(h.capture, 0, sizeof h.capture);
  std::memset(h.continuation, 0, sizeof h.continuation);
  std::memset(h.correction, 0, sizeof h.correction);
  for (auto& row : h.counterMove)
    for (Move& m : row) m = NO_MOVE;
}

namespace {

// The pawns alone pick the entry: two multiplicative hashes folded into the table's 14 bits.
inline uint32_t pawnIndex(const Board& board) {
  const uint64_t mixed = board.pieceBitboards[WHITE_PAWN] * 0x9E3779B97F4A7C15ULL ^
                         board.pieceBitboards[BLACK_PAWN] * 0xC2B2AE3D27D4EB4FULL;
  return uint32_t((mixed ^ mixed >> 29) >> 50);
}
static_assert(CORRECTION_ENTRIES == 1 << 14, "pawnIndex gives 14 bits");

}  // namespace

int correctedEval(const MoveHistory& h, const Board& board, int side, int raw) {
  const int corrected = raw + h.correction[side][pawnIndex(board)] / CORRECTION_GRAIN;
  return std::clamp(corrected, -EVAL_SCORE_LIMIT, EVAL_SCORE_LIMIT);
}

void updateCorrection(MoveHistory& h, const Board& board, int side, int depth, int searched,
                      int corrected) {
  int16_t& entry = h.correction[side][pawnIndex(board)];
  // Deeper results weigh more; each moves the entry part of the way to what it saw.
  const int weight = std::min(depth + 1, 16);
  const int target = std::clamp((searched - corrected) * CORRECTION_GRAIN + entry,
                                -CORRECTION_LIMIT, CORRECTION_LIMIT);
  entry = int16_t((entry * (256 - weight) + target * weight) / 256);
}

namespace {

// The entries for the move after the moves one, two and four plies back.
void addContinuation(SearchThread& t, int ply, Move m, uint8_t piece, int bonus) {
  for (int back : {1, 2, 4}) {
    PieceToHistory* table = t.stack(ply - back)->continuation;
    if (table) addHistory((*table)[piece][m.to], bonus);
  }
}

// A quiet move's entries: by squares, and its continuations.
void addQuiet(SearchThread& t, int ply, int side, Move m, uint8_t piece, int bonus) {
  addHistory(t.history.quiet[side][m.from][m.to], bonus);
  addContinuation(t, ply, m, piece, bonus);
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
    for (int i = 0; i < quietCount; ++i)
      addQuiet(t, ply, side, quiets[i].move, quiets[i].piece, -bonus);
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

void updateAfterResearch(SearchThread& t, int ply, Move move, uint8_t piece, int bonus) {
  addContinuation(t, ply, move, piece, bonus);
}

void rewardMoveIntoFailLow(SearchThread& t, int ply, int depth) {
  if (ply < 1) return;
  const StackEntry* previous = t.stack(ply - 1);
  const Move move = previous->move;
  if (isNoMove(move) || move.captured != EMPTY || isPromotionKind(move.kind)) return;
  addQuiet(t, ply - 1, sideOfCode(previous->piece), move, previous->piece, historyBonus(depth));
}
