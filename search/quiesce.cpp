#include <cstdlib>

#include "board/bitops.h"
#include "board/keys.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/tables.h"
#include "eval/derived.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "search/alphabeta.h"
#include "search/constants.h"
#include "search/draw.h"
#include "search/exchange.h"
#include "search/movecheck.h"
#include "search/node.h"
#include "search/ordering.h"
#include "search/tt.h"

namespace {

bool pawnOnSeventh(const Board& board, int side) {
  Bitboard seventh = rankMask[side == WHITE ? 6 : 1];
  return (board.pieceBitboards[codeFor(side, PAWN)] & seventh) != 0;
}

// Stage 8 at the start: captures to search, quiet moves for the checking stages; deep down only
// recaptures on the last move's square.
void tagQuiescenceMoves(MoveList& list, bool recapturesOnly, int lastTo) {
  for (int i = 0; i < list.count; ++i) {
    Move m = list.moves[i];
    if (isNoMove(m) || list.tags[i] == QTAG_HASH) continue;
    if (m.captured == EMPTY)
      list.tags[i] = QTAG_QUIET;
    else
      list.tags[i] = !recapturesOnly || m.to == lastTo ? QTAG_CAPTURE : TAG_DEFERRED;
  }
}

}  // namespace

int quiesce(SearchThread& t, int alpha, int beta, int ply, int allMoves, int inCheckKnown,
            int qdepth, Board& board, PlyState& state) {
  // Step 1. Entry: quiet checks only at the first quiescence ply of the first iteration.
  if (t.iterationDepth != 1) allMoves = 0;
  if (countNodeAndCheckLimit(t)) return 0;
  if (ply > t.selDepth) t.selDepth = ply;
  if (stopRequested()) return 0;

  // Step 2. Poll.
  if (pollRequested.load(std::memory_order_relaxed)) pollFromSearch(t);

  // Step 3. Draw, or no room left on the search line.
  if (ply >= MAX_PLY || isDraw(t, board, state, ply)) return 0;

  // Step 4. Table probe.
  const uint64_t key = board.key;
  Move hashMove = NO_MOVE;
  TtEntry entry;
  TtSlot* slot;
  if (ttProbe(key, entry, &slot)) {
    int value = ttValueFromStore(entry.value, ply);
    if (entry.depth >= qdepth &&
        ((entry.bound == BOUND_EXACT && value > alpha && value < beta) ||
         (entry.bound == BOUND_LOWER && value >= beta) ||
         (entry.bound == BOUND_UPPER && value <= alpha))) {
      ttMarkUsed(slot);
      return value;
    }
    if (!isNoMove(entry.move) && isPseudoLegal(board, state, entry.move)) hashMove = entry.move;
    if (entry.evaluation != NO_EVAL) state.staticEval = entry.evaluation;
  }

  // Step 5. Stand pat.
  const int side = state.side, enemy = side ^ 1;
  const int e = Evaluate(board, state);
  if (!inCheckKnown) {
    if (e >= beta) return e;
    int margin = PieceValueMg[QUEEN - 1] + (pawnOnSeventh(board, side) ? QS_SEVENTH_RANK_DELTA : 0);
    if (e < alpha - margin && board.materialMg[enemy] > QS_ENDGAME_MATERIAL) return alpha;
    if (e > alpha) alpha = e;
  }

  // Step 6. Check.
  MoveList list;
  const bool inCheck = generateEvasionsIfInCheck(t, board, state, list);

  // Step 7. Captures only, unless the hash move or the quiet checks need the full list.
  if (!inCheck) {
    if (isNoMove(hashMove) && allMoves == 0)
      generateCaptures(board, state, list, t.history);
    else
      generateMoves(board, state, list, ply, moveScoring(t));
  }

  // Step 8. Hash move first.
  int stage = QTAG_CAPTURE;
  if (!isNoMove(hashMove)) {
    for (int i = 0; i < list.count; ++i) {
      if (sameFromToKind(list.moves[i], hashMove)) {
        list.scores[i] = HASH_MOVE_SCORE;
        list.tags[i] = QTAG_HASH;
        stage = QTAG_HASH;
        break;
      }
    }
  }
  t.bestMoveAtPly[ply] = NO_MOVE;
  if (stage == QTAG_CAPTURE)
    tagQuiescenceMoves(list, qdepth <= QS_RECAPTURE_ONLY_DEPTH && !inCheck, state.lastTo);

  // Steps 9 to 11. The move loop.
  const int lastStage = allMoves == 1 || inCheck ? QTAG_CHECKS : QTAG_CAPTURE;
  const int enemyKing = board.kingSquare[enemy];
  Board& child = t.boards[ply + 1];
  PlyState& childState = t.states[ply + 1];
  int tried = 0, made = 0;
  uint8_t bound = BOUND_UPPER;
  int index = list.count - 1;
  for (;;) {
    int position = selectNextMove(list, index, stage);
    if (position < 0) {
      if (stage >= lastStage) break;
      ++stage;
      // Step 9. Retag at the start of the capture stage.
      if (stage == QTAG_CAPTURE)
        tagQuiescenceMoves(list, qdepth <= QS_RECAPTURE_ONLY_DEPTH && !inCheck, state.lastTo);
      index = list.count - 1;
      continue;
    }
    index = position - 1;

    // Step 11.1. Legality.
    if (isNoMove(list.moves[position])) continue;
    if (!inCheck) {
      filterLegal(board, state, &list.moves[position], 1);
      if (isNoMove(list.moves[position])) continue;
    }
    const Move move = list.moves[position];
    ++tried;

    bool madeAlready = false;
    if (stage == QTAG_CAPTURE) {
      // Step 11.2. Losing captures, captures that cannot reach alpha, and captures that leave a
      // bigger piece hanging are not searched.
      bool promotion = isPromotionKind(move.kind);
      int see = promotion ? 0 : staticExchange(board, state, move);
      if (see < 0) {
        list.tags[position] = TAG_DEFERRED;
        continue;
      }
      if (alpha - PieceValueMgByCode[move.captured] - e > QS_GAIN_MARGIN && !promotion &&
          board.materialMg[enemy] - ExchangeValue[move.captured] > QS_ENDGAME_MATERIAL)
        continue;
      if (!inCheck && beta - alpha > 1 && state.threatSquare != NO_SQUARE) {
        uint8_t threatened = board.squares[state.threatSquare];
        int threatenedValue = threatened == EMPTY ? 0 : ExchangeValue[threatened];
        if (threatenedValue > see && move.from != state.threatSquare && move.to != state.lastTo) {
          list.tags[position] = TAG_DEFERRED;
          continue;
        }
      }
    } else if (stage == QTAG_QUIET || stage == QTAG_CHECKS) {
      // Step 11.3. Quiet moves: queen promotions and checks only.
      if (move.kind != PROMOTE_QUEEN) {
        if (!lineHint[enemyKing][move.from] && !lineHint[enemyKing][move.to]) continue;
        makeMove(move, board, child, state, childState);
        if (!givesCheck(child, childState)) continue;
        madeAlready = true;
      }
    }

    // Step 11.5. Make and search the move; the child's table line arrives meanwhile.
    if (!madeAlready) {
      prefetchPosition(keyAfterMove(board, state, move));
      makeMove(move, board, child, state, childState);
    } else {
      prefetchPosition(child.key);
    }
    const bool checking = givesCheck(child, childState);
    ++made;
    int v = -quiesce(t, -beta, -alpha, ply + 1, 0, checking, qdepth - 1, child, childState);
    // A stopped search returns nothing worth keeping in the table.
    if (stopRequested()) return 0;

    // Step 11.6. Cut-off (fail-soft).
    if (v >= beta) {
      t.lastCutoffMove = move;
      ttStore(v, ply, qdepth, key, BOUND_LOWER, move, state.staticEval);
      return v;
    }
    // Step 11.7. New best move.
    if (v > alpha) {
      alpha = v;
      bound = BOUND_EXACT;
      t.bestMoveAtPly[ply] = move;
    }
  }

  // Step 12. End of the loop.
  if (inCheck && tried == 0) return ply - MATE_BASE;
  if (made == 0) alpha = e;
  if (std::abs(alpha) >= MATE_THRESHOLD && bound != BOUND_EXACT) alpha = e;
  ttStore(alpha, ply, qdepth, key, bound, t.bestMoveAtPly[ply], state.staticEval);
  return alpha;
}
