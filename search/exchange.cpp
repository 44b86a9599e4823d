#include "search/exchange.h"

#include <algorithm>

#include "board/bitops.h"
#include "board/sliders.h"
#include "board/tables.h"
#include "eval/derived.h"
#include "search/constants.h"

namespace {

inline int exchangeValue(uint8_t code) { return code == EMPTY ? 0 : ExchangeValue[code]; }

// Attackers of one side on the target square, cheapest kind first.
struct Attackers {
  int values[2 * PIECE_CODES * LIST_CAPACITY];
  int count = 0;
};

// Is the target square guarded by an enemy pawn of the mover?
bool enemyPawnGuards(const Board& board, int side, int to) {
  if (side == WHITE) {
    return (fileOf(to) != 7 && to + 9 < 64 && board.squares[to + 9] == BLACK_PAWN) ||
           (fileOf(to) != 0 && to + 7 < 64 && board.squares[to + 7] == BLACK_PAWN);
  }
  return (fileOf(to) != 7 && to - 7 >= 0 && board.squares[to - 7] == WHITE_PAWN) ||
         (fileOf(to) != 0 && to - 9 >= 0 && board.squares[to - 9] == WHITE_PAWN);
}

// Collects the attackers of `side` on `to` as the board stands after the first capture: the
// board's pieces less the `removed` squares, seen along the lines and diagonals of the occupancy
// after that capture, cheapest kind first. Sliders see through the square the first capture
// emptied but through no other attacker. With a positive `cutoff`, stops at the first kind worth
// less than it and returns its value (the recapture already wins); else -1.
int collect(const Board& board, Bitboard removed, Bitboard lines, Bitboard diagonals, int side,
            int to, int cutoff, Attackers& out) {
  for (uint8_t kind = PAWN; kind <= KING; ++kind) {
    const uint8_t code = codeFor(side, kind);
    Bitboard reach;
    switch (kind) {
      case PAWN: reach = pieceAttacks[codeFor(side ^ 1, PAWN)][to]; break;  // seen from `to`
      case KNIGHT: reach = pieceAttacks[WHITE_KNIGHT][to]; break;
      case BISHOP: reach = diagonals; break;
      case ROOK: reach = lines; break;
      case QUEEN: reach = lines | diagonals; break;
      default: reach = pieceAttacks[WHITE_KING][to]; break;
    }
    const Bitboard found = board.pieceBitboards[code] & reach & ~removed;
    if (!found) continue;
    const int value = ExchangeValueWithKing[code];
    if (cutoff > 0 && value < cutoff) return value;
    for (int count = popCount(found); count > 0; --count) out.values[out.count++] = value;
  }
  return -1;
}

}  // namespace

int staticExchange(const Board& board, const PlyState& state, Move move) {
  uint8_t mover = board.squares[move.from];
  int moverValue = exchangeValue(mover);
  if (moverValue == 0) return 0;  // king moves and empty squares
  int capturedValue = exchangeValue(move.captured);
  int balance = capturedValue - moverValue;
  if (move.captured != EMPTY && balance > 0) return balance;
  if (balance < SEE_PAWN_GUARD_LOSS && enemyPawnGuards(board, state.side, move.to)) return balance;

  // The board after the capture, as far as the attackers of the square go: the mover has left
  // its square (sliders behind it now see through), the captured piece (or the pawn taken en
  // passant) is gone, and whatever stands on the target square attacks nothing there.
  const int side = state.side;
  Bitboard removed = bitOf(move.from);
  if (kindOf(mover) == PAWN && fileOf(move.from) != fileOf(move.to) &&
      board.squares[move.to] == EMPTY)
    removed |= bitOf(side == WHITE ? move.to - 8 : move.to + 8);
  const Bitboard occupied =
      ((board.occupancy[WHITE] | board.occupancy[BLACK]) & ~removed) | bitOf(move.to);
  const Bitboard lines = rookAttacks(move.to, occupied);
  const Bitboard diagonals = bishopAttacks(move.to, occupied);
  Attackers theirs, ours;
  int risk = moverValue - capturedValue;
  int cheap = collect(board, removed, lines, diagonals, side ^ 1, move.to, risk, theirs);
  if (cheap >= 0) return cheap - risk;
  if (theirs.count == 0) return capturedValue;
  collect(board, removed, lines, diagonals, side, move.to, 0, ours);

  // Swap list: gain[k] is what the side making capture k wins if the sequence stopped there.
  int gain[2 * PIECE_CODES * LIST_CAPACITY + 2];
  gain[0] = capturedValue;
  int onSquare = moverValue;
  int next[2] = {0, 0};  // next attacker of [theirs, ours]
  int depth = 0;
  for (int turn = 0;; turn ^= 1) {
    Attackers& list = turn == 0 ? theirs : ours;
    if (next[turn] >= list.count) break;
    ++depth;
    gain[depth] = onSquare - gain[depth - 1];
    onSquare = list.values[next[turn]++];
  }
  for (int k = depth; k > 0; --k) gain[k - 1] = std::min(gain[k - 1], -gain[k]);
  return gain[0];
}
