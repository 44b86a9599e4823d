#include <cstdlib>

#include "board/bitops.h"
#include "board/keys.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/tables.h"
#include "eval/derived.h"
#include "eval/evaluate.h"
#include "search/alphabeta.h"
#include "search/constants.h"
#include "search/draw.h"
#include "search/exchange.h"
#include "search/movecheck.h"
#include "search/node.h"
#include "search/ordering.h"
#include "search/tt.h"

namespace {

// Pieces of the side to move that stand badly: its officers attacked by enemy pawns, and enemy
// pawns one step from promotion.
int countExposedPieces(const Board& board, const PlyState& state) {
  int side = state.side, enemy = side ^ 1;
  Bitboard officers = board.pieceBitboards[codeFor(side, KNIGHT)] |
                      board.pieceBitboards[codeFor(side, BISHOP)] |
                      board.pieceBitboards[codeFor(side, ROOK)] |
                      board.pieceBitboards[codeFor(side, QUEEN)];
  Bitboard enemySeventh = rankMask[enemy == WHITE ? 6 : 1];
  return popCount(officers & state.pawnAttacks[enemy]) +
         popCount(board.pieceBitboards[codeFor(enemy, PAWN)] & enemySeventh);
}

bool tableValueFits(uint8_t bound, int value, int alpha, int beta) {
  if (bound == BOUND_EXACT) return value > alpha && value < beta;
  if (bound == BOUND_LOWER) return value >= beta;
  return value <= alpha;
}

// A move into the mover's seventh or eighth rank.
bool advancesFar(int side, Move move) {
  return side == WHITE ? move.to >= 48 : move.to < 16;
}

// The per-node move source: the hash move before anything is generated, then the stages of the
// generated (or evasion) list.
struct MovePicker {
  MoveList list;
  Move hashMove;
  Move threatMove;
  int stage;
  int index;      // selection cursor inside the current stage
  bool evasions;  // the list is already legal
  bool hashPending;
};

// Retags the generated moves for the capture and quiet stages (hash move and killers keep
// their tags).
void splitCapturesAndQuiets(MoveList& list) {
  for (int i = 0; i < list.count; ++i) {
    if (isNoMove(list.moves[i]) || list.tags[i] == TAG_HASH || list.tags[i] == TAG_KILLER)
      continue;
    list.tags[i] = list.moves[i].captured != EMPTY ? TAG_CAPTURE : TAG_QUIET;
  }
}

// At ply 1 the quiet moves are ordered by the static evaluation they leave to the opponent.
void scoreQuietsByEvaluation(SearchThread& t, MoveList& list, const Board& board,
                             const PlyState& state) {
  for (int i = 0; i < list.count; ++i) {
    if (list.tags[i] != TAG_QUIET || isNoMove(list.moves[i])) continue;
    makeMove(list.moves[i], board, t.boards[2], state, t.states[2]);
    list.scores[i] = -Evaluate(t.boards[2], t.states[2]);
  }
}

}  // namespace

