#include "search/picker.h"

#include "board/movegen.h"
#include "eval/derived.h"
#include "search/exchange.h"
#include "search/movecheck.h"
#include "search/node.h"

namespace {

constexpr int64_t VICTIM_WEIGHT = 16;
constexpr int64_t EVASION_CAPTURE_BONUS = 1 << 20;  // captures of the checker before king steps

inline int64_t victimValue(Move m) {
  int64_t value = m.captured == EMPTY ? 0 : ExchangeValue[m.captured];
  if (m.kind == PROMOTE_QUEEN) value += ExchangeValue[WHITE_QUEEN];
  return value;
}

// Is there a pawn of the side to move one step from promotion?
bool promotionNear(const Board& board, int side) {
  const Bitboard seventh = side == WHITE ? 0x00FF000000000000ULL : 0x000000000000FF00ULL;
  return (board.pieceBitboards[codeFor(side, PAWN)] & seventh) != 0;
}

}  // namespace

MovePicker::MovePicker(SearchThread& thread, const Board& b, PlyState& s, int p, Move table,
                       bool inCheck)
    : t(thread), board(b), state(s), ply(p), tableMove(table), killer1(NO_MOVE),
      killer2(NO_MOVE), counter(NO_MOVE),
      current(inCheck ? PICK_EVASION_TABLE_MOVE : PICK_TABLE_MOVE) {
  const StackEntry* ss = t.stack(ply);
  killer1 = ss->killers[0];
  killer2 = ss->killers[1];
  const StackEntry* previous = t.stack(ply - 1);
  if (ply > 0 && !isNoMove(previous->move))
    counter = t.history.counterMove[previous->piece][previous->move.to];
}

MovePicker::MovePicker(SearchThread& thread, const Board& b, PlyState& s, int p, Move table,
                       bool inCheck, bool)
    : t(thread), board(b), state(s), ply(p), tableMove(table), killer1(NO_MOVE),
      killer2(NO_MOVE), counter(NO_MOVE),
      current(inCheck ? PICK_EVASION_TABLE_MOVE : PICK_QUIESCENCE_TABLE_MOVE) {
  // Out of check the quiescence search wants only captures and queen promotions from the table.
  if (!inCheck && !isNoMove(tableMove) && !isTactical(tableMove)) tableMove = NO_MOVE;
}

bool MovePicker::isSpecial(Move m) const {
  return sameMove(m, tableMove) || sameMove(m, killer1) || sameMove(m, killer2) ||
         sameMove(m, counter);
}

bool MovePicker::usable(Move m) {
  return !isNoMove(m) && isPseudoLegal(board, state, m) && isLegal(m);
}

bool MovePicker::isLegal(Move m) {
  if (!legalityReady) {
    legality = legalityView(board, state);
    legalityReady = true;
  }
  return moveIsLegal(board, state, legality, m);
}

int MovePicker::pickBest(int end) {
  int best = cursor;
  for (int i = cursor + 1; i < end; ++i)
    if (list.scores[i] > list.scores[best]) best = i;
  if (best != cursor) {
    std::swap(list.moves[best], list.moves[cursor]);
    std::swap(list.scores[best], list.scores[cursor]);
  }
  return cursor;
}

void MovePicker::scoreCaptures(int begin, int end) {
  for (int i = begin; i < end; ++i) {
    const Move m = list.moves[i];
    const uint8_t piece = board.squares[m.from];
    int64_t score = VICTIM_WEIGHT * victimValue(m) + t.history.capture[piece][m.to][m.captured] / 8;
    // Under-promotions are almost never right: last of all.
    if (isPromotionKind(m.kind) && m.kind != PROMOTE_QUEEN) score = -(int64_t(1) << 30);
    list.scores[i] = score;
  }
}

void MovePicker::scoreQuiets(int begin, int end) {
  const int side = state.side;
  const PieceToHistory* one = t.stack(ply - 1)->continuation;
  const PieceToHistory* two = t.stack(ply - 2)->continuation;
  const PieceToHistory* four = t.stack(ply - 4)->continuation;
  for (int i = begin; i < end; ++i) {
    const Move m = list.moves[i];
    const uint8_t piece = board.squares[m.from];
    int64_t score = t.history.quiet[side][m.from][m.to];
    if (one) score += 2 * (*one)[piece][m.to];
    if (two) score += (*two)[piece][m.to];
    if (four) score += (*four)[piece][m.to] / 2;
    list.scores[i] = score;
  }
}

// Every pseudo-legal move, captures and promotions first.
void MovePicker::generateAll() {
  generateMoves(board, state, list, ply, MoveScoring{noHistory});
  int split = 0;
  for (int i = 0; i < list.count; ++i) {
    if (isTactical(list.moves[i])) {
      std::swap(list.moves[i], list.moves[split]);
      ++split;
    }
  }
  captureEnd = split;
}

