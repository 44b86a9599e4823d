// King safety: the rook shut in by its own king, and each king's danger from the attack counters
// of the enemy's piece terms, contact squares, safe checks and pawn cover, plus the king's
// end-game placement.
#include "board/sliders.h"
#include "eval/derived.h"
#include "eval/eval_internal.h"
#include "eval/params.h"

namespace {

constexpr int squareOf(char file, int rank) { return (file - 'a') + 8 * (rank - 1); }

template <int Us>
int rookShutInPenalty(const Board& board, EvalScratch& scratch) {
  const int king = relativeSquare(Us, board.kingSquare[Us]);  // white's view from here on
  const uint8_t rook = codeFor(Us, ROOK);
  auto rookOn = [&](char file) {
    return board.squares[relativeSquare(Us, squareOf(file, 1))] == rook;
  };
  const int shortRight = Us == WHITE ? CASTLE_WHITE_SHORT : CASTLE_BLACK_SHORT;
  const int longRight = Us == WHITE ? CASTLE_WHITE_LONG : CASTLE_BLACK_LONG;
  const int step = Us == WHITE ? -1 : 1;

  int right;
  if (king >= squareOf('b', 1) && king <= squareOf('d', 1) && (rookOn('a') || rookOn('b')))
    right = longRight;
  else if (king >= squareOf('e', 1) && king <= squareOf('g', 1) && (rookOn('g') || rookOn('h')))
    right = shortRight;
  else
    return 0;
  scratch.developmentCount += step;
  if (board.castling[right]) return RookShutInByKing;
  scratch.developmentCount += step;
  return RookShutInByKing + RookShutInNoCastling;
}

}  // namespace

int evalRookShutIn(const Board& board, EvalScratch& scratch) {
  return rookShutInPenalty<BLACK>(board, scratch) - rookShutInPenalty<WHITE>(board, scratch);
}

template <int Us>
int evalKingSafety(const Board& board, const PlyState& state, int& egSum, EvalScratch& scratch) {
  constexpr int Them = Us ^ 1;
  constexpr int sign = Us == WHITE ? 1 : -1;  // egSum is kept from white's view
  const int king = board.kingSquare[Us];
  const int file = fileOf(king);
  const int rank = relativeRank(Us, king);
  const Bitboard zone = scratch.masks.kingZone[Us];
  const uint8_t pawnFiles = board.pawnFileMask[WHITE] | board.pawnFileMask[BLACK];
  int penalty = 0;

  // 1. End game: the king belongs near the pawns.
  egSum -= sign * KingPawnFileDistance[file][pawnFiles];

  // 2. Castling rights given up while the king still stands in the middle.
  if (file >= 2 && file <= 5) {
    const int shortRight = Us == WHITE ? CASTLE_WHITE_SHORT : CASTLE_BLACK_SHORT;
    const int longRight = Us == WHITE ? CASTLE_WHITE_LONG : CASTLE_BLACK_LONG;
    for (int right : {shortRight, longRight}) {
      if (!board.castling[right]) {
        penalty += KingLostCastling;
        scratch.developmentCount += Us == WHITE ? -1 : 1;
      }
    }
  }

  // 3. End-game activity: room around the king, less for a king that has walked up.
  const int activityIndex = popCount(zone) - rank;
  if (activityIndex >= 0) egSum += sign * MobilityTable[codeFor(Us, KING)][activityIndex];

  // 4. The attack counters left by the enemy's piece terms.
  penalty += scratch.kingAttackSquares[Us] * scratch.kingAttackWeight[Us];

  // 5. Attack units: contact squares, then safe checks.
  int units = 0;
  const Bitboard near = scratch.masks.kingNear[Us];
  const int contactFactor = state.side == Them ? 2 : 1;
  const Bitboard enemyRooks = state.rookAttacks[Them];
  const Bitboard enemyQueens = state.queenAttacks[Them];
  const Bitboard rookSupport = scratch.masks.kingZone[Them] | enemyQueens |
                               state.knightAttacks[Them] | state.bishopAttacks[Them] |
                               state.pawnAttacks[Them];
  const Bitboard rookContact = near & rookRays[king] & enemyRooks & rookSupport;
  units += popCount(rookContact) * contactFactor * KingAttackWeight[1];
  const Bitboard queenContact = near & enemyQueens & state.attacksMinorRook[Them];
  units += popCount(queenContact) * contactFactor * KingAttackWeight[0];

  const Bitboard occupied = board.occupancy[WHITE] | board.occupancy[BLACK];
  const Bitboard safe = ~board.occupancy[Them] & ~state.attacksAll[Us];
  const Bitboard rookChecks = rookAttacks(king, occupied) & safe;
  const Bitboard bishopChecks = bishopAttacks(king, occupied) & safe;
  const Bitboard knightChecks = pieceAttacks[KNIGHT][king] & safe;
  units += popCount((rookChecks | bishopChecks) & enemyQueens) * KingAttackWeight[2] +
           popCount(rookChecks & enemyRooks) * KingAttackWeight[3] +
           popCount(bishopChecks & state.bishopAttacks[Them]) * KingAttackWeight[4] +
           popCount(knightChecks & state.knightAttacks[Them]) * KingAttackWeight[5];
  units = units < 0 ? 0 : units > 99 ? 99 : units;
  penalty += KingDangerTable[units];

  // 6. Number of hits on the king's zone.
  int attackers = scratch.kingZoneHits[Us] + popCount(zone & state.pawnAttacks[Them]);
  if (attackers > 7) attackers = 7;
  const int attackersBonus = KingAttackersBonus[attackers];
  penalty += attackersBonus;

  // 7. A king at home behind at least two pawns is sheltered.
  const Bitboard ownPawns = piecesOf(board, Us, PAWN);
  if (rank <= 1) {
    const Bitboard shield = zone & rankMask[rankOf(king + forwardStep(Us))];
    if (popCount(ownPawns & shield) >= 2) return penalty;
  }

  // 8. Otherwise the hits count twice, and more so without defending pieces around.
  penalty += attackersBonus + ShelterUnit;
  const int defended = popCount(zone & scratch.masks.minorRookAttacks[Us]);
  if (defended < 3) {
    penalty += 2 * ShelterUnit;
    if (attackers > 3) penalty += 4 * ShelterUnit;
  }
  return penalty;
}

template int evalKingSafety<WHITE>(const Board&, const PlyState&, int&, EvalScratch&);
template int evalKingSafety<BLACK>(const Board&, const PlyState&, int&, EvalScratch&);