int searchNode(SearchThread& t, int alpha, int beta, int ply, int pvIndex, bool nullAllowed,
               NodeType nodeType, int horizon, ExclusionPair exclusion, Board& board, PlyState& state) {
  // Step 1. Entry.
  if (stopRequested() || ply >= MAX_PLY) return 0;
  // Step 5 (done first, so that an early return never leaves a stale row or move for the
  // parent to copy). Empty this node's principal variation and best move.
  t.pv[pvIndex] = NO_MOVE;
  t.bestMoveAtPly[ply] = NO_MOVE;

  // Step 2. Poll.
  if (pollRequested.load(std::memory_order_relaxed)) pollFromSearch(t);

  // Step 3. Draw.
  if (isDraw(t, board, state, ply)) return 0;

  // Step 4. Exclusion key: the position with one move excluded is a table position of its own.
  uint64_t key = board.key;
  bool notExclusion = true;
  if (nodeType == NODE_EXCLUSION) {
    key ^= exclusionKey;
    nodeType = NODE_NONPV;
    notExclusion = false;
  }
  const int side = state.side;

  // Step 6. Recapture extension.
  bool extended = false;
  if (nodeType == NODE_PV && state.captured != EMPTY && horizon < RECAPTURE_HORIZON_LIMIT) {
    ++horizon;
    extended = true;
  }

  // Step 7. Horizon.
  if (ply >= horizon) {
    if (kingAttacked(board, state) && horizon - t.iterationDepth <= EXTENSION_ROOM) {
      ++horizon;
      extended = true;
    } else {
      return quiesce(t, alpha, beta, ply, 1, 0, -1, board, state);
    }
  }

  // Step 8. Count the node.
  if (countNodeAndCheckLimit(t)) return 0;
  int remaining = horizon - ply;

  // Step 9. Table probe.
  MovePicker picker;
  picker.hashMove = NO_MOVE;
  picker.threatMove = NO_MOVE;
  bool nullOk = nullAllowed;
  uint8_t entryBound = BOUND_UPPER;
  int entryDepth = -MAX_PLY, entryValue = 0;
  TtEntry entry;
  TtSlot* entrySlot;
  if (ttProbe(key, entry, &entrySlot)) {
    entryBound = entry.bound;
    entryDepth = entry.depth;
    entryValue = ttValueFromStore(entry.value, ply);
    Move tableMove = entry.move;
    // A key collision must never make an impossible move.
    bool movePlausible = !isNoMove(tableMove) && isPseudoLegal(board, state, tableMove);
    if (entryDepth >= remaining && tableValueFits(entryBound, entryValue, alpha, beta)) {
      ttMarkUsed(entrySlot);
      if (entryValue > alpha && movePlausible && isQuietMove(tableMove)) {
        updateKillers(t, tableMove, ply);
        updateHistory(t, board, state, tableMove, nullptr, remaining * remaining, -1);
      }
      return entryValue;
    }
    if (movePlausible) {
      picker.hashMove = tableMove;
      // The hash move is searched first, most often alone: its child's lines can start coming
      // now, while this node evaluates and prunes.
      prefetchPosition(keyAfterMove(board, state, tableMove));
    }
    if (entry.evaluation != NO_EVAL) state.staticEval = entry.evaluation;
    if (entryBound == BOUND_UPPER && entryDepth >= remaining - NULL_MOVE_VETO_DEPTH &&
        entryValue < beta)
      nullOk = false;
  }

  // Step 10. Check: the evasions are the whole move list; steps 11 to 17 are skipped.
  picker.evasions = generateEvasionsIfInCheck(t, board, state, picker.list);
  const bool inCheck = picker.evasions;
  bool futile = false;
  int eval = 0;

  if (!inCheck) {
    // Step 11. Static evaluation.
    eval = Evaluate(board, state);

    // Step 12. Static null-move pruning, first form.
    if (remaining <= STATIC_NULL_MAX_REMAINING && std::abs(beta) < MATE_THRESHOLD &&
        eval - STATIC_NULL_MARGIN * remaining >= beta && countExposedPieces(board, state) <= 1)
      return eval - STATIC_NULL_MARGIN * remaining;

    // Step 13. Non-PV pruning.
    if (nodeType == NODE_NONPV) {
      // Step 13.1. Razoring.
      if (t.iterationDepth > 1 && remaining <= RAZOR_MAX_REMAINING && isNoMove(picker.hashMove) &&
          state.captured == EMPTY && std::abs(beta) < MATE_THRESHOLD) {
        int v = eval + RAZOR_MARGIN;
        if (v < beta) {
          if (remaining == 1) {
            int q = quiesce(t, alpha, beta, ply, 1, 0, -1, board, state);
            return q > v ? q : v;
          }
          v = eval + RAZOR_WIDE_MARGIN;
          if (v < beta && remaining <= RAZOR_WIDE_MAX_REMAINING) {
            int q = quiesce(t, alpha, beta, ply, 1, 0, -1, board, state);
            if (q < beta) return q > v ? q : v;
          }
        }
      }
      // Step 13.2. Static null-move pruning, second form.
      if (nullOk && remaining <= STATIC_NULL_MAX_REMAINING &&
          eval - STATIC_NULL_WIDE_MARGIN * remaining >= beta && std::abs(beta) < MATE_THRESHOLD &&
          std::abs(eval) < WINNING_EVAL_LIMIT)
        return eval - STATIC_NULL_WIDE_MARGIN * remaining;
    }

    // Step 14. Null move; a failed one leaves the refutation as the threat move.
    if (beta - alpha < 2 && remaining >= NULL_MOVE_MIN_REMAINING && nullOk &&
        std::abs(beta) < MATE_THRESHOLD && eval > beta &&
        board.materialMg[side] > NULL_MOVE_MIN_MATERIAL) {
      t.lastCutoffMove = NO_MOVE;
      int reduction = 2 + remaining / 4;
      int slot = ply + reduction + 1;
      if (slot < MAX_PLY) {
        makeNullMove(board, t.boards[slot], state, t.states[slot]);
        int v = -searchNode(t, -beta, 1 - beta, slot, pvIndex + MAX_PLY - ply, false, NODE_NONPV,
                            horizon, NO_EXCLUSION, t.boards[slot], t.states[slot]);
        if (stopRequested()) return 0;
        if (v >= beta) return v;
        picker.threatMove = t.lastCutoffMove;
      }
    }

    // Step 15. Futility flag.
    futile = nodeType == NODE_NONPV && horizon > FUTILITY_MIN_HORIZON && remaining <= 2 &&
             std::abs(alpha) < ALPHA_MATE_GATE && eval + FUTILITY_MARGIN[remaining] <= alpha;

    // Step 16. Internal iterative deepening finds a move to try first.
    if (isNoMove(picker.hashMove) &&
        ((nodeType == NODE_NONPV && remaining >= IID_MIN_REMAINING_NONPV &&
          eval + IID_MARGIN >= beta) ||
         (nodeType == NODE_PV && remaining >= IID_MIN_REMAINING_PV))) {
      int reduction = nodeType == NODE_NONPV ? remaining / 4 : 0;
      searchNode(t, alpha, beta, ply, pvIndex, false, nodeType, horizon - reduction - 2,
                 NO_EXCLUSION, board, state);
      if (stopRequested()) return 0;
      if (ttProbe(key, entry) && !isNoMove(entry.move) && isPseudoLegal(board, state, entry.move))
        picker.hashMove = entry.move;
    }
  }

  // Step 17. The exclusion pair of the children: no excluded move, this node's threat move.
  const ExclusionPair childPair = {NO_MOVE, picker.threatMove};
  const Move excluded = notExclusion ? NO_MOVE : exclusion.excluded;
  const int childPvIndex = pvIndex + MAX_PLY - ply;

  // Step 18. Move loop.
  picker.stage = TAG_HASH;
  picker.hashPending = !picker.evasions && !isNoMove(picker.hashMove);
  picker.index = -1;
  if (picker.evasions) {
    orderMoves(t, picker.list, ply, picker.hashMove, exclusion.threat);
    picker.index = picker.list.count - 1;
  }
  int movesSearched = 0, quietCount = 0;
  uint8_t bound = BOUND_UPPER;
  Board& child = t.boards[ply + 1];
  PlyState& childState = t.states[ply + 1];

  for (;;) {
    // A non-PV node next to the horizon looks at a handful of moves only.
    if (nodeType == NODE_NONPV && remaining == 1 && movesSearched > FRONTIER_NONPV_MOVES)
      return alpha;

    // Pick the next move of the current stage.
    Move move;
    int position = -1;  // list position; -1 for the hash move tried before generation
    if (picker.hashPending) {
      picker.hashPending = false;
      move = picker.hashMove;
      filterLegal(board, state, &move, 1);
      if (isNoMove(move)) continue;
    } else {
      if (picker.stage == TAG_HASH && !picker.evasions) {
        // The hash move is done: generate the rest.
        generateMoves(board, state, picker.list, ply, moveScoring(t));
        penaliseReturnMoves(board, picker.list);
        orderMoves(t, picker.list, ply, picker.hashMove, exclusion.threat);
        picker.stage = TAG_CAPTURE;
        splitCapturesAndQuiets(picker.list);
        picker.index = picker.list.count - 1;
      }
      position = selectNextMove(picker.list, picker.index, picker.stage);
      if (position < 0) {
        // Next stage.
        if (picker.stage == TAG_DEFERRED) break;
        ++picker.stage;
        if (picker.stage == TAG_CAPTURE) splitCapturesAndQuiets(picker.list);
        if (picker.stage == TAG_QUIET && ply == 1)
          scoreQuietsByEvaluation(t, picker.list, board, state);
        if (picker.stage == TAG_DEFERRED && remaining == 1 &&
            movesSearched > FRONTIER_DEFERRED_MOVES && bound == BOUND_EXACT)
          break;
        picker.index = picker.list.count - 1;
        continue;
      }
      picker.index = position - 1;
      move = picker.list.moves[position];
      if (isNoMove(move)) continue;
      if (!picker.evasions && picker.stage != TAG_DEFERRED) {
        filterLegal(board, state, &picker.list.moves[position], 1);
        if (isNoMove(picker.list.moves[position])) continue;
      }
      // Stage filters: losing captures, captures that leave a bigger piece hanging and losing
      // quiet moves wait for the deferred stage.
      if (picker.stage == TAG_CAPTURE) {
        int see = move.kind == MOVE_NORMAL ? staticExchange(board, state, move) : 0;
        bool defer = see < 0;
        if (!defer && !inCheck && (nodeType == NODE_PV || beta - alpha > 1) &&
            state.threatSquare != NO_SQUARE) {
          uint8_t threatened = board.squares[state.threatSquare];
          int threatenedValue = threatened == EMPTY ? 0 : ExchangeValue[threatened];
          defer = threatenedValue > see && move.from != state.threatSquare &&
                  move.to != state.lastTo &&
                  kingDistance[move.to][board.kingSquare[side ^ 1]] != 1;
        }
        if (defer) {
          picker.list.tags[position] = TAG_DEFERRED;
          continue;
        }
      } else if (picker.stage == TAG_QUIET && remaining >= SEE_QUIET_MIN_REMAINING &&
                 move.kind == MOVE_NORMAL && staticExchange(board, state, move) < 0) {
        picker.list.tags[position] = TAG_DEFERRED;
        continue;
      }
    }
    const int stage = position < 0 ? TAG_HASH : picker.stage;
    // The child's table line arrives while the move is weighed and made.
    prefetchPosition(keyAfterMove(board, state, move));

    // Step 18.1. The excluded move.
    if (sameFromToKind(move, excluded)) continue;

    // Step 18.2. Singular extension: the hash move alone holds the node up.
    int moveHorizon = horizon;
    if (stage == TAG_HASH && !inCheck && !extended && notExclusion &&
        remaining >= SINGULAR_MIN_REMAINING && entryBound == BOUND_LOWER &&
        entryDepth >= remaining - SINGULAR_DEPTH_SLACK &&
        horizon - t.iterationDepth < EXTENSION_ROOM && std::abs(entryValue) < WINNING_EVAL_LIMIT &&
        sameFromToKind(move, picker.hashMove)) {
      int s = entryValue - ply - horizon;
      int slot = ply + remaining / 2;
      if (slot < MAX_PLY) {
        t.boards[slot] = board;
        t.states[slot] = state;
        // The copy sits above stale slots, so its repetition test must not look below it.
        t.states[slot].plyCount = 0;
        int v = searchNode(t, s - 1, s, slot, childPvIndex, false, NODE_EXCLUSION, horizon,
                           {picker.hashMove, picker.threatMove}, t.boards[slot], t.states[slot]);
        if (stopRequested()) return 0;
        if (v < s) {
          ++moveHorizon;
          extended = true;
        }
      }
    }

    // Step 18.3. Count the move as considered.
    ++movesSearched;

    // Step 18.4. Late-move reduction and pruning of quiet moves.
    const bool quiet = !isCaptureOrPromotion(move);
    const bool killer = isKiller(t, move, ply);
    int reduction = 0;
    if (quiet && stage != TAG_HASH && remaining >= 1 &&
        !(ply == 1 && movesSearched < LMR_SPARED_ROOT_REPLIES &&
          t.iterationDepth <= LMR_FIRST_ITERATIONS) &&
        !(nodeType == NODE_PV && movesSearched == 1) && !killer) {
      ++quietCount;
      int lateAfter = 8 / remaining + 2;
      reduction = 1 + (quietCount >= lateAfter) + (quietCount >= 3 * lateAfter);
      if (!inCheck && remaining <= LMP_MAX_REMAINING && movesSearched > 1 &&
          !advancesFar(side, move) && std::abs(alpha) < ALPHA_MATE_GATE &&
          quietCount >= ((2 * remaining - 1) * remaining) / 2 + 3)
        continue;
      if (movesSearched > LMR_ENDGAME_AFTER_MOVES &&
          board.materialMg[side] < LMR_ENDGAME_MATERIAL)
        ++reduction;
    }

    // Step 18.5. Make the move.
    makeMove(move, board, child, state, childState);
    const bool checking = givesCheck(child, childState);

    // Step 18.6. Futility pruning.
    if (futile && quiet && movesSearched > 1 && !advancesFar(side, move) && !checking) continue;

    // Step 18.7. Pawn-push extension.
    bool pawnPush = false;
    if (!extended && kindOf(board.squares[move.from]) == PAWN &&
        rankOf(move.to) == (side == WHITE ? 6 : 1) && horizon - t.iterationDepth < EXTENSION_ROOM) {
      ++moveHorizon;
      pawnPush = true;
    }

    // Step 18.8. Reduced search.
    int v = 0;
    bool done = false;
    if (reduction > 0 && !pawnPush) {
      if (moveHorizon - reduction < ply + 1) reduction = moveHorizon - ply - 1;
      v = -searchNode(t, -alpha - 1, -alpha, ply + 1, childPvIndex, true, NODE_NONPV,
                      moveHorizon - reduction, childPair, child, childState);
      done = v <= alpha;
    }

    // Step 18.9. Full search.
    if (!done) {
      int childHorizon = moveHorizon;
      if (stage == TAG_DEFERRED && !killer && remaining > 1) --childHorizon;
      if (!extended && !pawnPush && ply + 1 == horizon && checking &&
          horizon - t.iterationDepth < EXTENSION_ROOM)
        ++childHorizon;
      bool firstPvMove = nodeType == NODE_PV && movesSearched == 1;
      if (!firstPvMove)
        v = -searchNode(t, -alpha - 1, -alpha, ply + 1, childPvIndex, true, NODE_NONPV,
                        childHorizon, childPair, child, childState);
      if (nodeType == NODE_PV && (firstPvMove || (v > alpha && v < beta)))
        v = -searchNode(t, -beta, -alpha, ply + 1, childPvIndex, true, NODE_PV, childHorizon,
                        childPair, child, childState);
    }

    // Step 18.10. A stopped search returns nothing worth keeping.
    if (stopRequested()) return 0;

    // Step 18.11. New best move; a cut-off ends the node.
    if (v > alpha) {
      t.bestMoveAtPly[ply] = move;
      writePv(t, pvIndex, ply, move);
      if (v >= beta) {
        t.lastCutoffMove = move;
        updateKillers(t, move, ply);
        updateHistory(t, board, state, move, &picker.list, remaining * remaining,
                      stage == TAG_HASH ? -1 : position + 1);
        ttStore(beta, ply, remaining, key, BOUND_LOWER, move, state.staticEval);
        return beta;
      }
      alpha = v;
      bound = BOUND_EXACT;
    }
  }

  // Step 19. End of the loop.
  if (movesSearched == 0) {
    if (!notExclusion) return alpha;
    if (inCheck) return ply - MATE_BASE;
    ttStore(0, ply, remaining, key, BOUND_EXACT, NO_MOVE, state.staticEval);
    return 0;
  }
  ttStore(alpha, ply, horizon - ply, key, bound, t.bestMoveAtPly[ply], state.staticEval);
  return alpha;
}
