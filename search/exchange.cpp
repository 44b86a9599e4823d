#include "search/exchange.h"

#include <algorithm>

#include "board/makemove.h"
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

bool attacks(const Board& board, uint8_t code, int index, int from, int to) {
  Bitboard set = isSliderCode(code) ? sliderSlot(board, code, index) : pieceAttacks[code][from];
  return (set >> to) & 1;
}

// Collects the attackers of `side` on `to`. With a positive `cutoff`, stops at the first attacker
// worth less than it and returns that attacker's value (the recapture already wins); else -1.
int collect(const Board& board, int side, int to, int cutoff, Attackers& out) {
  for (uint8_t kind = PAWN; kind <= KING; ++kind) {
    uint8_t code = codeFor(side, kind);
    for (int i = 0; i < board.pieceCount[code] && i < LIST_CAPACITY; ++i) {
      int from = board.pieceList[code][i];
      if (from == NO_SQUARE || !attacks(board, code, i, from, to)) continue;
      int value = ExchangeValueWithKing[code];
      if (cutoff > 0 && value < cutoff) return value;
      out.values[out.count++] = value;
    }
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

  Board after;
  makeExchangeMove(move, board, state, after);
  int side = state.side;
  Attackers theirs, ours;
  int risk = moverValue - capturedValue;
  int cheap = collect(after, side ^ 1, move.to, risk, theirs);
  if (cheap >= 0) return cheap - risk;
  if (theirs.count == 0) return capturedValue;
  collect(after, side, move.to, 0, ours);

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
