#include "search/alphabeta.h"

#include <cmath>
#include <cstdlib>

#include "board/keys.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/tables.h"
#include "eval/derived.h"
#include "eval/params.h"
#include "search/draw.h"
#include "search/evaluation.h"
#include "search/exchange.h"
#include "search/movecheck.h"
#include "search/node.h"
#include "search/ordering.h"
#include "search/picker.h"
#include "search/syzygy.h"
#include "search/tablebase.h"
#include "search/tt.h"

namespace {

int reductions[MAX_PLY][64];  // [depth][move number], in plies, before the node's adjustments

bool tableValueFits(uint8_t bound, int value, int alpha, int beta) {
  if (bound == BOUND_EXACT) return true;
  if (bound == BOUND_LOWER) return value >= beta;
  return value <= alpha;
}

// Quiet moves tried before move-count pruning takes the rest.
inline int lateMoveLimit(int depth, bool improving) {
  return improving ? 3 + depth * depth : (3 + depth * depth) / 2;
}

// A move whose from- or to-square lies on a line, diagonal or knight jump of the enemy king may
// give check; such moves are never pruned by their count or their history.
inline bool mayGiveCheck(const Board& board, const PlyState& state, Move m) {
  const int king = board.kingSquare[state.side ^ 1];
  return lineHint[king][m.from] | lineHint[king][m.to];
}

inline bool hasPieces(const Board& board, int side) {
  return board.materialMg[side] - board.pieceCount[codeFor(side, PAWN)] * PieceValueMg[0] >
         NULL_MOVE_MIN_MATERIAL / 2;
}

// The node's static evaluation was better than two plies ago (four when that one was in check).
bool isImproving(SearchThread& t, int ply, int eval) {
  if (eval == NO_EVAL || ply < 2) return false;
  const int before = t.stack(ply - 2)->staticEval;
  if (before != NO_EVAL) return eval > before;
  const int further = ply >= 4 ? t.stack(ply - 4)->staticEval : NO_EVAL;
  return further == NO_EVAL || eval > further;
}

// Makes `move` from `ply` into the next slot and records it on the stack.
void playMove(SearchThread& t, int ply, Move move, const Board& board, const PlyState& state) {
  StackEntry* ss = t.stack(ply);
  ss->move = move;
  ss->piece = board.squares[move.from];
  ss->continuation = &t.history.continuation[ss->piece][move.to];
  makeMove(move, board, t.boards[ply + 1], state, t.states[ply + 1]);
}

}  // namespace

void initReductions() {
  for (int depth = 1; depth < MAX_PLY; ++depth)
    for (int moves = 1; moves < 64; ++moves)
      reductions[depth][moves] = int(0.6 + std::log(depth) * std::log(moves) / 2.2);
}

namespace {
// The table depends on nothing else: it is built before main runs.
const bool reductionsBuilt = (initReductions(), true);
}  // namespace

