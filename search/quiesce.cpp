#include <algorithm>
#include <cstdlib>

#include "board/keys.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "eval/derived.h"
#include "search/alphabeta.h"
#include "search/constants.h"
#include "search/draw.h"
#include "search/evaluation.h"
#include "search/exchange.h"
#include "search/movecheck.h"
#include "search/node.h"
#include "search/picker.h"
#include "search/tt.h"

int quiesce(SearchThread& t, int alpha, int beta, int ply, Board& board, PlyState& state) {
  // Step 1. Stop, input, the node limit, draws and the end of the line.
  if (stopRequested()) return 0;
  if (pollRequested.load(std::memory_order_relaxed)) pollFromSearch(t);
  if (countNodeAndCheckLimit(t)) return 0;
  if (ply > t.selDepth) t.selDepth = ply;
  const bool inCheck = kingAttacked(board, state);
  if (isDraw(t, board, state, ply)) return 0;
  if (ply >= MAX_PLY - 2) return inCheck ? 0 : staticEvaluation(t, ply, board, state);
  const bool pvNode = beta - alpha > 1;

  // Step 2. The table.
  const uint64_t key = board.key;
  TtEntry entry;
  TtSlot* entrySlot = nullptr;
  const bool tableHit = ttProbe(key, entry, &entrySlot);
  const int tableValue = tableHit ? ttValueFromStore(entry.value, ply) : 0;
  Move tableMove = NO_MOVE;
  if (tableHit && !isNoMove(entry.move) && isPseudoLegal(board, state, entry.move))
    tableMove = entry.move;
  if (!pvNode && tableHit && entry.depth >= QS_TABLE_DEPTH &&
      (entry.bound == BOUND_EXACT || (entry.bound == BOUND_LOWER ? tableValue >= beta
                                                                  : tableValue <= alpha))) {
    ttMarkUsed(entrySlot);
    return tableValue;
  }

  // Step 3. Standing pat: out of check the side to move may keep the static evaluation.
  int bestValue, standPat = NO_EVAL, rawEval = NO_EVAL;
  StackEntry* ss = t.stack(ply);
  if (inCheck) {
    bestValue = ply - MATE_BASE;
    ss->staticEval = NO_EVAL;
  } else {
    if (tableHit && entry.evaluation != NO_EVAL) state.staticEval = entry.evaluation;
    rawEval = staticEvaluation(t, ply, board, state);
    standPat = ss->staticEval = correctedEval(t.history, board, state.side, rawEval);
    bestValue = standPat;
    if (tableHit && std::abs(tableValue) < MATE_THRESHOLD &&
        (entry.bound == BOUND_EXACT || (entry.bound == BOUND_LOWER ? tableValue > standPat
                                                                    : tableValue < standPat)))
      bestValue = tableValue;
    if (bestValue >= beta) return bestValue;
    if (bestValue > alpha) alpha = bestValue;
  }

  // Step 4. Captures (every evasion in check), best first.
  MovePicker picker(t, board, state, ply, tableMove, inCheck, true);
  Board& child = t.boards[ply + 1];
  PlyState& childState = t.states[ply + 1];
  Move bestMove = NO_MOVE;
  const int futilityBase = standPat + QS_FUTILITY_MARGIN;
  for (Move move = picker.next(); !isNoMove(move); move = picker.next()) {
    if (!inCheck) {
      // Captures that cannot lift the score to alpha, and captures that lose material, wait.
      const int gain = move.captured == EMPTY ? 0 : ExchangeValue[move.captured];
      if (!isPromotionKind(move.kind) && futilityBase + gain <= alpha) {
        bestValue = std::max(bestValue, futilityBase + gain);
        continue;
      }
      if (!isPromotionKind(move.kind) && staticExchange(board, state, move) < 0) continue;
    }
    prefetchPosition(keyAfterMove(board, state, move));
    StackEntry* here = t.stack(ply);
    here->move = move;
    here->piece = board.squares[move.from];
    here->continuation = &t.history.continuation[here->piece][move.to];
    makeMove(move, board, child, state, childState);
    const int v = -quiesce(t, -beta, -alpha, ply + 1, child, childState);
    if (stopRequested()) return 0;
    if (v > bestValue) {
      bestValue = v;
      if (v > alpha) {
        bestMove = move;
        if (v >= beta) break;
        alpha = v;
      }
    }
  }

  // Step 5. The table.
  const uint8_t bound = bestValue >= beta                       ? BOUND_LOWER
                        : pvNode && !isNoMove(bestMove) ? BOUND_EXACT
                                                        : BOUND_UPPER;
  ttStore(bestValue, ply, QS_TABLE_DEPTH, key, bound, bestMove, rawEval);
  return bestValue;
}