Move MovePicker::next() {
  for (;;) {
    switch (current) {
      case PICK_TABLE_MOVE:
      case PICK_QUIESCENCE_TABLE_MOVE:
        ++current;
        lastStage = PICK_TABLE_MOVE;
        if (usable(tableMove)) return tableMove;
        break;

      case PICK_EVASION_TABLE_MOVE:
        // In check the legality filter alone cannot judge a move: the table's move is looked up
        // among the evasions instead and goes first there.
        ++current;
        break;

      case PICK_GENERATE:
        generateAll();
        scoreCaptures(0, captureEnd);
        cursor = 0;
        ++current;
        break;

      case PICK_GOOD_CAPTURES:
        while (cursor < captureEnd) {
          const Move m = list.moves[pickBest(captureEnd)];
          ++cursor;
          if (sameMove(m, tableMove)) continue;
          const bool losing = isPromotionKind(m.kind)
                                  ? m.kind != PROMOTE_QUEEN
                                  : staticExchange(board, state, m) < 0;
          if (losing) {
            bad[badCount++] = m;
            continue;
          }
          if (!isLegal(m)) continue;
          lastStage = PICK_GOOD_CAPTURES;
          return m;
        }
        ++current;
        break;

      case PICK_KILLER_1:
      case PICK_KILLER_2:
      case PICK_COUNTER: {
        const Move m = current == PICK_KILLER_1   ? killer1
                       : current == PICK_KILLER_2 ? killer2
                                                  : counter;
        const int stageNow = current++;
        if (quietsSkipped || isNoMove(m) || isTactical(m) || sameMove(m, tableMove)) break;
        if (stageNow >= PICK_KILLER_2 && sameMove(m, killer1)) break;
        if (stageNow == PICK_COUNTER && sameMove(m, killer2)) break;
        if (!usable(m)) break;
        lastStage = stageNow;
        return m;
      }

      case PICK_QUIETS:
        if (cursor == captureEnd && !quietsSkipped) scoreQuiets(captureEnd, list.count);
        while (!quietsSkipped && cursor < list.count) {
          const Move m = list.moves[pickBest(list.count)];
          ++cursor;
          if (isSpecial(m)) continue;
          if (!isLegal(m)) continue;
          lastStage = PICK_QUIETS;
          return m;
        }
        ++current;
        break;

      case PICK_BAD_CAPTURES:
        while (badCursor < badCount) {
          const Move m = bad[badCursor++];
          if (!isLegal(m)) continue;
          lastStage = PICK_BAD_CAPTURES;
          return m;
        }
        current = PICK_DONE;
        break;

      case PICK_EVASION_GENERATE: {
        // The evasions come legal already.
        generateEvasionsIfInCheck(board, state, list);
        const int side = state.side;
        for (int i = 0; i < list.count; ++i) {
          const Move m = list.moves[i];
          if (isNoMove(m)) {  // struck out by the legality filter; skipped when picked
            list.scores[i] = 0;
            continue;
          }
          const uint8_t piece = board.squares[m.from];
          list.scores[i] = isTactical(m) ? EVASION_CAPTURE_BONUS + VICTIM_WEIGHT * victimValue(m) -
                                               ExchangeValue[piece]
                                         : int64_t(t.history.quiet[side][m.from][m.to]);
          if (sameMove(m, tableMove)) list.scores[i] = int64_t(1) << 40;
        }
        cursor = 0;
        ++current;
        break;
      }

      case PICK_EVASIONS:
        while (cursor < list.count) {
          const Move m = list.moves[pickBest(list.count)];
          ++cursor;
          if (isNoMove(m)) continue;
          lastStage = sameMove(m, tableMove) ? PICK_TABLE_MOVE : PICK_EVASIONS;
          return m;
        }
        current = PICK_DONE;
        break;

      case PICK_QUIESCENCE_GENERATE: {
        // Captures, plus queen promotions when a pawn stands one step from them.
        if (promotionNear(board, state.side)) {
          generateMoves(board, state, list, ply, MoveScoring{noHistory});
          int kept = 0;
          for (int i = 0; i < list.count; ++i)
            if (list.moves[i].captured != EMPTY || list.moves[i].kind == PROMOTE_QUEEN)
              list.moves[kept++] = list.moves[i];
          list.count = kept;
        } else {
          generateCaptures(board, state, list, noHistory);
        }
        for (int i = 0; i < list.count; ++i) {
          const Move m = list.moves[i];
          list.scores[i] = VICTIM_WEIGHT * victimValue(m) - ExchangeValue[board.squares[m.from]];
        }
        cursor = 0;
        ++current;
        break;
      }

      case PICK_QUIESCENCE_CAPTURES:
        while (cursor < list.count) {
          const Move m = list.moves[pickBest(list.count)];
          ++cursor;
          if (sameMove(m, tableMove)) continue;
          if (isPromotionKind(m.kind) && m.kind != PROMOTE_QUEEN) continue;
          if (!isLegal(m)) continue;
          lastStage = PICK_QUIESCENCE_CAPTURES;
          return m;
        }
        current = PICK_DONE;
        break;

      default:
        return NO_MOVE;
    }
  }
}
