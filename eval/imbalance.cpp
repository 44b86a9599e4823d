// Material imbalance: trades of unequal piece sets (a minor for pawns, a minor for a rook, a
// queen for a rook and a minor, a queen for two rooks) are worth more or less than the plain
// material sum says, depending on how many pawns make up the difference.
#include <array>
#include <cstdlib>

#include "eval/derived.h"
#include "eval/eval_internal.h"
#include "eval/params.h"

namespace {

// Pattern of white's counts (q, r, b, n) against black's: 1-9 as described at imbalanceRows,
// 10-18 the same with the colours exchanged, 0 none.
constexpr uint8_t whitePattern(int qw, int rw, int bw, int nw, int qb, int rb, int bb, int nb) {
  const int dq = qw - qb, dr = rw - rb, db = bw - bb, dn = nw - nb;
  if (dq == 0 && dr == 0 && db == 1 && dn == 0) return 1;
  if (dq == 0 && dr == 0 && db == 0 && dn == 1) return 2;
  if (dq == 0 && dr == -1 && db == 0 && dn == 1) return 3;
  if (dq == 0 && dr == -1 && db == 1 && dn == 0) return 4;
  if (dq == 0 && dr == -1 && db == 1 && dn == 1) return 5;
  if (dq == 1 && dr == -1 && db == 0 && dn == -1) return 6;
  if (dq == 1 && dr == -1 && db == -1 && dn == 0) return bw == 0 ? 7 : 8;
  if (dq == 1 && dr == -2 && nw + bw == nb + bb) return 9;
  return 0;
}

// Patterns (0 none, 1-18) of white's and black's queen, rook, bishop and knight counts, each
// 0..2: 3 to the power 8 of them, built at compile time.
constexpr int IMBALANCE_PATTERNS = 6561;

constexpr int patternIndex(int qw, int rw, int bw, int nw, int qb, int rb, int bb, int nb) {
  return ((((((qw * 3 + rw) * 3 + bw) * 3 + nw) * 3 + qb) * 3 + rb) * 3 + bb) * 3 + nb;
}

constexpr std::array<uint8_t, IMBALANCE_PATTERNS> buildPatterns() {
  std::array<uint8_t, IMBALANCE_PATTERNS> table{};
  for (int index = 0; index < IMBALANCE_PATTERNS; ++index) {
    int digits[8] = {};
    for (int d = 7, rest = index; d >= 0; --d, rest /= 3) digits[d] = rest % 3;
    const int qw = digits[0], rw = digits[1], bw = digits[2], nw = digits[3];
    const int qb = digits[4], rb = digits[5], bb = digits[6], nb = digits[7];
    uint8_t entry = whitePattern(qw, rw, bw, nw, qb, rb, bb, nb);
    if (entry == 0) {
      const uint8_t mirrored = whitePattern(qb, rb, bb, nb, qw, rw, bw, nw);
      if (mirrored != 0) entry = uint8_t(mirrored + 9);
    }
    table[patternIndex(qw, rw, bw, nw, qb, rb, bb, nb)] = entry;
  }
  return table;
}

// Built by the compiler, so nothing has to fill it at start-up.
constexpr std::array<uint8_t, IMBALANCE_PATTERNS> patterns = buildPatterns();

// Patterns 1-8: white has one bishop more; one knight more; a knight for a rook; a bishop for a
// rook; bishop and knight for a rook; a queen for rook and knight; a queen for rook and bishop
// (white without bishop); the same with white keeping one bishop against two. Six middle-game
// values then six end-game values each, by pawn difference 0..5.
const int32_t* const imbalanceRows[8] = {ImbalanceBishop,          ImbalanceKnight,
                                         ImbalanceKnightRook,      ImbalanceBishopRook,
                                         ImbalanceTwoMinorsRook,   ImbalanceQueenRookKnight,
                                         ImbalanceQueenRookBishop, ImbalanceQueenRookBishopPair};

}  // namespace

void evalImbalance(const Board& board, int& mgSum, int& egSum) {
  const int whiteMaterial = board.materialMg[WHITE], blackMaterial = board.materialMg[BLACK];
  const int whitePawns = board.pieceCount[WHITE_PAWN], blackPawns = board.pieceCount[BLACK_PAWN];
  const int pawnValue = PieceValueMg[0];
  if (whiteMaterial - whitePawns * pawnValue == blackMaterial - blackPawns * pawnValue) return;
  // Only when the pawns nearly make up the difference.
  if (std::abs(whiteMaterial - blackMaterial) >= ExchangeValue[WHITE_KNIGHT]) return;

  const int qw = board.pieceCount[WHITE_QUEEN], rw = board.pieceCount[WHITE_ROOK];
  const int bw = board.pieceCount[WHITE_BISHOP], nw = board.pieceCount[WHITE_KNIGHT];
  const int qb = board.pieceCount[BLACK_QUEEN], rb = board.pieceCount[BLACK_ROOK];
  const int bb = board.pieceCount[BLACK_BISHOP], nb = board.pieceCount[BLACK_KNIGHT];
  // The patterns know counts up to two; promoted extras leave the term out.
  if (qw > 2 || rw > 2 || bw > 2 || nw > 2 || qb > 2 || rb > 2 || bb > 2 || nb > 2) return;

  const int entry = patterns[patternIndex(qw, rw, bw, nw, qb, rb, bb, nb)];
  if (entry == 0) return;
  const int pawnGap = std::abs(whitePawns - blackPawns);
  const int d = pawnGap < 5 ? pawnGap : 5;
  const int minors = nw + bw + nb + bb;
  const int m = minors < 4 ? minors : 4;
  if (entry <= 8) {
    mgSum -= imbalanceRows[entry - 1][d];
    egSum -= imbalanceRows[entry - 1][6 + d];
  } else if (entry == 9) {
    mgSum += QueenVsRooks[m];
    egSum += QueenVsRooks[m];
  } else if (entry <= 17) {
    mgSum += imbalanceRows[entry - 10][d];
    egSum += imbalanceRows[entry - 10][6 + d];
  } else {
    mgSum -= QueenVsRooks[m];
    egSum -= QueenVsRooks[m];
  }
}
