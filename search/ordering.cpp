#include "search/ordering.h"

#include "board/bitops.h"
#include "search/constants.h"

int orderMoves(const SearchThread& t, MoveList& list, int ply, Move hashMove, Move threatMove) {
  int hashIndex = -1;
  const Move first = t.killers[ply][0], second = t.killers[ply][1];
  for (int i = 0; i < list.count; ++i) {
    Move m = list.moves[i];
    if (sameFromTo(m, second) && list.scores[i] < SECOND_KILLER_SCORE) {
      list.scores[i] = SECOND_KILLER_SCORE;
      list.tags[i] = TAG_KILLER;
    }
    if (sameFromTo(m, first) && list.scores[i] < FIRST_KILLER_SCORE) {
      list.scores[i] = FIRST_KILLER_SCORE;
      list.tags[i] = TAG_KILLER;
    }
    if (sameFromToKind(m, hashMove)) {
      list.scores[i] = HASH_MOVE_SCORE;
      list.tags[i] = TAG_HASH;
      hashIndex = i;
    }
    if (sameFromToKind(m, threatMove)) list.scores[i] += THREAT_MOVE_BONUS;
  }
  return hashIndex;
}

int selectNextMove(MoveList& list, int index, int stage) {
  int slot = -1;
  for (int i = index; i >= 0; --i) {
    if (list.tags[i] == stage) {
      slot = i;
      break;
    }
  }
  if (slot < 0) return -1;
  int best = slot;
  int64_t bestScore = list.scores[slot];
  // Written without branches: whether a move is better is hard to predict.
  for (int i = slot - 1; i >= 0; --i) {
    const bool better = (list.tags[i] == stage) & (list.moves[i].from != NO_SQUARE) &
                        (list.scores[i] > bestScore);
    best = better ? i : best;
    bestScore = better ? list.scores[i] : bestScore;
  }
  if (best != slot) {
    Move m = list.moves[best];
    list.moves[best] = list.moves[slot];
    list.moves[slot] = m;
    list.scores[best] = list.scores[slot];
    list.scores[slot] = bestScore;
  }
  return slot;
}

void updateKillers(SearchThread& t, Move move, int ply) {
  if (!isQuietMove(move)) return;
  if (!sameFromTo(move, t.killers[ply][0])) t.killers[ply][1] = t.killers[ply][0];
  t.killers[ply][0] = move;
}

bool isKiller(const SearchThread& t, Move move, int ply) {
  return sameFromTo(move, t.killers[ply][0]) || sameFromTo(move, t.killers[ply][1]);
}

// The side to move's pieces that hang (attacked, undefended) or that an enemy pawn attacks.
static Bitboard exposedPieces(const Board& board, const PlyState& state) {
  int side = state.side, enemy = side ^ 1;
  Bitboard own = board.occupancy[side];
  Bitboard hanging = own & state.attacksAll[enemy] & ~state.attacksAll[side];
  Bitboard officers = own & ~board.pieceBitboards[codeFor(side, PAWN)];
  return hanging | (officers & state.pawnAttacks[enemy]);
}

void updateHistory(SearchThread& t, const Board& board, PlyState& state, Move move,
                   const MoveList* list, int bonus, int fromIndex) {
  if (state.evalScratch == SCRATCH_UNSET) state.evalScratch = exposedPieces(board, state);
  // With two pieces en prise the cut-off says less about the move itself.
  if (popCount(state.evalScratch) >= 2) bonus /= 2;
  int32_t& entry = t.history[board.squares[move.from]][move.to];
  if (entry + bonus < HISTORY_LIMIT) entry += bonus;
  if (fromIndex < 0 || !list) return;
  for (int i = fromIndex; i < list->count; ++i) {
    Move m = list->moves[i];
    if (isNoMove(m) || list->tags[i] != TAG_QUIET) continue;
    int32_t& penalised = t.history[board.squares[m.from]][m.to];
    if (penalised - bonus > -HISTORY_LIMIT) penalised -= bonus;
  }
}

void penaliseReturnMoves(const Board& board, MoveList& list) {
  for (int i = 0; i < list.count; ++i) {
    Move m = list.moves[i];
    if (!isNoMove(m) && board.origin[m.from] == m.to) list.scores[i] -= RETURN_MOVE_PENALTY;
  }
}
