// Castling in standard chess and in Chess960. A right names the rook it castles with
// (Board::castlingRook); the king always ends on the g- or c-file and the rook beside it on the
// f- or d-file. Every square between the king's and the rook's start and goal squares must be
// empty but for those two pieces, and no square the king stands on, crosses or reaches may be
// attacked (the legality filter's test).
//
// A castling move is the king's: from = the king's square, kind = CASTLE_SHORT or CASTLE_LONG,
// captured = EMPTY. Its to-square is how the protocol writes it: the king's goal square in
// standard chess (e1g1), the castling rook's square with "UCI_Chess960" on (e1h1, the king
// taking its own rook), since in Chess960 the king may stay where it is or land on the rook.
#pragma once

#include <string>

#include "board/bitops.h"
#include "board/types.h"

// Set by the "UCI_Chess960" option (main thread); read by the FEN reader and the generator.
extern bool chess960;

inline int castlingRight(int side, uint8_t kind) { return side * 2 + (kind == CASTLE_LONG); }
inline int castlingKingGoal(int side, uint8_t kind) {
  return (side == WHITE ? 0 : 56) + (kind == CASTLE_SHORT ? 6 : 2);
}
inline int castlingRookGoal(int side, uint8_t kind) {
  return (side == WHITE ? 0 : 56) + (kind == CASTLE_SHORT ? 5 : 3);
}

// The squares of one rank from a to b, both included.
inline Bitboard rankSpan(int a, int b) {
  const int low = a < b ? a : b, high = a < b ? b : a;
  return (Bitboard(2) << high) - (Bitboard(1) << low);
}

// The castling move of `kind` for `side` if the right is held, its rook is in place and the
// squares between are empty; NO_MOVE otherwise. Whether the king passes attacked squares is left
// to the legality filter.
inline Move castlingMove(const Board& board, int side, uint8_t kind) {
  const int right = castlingRight(side, kind);
  if (!board.castling[right]) return NO_MOVE;
  const int king = board.kingSquare[side], rook = board.castlingRook[right];
  if (rook >= 64 || board.squares[rook] != codeFor(side, ROOK)) return NO_MOVE;
  const int kingGoal = castlingKingGoal(side, kind);
  const Bitboard path = rankSpan(king, kingGoal) | rankSpan(rook, castlingRookGoal(side, kind));
  const Bitboard mustBeEmpty = path & ~(bitOf(king) | bitOf(rook));
  if ((board.occupancy[WHITE] | board.occupancy[BLACK]) & mustBeEmpty) return NO_MOVE;
  return Move{uint8_t(king), uint8_t(chess960 ? rook : kingGoal), EMPTY, kind};
}

// FEN castling field: sets the four rights and their rooks; letters that name no rook of a king
// on its first rank are ignored. Needs the kings' squares.
void readCastlingField(Board& board, const std::string& field);
// The field as FEN writes it ("-" for none; X-FEN with Chess960 on).
std::string castlingFieldText(const Board& board);
