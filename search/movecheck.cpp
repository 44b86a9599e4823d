#include "search/movecheck.h"

#include "board/bitops.h"
#include "board/castling.h"
#include "board/makemove.h"
#include "board/tables.h"

static bool pawnMovePossible(const Board& board, const PlyState& state, int side, Move move) {
  int forward = side == WHITE ? 8 : -8;
  bool toLastRank = rankOf(move.to) == (side == WHITE ? 7 : 0);
  if (toLastRank != isPromotionKind(move.kind)) return false;
  if (!toLastRank && move.kind != MOVE_NORMAL) return false;
  uint8_t target = board.squares[move.to];
  if (move.to == move.from + forward) return target == EMPTY && move.captured == EMPTY;
  if (move.to == move.from + 2 * forward) {
    return rankOf(move.from) == (side == WHITE ? 1 : 6) && target == EMPTY &&
           board.squares[move.from + forward] == EMPTY && move.captured == EMPTY;
  }
  if (!((pieceAttacks[codeFor(side, PAWN)][move.from] >> move.to) & 1)) return false;
  if (target != EMPTY) return move.captured == target;
  // En passant: the double-stepped pawn stands right behind the to-square.
  return state.epSquare != NO_SQUARE && state.epSquare == move.to - forward &&
         move.captured == codeFor(side ^ 1, PAWN) &&
         board.squares[state.epSquare] == codeFor(side ^ 1, PAWN);
}

bool isPseudoLegal(const Board& board, const PlyState& state, Move move) {
  if (move.from > 63 || move.to > 63 || move.from == move.to || move.kind > PROMOTE_BISHOP)
    return false;
  int side = state.side;
  uint8_t mover = board.squares[move.from];
  if (mover == EMPTY || mover == 0 || mover >= PIECE_CODES || sideOfCode(mover) != side)
    return false;
  // Before the target test: a Chess960 castling move names the square of its own rook.
  if (isCastlingKind(move.kind)) return sameMove(move, castlingMove(board, side, move.kind));
  uint8_t target = board.squares[move.to];
  if (target != EMPTY && sideOfCode(target) == side) return false;
  uint8_t kind = kindOf(mover);
  if (kind == PAWN) return pawnMovePossible(board, state, side, move);
  if (move.kind != MOVE_NORMAL || move.captured != target) return false;
  return (attacksOfPieceOn(board, move.from) >> move.to) & 1;
}
