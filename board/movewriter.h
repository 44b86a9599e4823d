// Writing generated moves and their ordering scores into a MoveList; shared by the generators,
// the evasion generator and the cache probe. Internal to move generation.
#pragma once

#include <cstring>

#include "board/types.h"

// Every generator call marks its moves as not yet staged by the search. Only the written part
// of the list is marked: nothing reads a tag beyond the count.
constexpr uint8_t TAG_UNSTAGED = 6;

// Scores of the four promotions of one pawn move, in writing order: queen, rook, knight, bishop.
constexpr int64_t PROMOTION_SCORES[4] = {60, 41, 40, 39};
constexpr int64_t SCORE_RECAPTURE = 1100;  // any capture onto the square the opponent just used

inline void resetTags(MoveList& list) {
  std::memset(list.tags, TAG_UNSTAGED, size_t(list.count));
}

// The write cursor of one generator call. A full list takes no more moves: real positions stay
// far below the capacity, this only keeps absurd set-ups from writing past the arrays.
struct MoveWriter {
  MoveList& list;
  const HistoryTable& history;  // scores of quiet moves
  int count;

  MoveWriter(MoveList& target, const HistoryTable& scores)
      : list(target), history(scores), count(0) {}

  void add(int from, int to, uint8_t captured, uint8_t kind, int64_t score) {
    if (count >= MAX_LIST_MOVES) return;
    list.moves[count] = Move{uint8_t(from), uint8_t(to), captured, kind};
    list.scores[count] = score;
    ++count;
  }

  // A pawn move onto the last rank becomes four moves whatever it captures.
  void addPromotions(int from, int to, uint8_t captured) {
    add(from, to, captured, PROMOTE_QUEEN, PROMOTION_SCORES[0]);
    add(from, to, captured, PROMOTE_ROOK, PROMOTION_SCORES[1]);
    add(from, to, captured, PROMOTE_KNIGHT, PROMOTION_SCORES[2]);
    add(from, to, captured, PROMOTE_BISHOP, PROMOTION_SCORES[3]);
  }

  // A pawn move that promotes when it reaches `lastRank`.
  void addPawnMove(int from, int to, uint8_t captured, int lastRank, int64_t score) {
    if (rankOf(to) == lastRank)
      addPromotions(from, to, captured);
    else
      add(from, to, captured, MOVE_NORMAL, score);
  }
};

// Pawn geometry of one colour. "East" captures go towards file h, "west" towards file a.
template <int Us>
struct PawnGeometry {
  static constexpr int forward = Us == WHITE ? 8 : -8;
  static constexpr int captureEast = Us == WHITE ? 9 : -7;
  static constexpr int captureWest = Us == WHITE ? 7 : -9;
  static constexpr int startRank = Us == WHITE ? 1 : 6;
  static constexpr int lastRank = Us == WHITE ? 7 : 0;
  static constexpr int epRank = Us == WHITE ? 4 : 3;  // where a capturable enemy pawn stands
};

// The enemy pawn that may be taken en passant, or -1. Beyond the state's word, the pawn must
// really be there with the square behind it empty, so that an inconsistent set-up cannot make
// a pawn capture thin air.
template <int Us>
inline int usableEpSquare(const Board& board, const PlyState& state) {
  int ep = state.epSquare;
  if (ep == NO_SQUARE || rankOf(ep) != PawnGeometry<Us>::epRank) return -1;
  if (board.squares[ep] != codeFor(Us ^ 1, PAWN)) return -1;
  if (board.squares[ep + PawnGeometry<Us>::forward] != EMPTY) return -1;
  return ep;
}