int searchNode(SearchThread& t, int alpha, int beta, int depth, int ply, bool cutNode,
               NodeType nodeType, Board& board, PlyState& state) {
  const bool pvNode = nodeType == NODE_PV;

  // Step 1. An empty principal variation; at the horizon the quiescence search takes over.
  const int pvIndex = pvRowStart(ply);
  t.pv[pvIndex] = NO_MOVE;
  t.bestMoveAtPly[ply] = NO_MOVE;
  if (depth <= 0) return quiesce(t, alpha, beta, ply, board, state);

  // Step 2. Stop, input and the node limit.
  if (stopRequested()) return 0;
  if (pollRequested.load(std::memory_order_relaxed)) pollFromSearch(t);
  if (countNodeAndCheckLimit(t)) return 0;
  if (ply > t.selDepth) t.selDepth = ply;

  // Step 3. Draws, the end of the line, and mates that cannot be beaten any more.
  StackEntry* ss = t.stack(ply);
  const bool inCheck = kingAttacked(board, state);
  ss->inCheck = inCheck;
  if (isDraw(t, board, state, ply)) return 0;
  if (ply >= MAX_PLY - 2) return inCheck ? 0 : staticEvaluation(t, ply, board, state);
  alpha = std::max(alpha, ply - MATE_BASE);
  beta = std::min(beta, MATE_BASE - ply - 1);
  if (alpha >= beta) return alpha;

  // Step 4. The table. A singular test leaves a move out, which makes its node a position of its
  // own in the table.
  const Move excluded = ss->excluded;
  const uint64_t key = isNoMove(excluded) ? board.key : board.key ^ exclusionKey;
  TtEntry entry;
  TtSlot* entrySlot = nullptr;
  const bool tableHit = ttProbe(key, entry, &entrySlot);
  const int tableValue = tableHit ? ttValueFromStore(entry.value, ply) : 0;
  Move tableMove = NO_MOVE;
  if (tableHit && !isNoMove(entry.move) && isPseudoLegal(board, state, entry.move)) {
    tableMove = entry.move;
    prefetchPosition(keyAfterMove(board, state, tableMove));
  }
  if (!pvNode && tableHit && entry.depth >= depth &&
      tableValueFits(entry.bound, tableValue, alpha, beta)) {
    ttMarkUsed(entrySlot);
    return tableValue;
  }

  // Step 4a. The endgame tables, just after a capture or a pawn move. A proven result ends the
  // node when its bound settles it; otherwise it bounds whatever the moves find.
  int provenFloor = -MATE_BASE, provenCeiling = MATE_BASE;
  if (tablebaseRoot.probePieces > 0 && state.halfmoveClock == 0 && isNoMove(excluded) &&
      depth >= syzygyOptions.probeDepth && piecesOnBoard(board) <= tablebaseRoot.probePieces) {
    int wdl;
    if (probeSyzygyWdl(board, state, wdl)) {
      t.tbHits.store(t.tbHits.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
      const int v = tablebaseScore(wdl, ply);
      const uint8_t bound = v >= TABLEBASE_WIN_THRESHOLD    ? BOUND_LOWER
                            : v <= -TABLEBASE_WIN_THRESHOLD ? BOUND_UPPER
                                                            : BOUND_EXACT;
      if (tableValueFits(bound, v, alpha, beta)) {
        ttStore(v, ply, std::min(depth + TABLEBASE_DEPTH_BONUS, MAX_PLY - 1), key, bound, NO_MOVE,
                NO_EVAL);
        return v;
      }
      if (bound == BOUND_LOWER) provenFloor = v;
      if (bound == BOUND_UPPER) provenCeiling = v;
    }
  }

  // Step 5. The static evaluation, and whether it is improving.
  // The table keeps the evaluation as it came; the stack keeps it corrected.
  int eval, rawEval = NO_EVAL;
  if (inCheck) {
    eval = ss->staticEval = NO_EVAL;
  } else {
    if (tableHit && entry.evaluation != NO_EVAL) state.staticEval = entry.evaluation;
    rawEval = staticEvaluation(t, ply, board, state);
    eval = ss->staticEval = correctedEval(t.history, board, state.side, rawEval);
    // A table bound on the right side of the evaluation is the better guess.
    if (tableHit && std::abs(tableValue) < MATE_THRESHOLD &&
        (entry.bound == BOUND_EXACT || (entry.bound == BOUND_LOWER ? tableValue > eval
                                                                    : tableValue < eval)))
      eval = tableValue;
  }
  const bool improving = isImproving(t, ply, ss->staticEval);
  t.stack(ply + 2)->killers[0] = t.stack(ply + 2)->killers[1] = NO_MOVE;
  t.stack(ply + 2)->cutoffCount = 0;

  if (!inCheck && !pvNode && isNoMove(excluded)) {
    // Step 6. Razoring: so far below alpha that only captures could help. The margin grows fast
    // with depth: a quiet check or threat two moves deep can still turn such a position.
    if (depth <= RAZOR_MAX_DEPTH &&
        eval + RAZOR_BASE + RAZOR_PER_DEPTH_SQUARED * depth * depth < alpha) {
      const int v = quiesce(t, alpha - 1, alpha, ply, board, state);
      if (v < alpha) return v;
    }

    // Step 7. Reverse futility: so far above beta that the opponent cannot come back.
    if (depth <= REVERSE_FUTILITY_MAX_DEPTH && std::abs(eval) < WINNING_EVAL_LIMIT &&
        eval - REVERSE_FUTILITY_MARGIN * (depth - improving) >= beta)
      return eval;

    // Step 8. Null move: even passing keeps beta, so a real move will.
    const StackEntry* previous = t.stack(ply - 1);
    if (depth >= NULL_MOVE_MIN_DEPTH && eval >= beta && ss->staticEval >= beta - 20 * depth &&
        !isNoMove(previous->move) && hasPieces(board, state.side) &&
        std::abs(beta) < MATE_THRESHOLD) {
      const int reduction = 3 + depth / 3 + std::min((eval - beta) / NULL_MOVE_EVAL_DIVISOR, 3);
      ss->move = NO_MOVE;
      ss->piece = EMPTY;
      ss->continuation = nullptr;
      makeNullMove(board, t.boards[ply + 1], state, t.states[ply + 1]);
      prefetchPosition(t.boards[ply + 1].key);
      const int v = -searchNode(t, -beta, -beta + 1, depth - reduction, ply + 1, !cutNode,
                                NODE_NONPV, t.boards[ply + 1], t.states[ply + 1]);
      if (stopRequested()) return 0;
      // A mate found after passing proves nothing about the real moves.
      if (v >= beta) return v >= MATE_THRESHOLD ? beta : v;
    }

    // Step 9. ProbCut: a capture that beats beta by a margin even in a shallow search.
    const int probBeta = beta + PROBCUT_MARGIN;
    if (depth >= PROBCUT_MIN_DEPTH && std::abs(beta) < MATE_THRESHOLD &&
        !(tableHit && entry.depth >= depth - 3 && tableValue < probBeta)) {
      MovePicker picker(t, board, state, ply, tableMove, false, true);
      for (Move m = picker.next(); !isNoMove(m); m = picker.next()) {
        if (!isTactical(m) || staticExchange(board, state, m) < probBeta - ss->staticEval) continue;
        playMove(t, ply, m, board, state);
        Board& child = t.boards[ply + 1];
        PlyState& childState = t.states[ply + 1];
        int v = -quiesce(t, -probBeta, -probBeta + 1, ply + 1, child, childState);
        if (v >= probBeta)
          v = -searchNode(t, -probBeta, -probBeta + 1, depth - PROBCUT_REDUCTION, ply + 1,
                          !cutNode, NODE_NONPV, child, childState);
        if (stopRequested()) return 0;
        if (v >= probBeta) {
          ttStore(v, ply, depth - PROBCUT_REDUCTION + 1, key, BOUND_LOWER, m, rawEval);
          return v;
        }
      }
    }
  }

  // Step 10. No table move to start with: search one ply less (the next visit will have one).
  if (isNoMove(tableMove) && depth >= INTERNAL_REDUCTION_MIN_DEPTH && (pvNode || cutNode)) --depth;

  // Step 11. The moves.
  MovePicker picker(t, board, state, ply, tableMove, inCheck);
  TriedMove quietsTried[64], capturesTried[32];
  int quietCount = 0, captureCount = 0, moveCount = 0;
  int bestValue = -MATE_BASE + ply;
  Move bestMove = NO_MOVE;
  uint8_t bestPiece = EMPTY;
  const int side = state.side;
  Board& child = t.boards[ply + 1];
  PlyState& childState = t.states[ply + 1];
  const bool tableCapture = !isNoMove(tableMove) && isTactical(tableMove);

  for (Move move = picker.next(); !isNoMove(move); move = picker.next()) {
    if (sameMove(move, excluded)) continue;
    ++moveCount;
    ss->moveCount = moveCount;
    const bool quiet = !isTactical(move);
    const uint8_t piece = board.squares[move.from];
    const int history = quiet ? t.history.quiet[side][move.from][move.to] : 0;

    // Step 11.1. Pruning of moves that cannot matter, once a score that is no loss stands.
    if (bestValue > -MATE_THRESHOLD && hasPieces(board, side)) {
      const int lmrDepth = std::max(
          depth - 1 - reductions[std::min(depth, MAX_PLY - 1)][std::min(moveCount, 63)], 0);
      if (quiet && !inCheck && !mayGiveCheck(board, state, move)) {
        // Move-count pruning skips this move only: a later quiet move may still give check.
        if (depth <= LATE_MOVE_MAX_DEPTH && moveCount >= lateMoveLimit(depth, improving)) continue;
        if (lmrDepth < HISTORY_PRUNE_MAX_DEPTH && history < -HISTORY_PRUNE_PER_DEPTH * depth)
          continue;
        if (lmrDepth < FUTILITY_MAX_DEPTH &&
            ss->staticEval + FUTILITY_BASE + FUTILITY_PER_DEPTH * lmrDepth <= alpha)
          continue;
        if (staticExchange(board, state, move) < -SEE_QUIET_MARGIN * lmrDepth * lmrDepth) continue;
      } else if (!quiet && depth <= SEE_CAPTURE_MAX_DEPTH && !inCheck &&
                 picker.stage() == PICK_BAD_CAPTURES &&
                 staticExchange(board, state, move) < -SEE_CAPTURE_MARGIN * depth) {
        continue;
      }
    }

    // Step 11.2. Extensions: the table move alone holds the node up (singular), or a check.
    int extension = 0;
    if (ply > 0 && depth >= SINGULAR_MIN_DEPTH && sameMove(move, tableMove) &&
        isNoMove(excluded) && entry.bound != BOUND_UPPER &&
        entry.depth >= depth - SINGULAR_DEPTH_SLACK && std::abs(tableValue) < MATE_THRESHOLD &&
        ply < 2 * t.iterationDepth) {
      const int singularBeta = tableValue - 2 * depth;
      ss->excluded = move;
      const int v = searchNode(t, singularBeta - 1, singularBeta, (depth - 1) / 2, ply, cutNode,
                               NODE_NONPV, board, state);
      ss->excluded = NO_MOVE;
      if (stopRequested()) return 0;
      if (v < singularBeta) {
        extension = 1;
        if (!pvNode && v < singularBeta - SINGULAR_DOUBLE_MARGIN &&
            t.doubleExtensions[ply] < DOUBLE_EXTENSION_LIMIT)
          extension = 2;
      } else if (singularBeta >= beta) {
        return singularBeta;  // several moves beat beta: this node fails high anyway
      } else if (tableValue >= beta) {
        extension = -1;
      } else if (cutNode) {
        extension = -1;  // expected to fail high with some other move anyway
      }
    }
    const bool captureHoldsMaterial = !quiet && staticExchange(board, state, move) >= 0;

    // Step 11.3. Make the move.
    prefetchPosition(keyAfterMove(board, state, move));
    playMove(t, ply, move, board, state);
    const bool checking = kingAttacked(child, childState);
    if (extension == 0 && checking && (quiet || captureHoldsMaterial) && ply < 2 * t.iterationDepth)
      extension = 1;
    t.doubleExtensions[ply + 1] = t.doubleExtensions[ply] + (extension > 1);
    int newDepth = depth - 1 + extension;

    // Step 11.4. Late moves are searched shallower first; the full depth only if they surprise.
    int v = 0;
    if (depth >= 2 && moveCount > 1 + pvNode && (quiet || !captureHoldsMaterial)) {
      int r = reductions[std::min(depth, MAX_PLY - 1)][std::min(moveCount, 63)];
      if (!pvNode) ++r;
      if (cutNode) ++r;
      if (!improving) ++r;
      if (tableCapture) ++r;
      if (t.stack(ply + 1)->cutoffCount > CUTOFF_COUNT_LIMIT) ++r;
      if (checking) --r;
      if (picker.stage() == PICK_KILLER_1 || picker.stage() == PICK_KILLER_2 ||
          picker.stage() == PICK_COUNTER)
        --r;
      if (quiet) {
        int stat = history;
        const PieceToHistory* one = t.stack(ply - 1)->continuation;
        const PieceToHistory* two = t.stack(ply - 2)->continuation;
        if (one) stat += (*one)[piece][move.to];
        if (two) stat += (*two)[piece][move.to];
        r -= stat / REDUCTION_HISTORY_DIVISOR;
      } else {
        r -= 1;
      }
      const int reduced = std::max(1, std::min(newDepth, newDepth - r));
      v = -searchNode(t, -alpha - 1, -alpha, reduced, ply + 1, true, NODE_NONPV, child, childState);
      // Beating alpha from the reduced depth: on at full depth, a ply deeper when it beat the
      // best so far by far, a ply shallower when only just.
      if (v > alpha && reduced < newDepth) {
        newDepth += (v > bestValue + DEEPER_MARGIN + 2 * newDepth) - (v < bestValue + newDepth);
        if (newDepth > reduced)
          v = -searchNode(t, -alpha - 1, -alpha, newDepth, ply + 1, !cutNode, NODE_NONPV, child,
                          childState);
        if (quiet && !stopRequested())
          updateAfterResearch(t, ply, move, piece,
                              v <= alpha  ? -historyBonus(newDepth)
                              : v >= beta ? historyBonus(newDepth)
                                          : 0);
      }
    } else if (!pvNode || moveCount > 1) {
      v = -searchNode(t, -alpha - 1, -alpha, newDepth, ply + 1, !cutNode, NODE_NONPV, child,
                      childState);
    }
    if (pvNode && (moveCount == 1 || (v > alpha && v < beta)))
      v = -searchNode(t, -beta, -alpha, newDepth, ply + 1, false, NODE_PV, child, childState);
    if (stopRequested()) return 0;

    // Step 11.5. A better move; a cut-off ends the node.
    if (v > bestValue) {
      bestValue = v;
      if (v > alpha) {
        bestMove = move;
        bestPiece = piece;
        t.bestMoveAtPly[ply] = move;
        if (pvNode) writePv(t, pvIndex, ply, move);
        if (v >= beta) {
          ss->cutoffCount += 1 + isNoMove(tableMove);
          break;
        }
        alpha = v;
      }
    }
    if (!sameMove(move, bestMove)) {
      if (quiet && quietCount < 64) quietsTried[quietCount++] = {move, piece};
      if (!quiet && captureCount < 32) capturesTried[captureCount++] = {move, piece};
    }
  }

  // Step 12. No legal move: mate or stalemate (or, in a singular test, only the excluded move).
  if (moveCount == 0) return !isNoMove(excluded) ? alpha : inCheck ? ply - MATE_BASE : 0;

  // Step 13. What the result teaches, and the table.
  if (bestValue >= beta && !isNoMove(bestMove))
    updateCutoffStats(t, ply, side, bestMove, bestPiece, quietsTried, quietCount, capturesTried,
                      captureCount, depth);
  if (isNoMove(bestMove) && isNoMove(excluded)) rewardMoveIntoFailLow(t, ply, depth);
  uint8_t bound = bestValue >= beta                       ? BOUND_LOWER
                  : pvNode && !isNoMove(bestMove) ? BOUND_EXACT
                                                  : BOUND_UPPER;
  // The tables' verdict stands where the moves found less (or more) than it proves.
  if (bestValue < provenFloor) {
    bestValue = provenFloor;
    bound = BOUND_LOWER;
  } else if (bestValue > provenCeiling) {
    bestValue = provenCeiling;
    bound = BOUND_UPPER;
  }
  ttStore(bestValue, ply, depth, key, bound, bestMove, rawEval);

  // Step 14. A quiet result that the bound pins on the far side of the evaluation corrects it.
  if (!inCheck && isNoMove(excluded) && (isNoMove(bestMove) || !isTactical(bestMove)) &&
      std::abs(bestValue) < TABLEBASE_WIN_THRESHOLD &&
      !(bound == BOUND_LOWER && bestValue <= ss->staticEval) &&
      !(bound == BOUND_UPPER && bestValue >= ss->staticEval))
    updateCorrection(t.history, board, side, depth, bestValue, ss->staticEval);
  return bestValue;
}
