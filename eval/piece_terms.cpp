// Terms of the pieces other than pawns and kings: rooks and queens on files and ranks, knights,
// bishops and queens on diagonals, trapped bishops. Besides their scores they fill the
// king-attack counters that the enemy king's safety routine reads.
#include "eval/eval_internal.h"
#include "eval/params.h"

namespace {

constexpr int squareOf(char file, int rank) { return (file - 'a') + 8 * (rank - 1); }

// A slider's hits on the enemy king: `lines` is the part of its attack set along the directions
// that `weight` stands for, `rays` the empty-board rays of those directions.
template <int Them>
void addSliderKingAttack(int sq, Bitboard lines, const Bitboard* rays, int enemyKing, int weight,
                         EvalScratch& scratch) {
  const Bitboard hits = lines & scratch.masks.attackTarget[Them];
  if (hits) {
    scratch.kingAttackWeight[Them] += popCount(hits) * weight;
    scratch.kingAttackSquares[Them] += popCount(hits & ~scratch.masks.minorRookAttacks[Them]);
  } else if (rays[enemyKing] & bitOf(sq)) {
    // Aimed at the king through at most one pawn: a lever or a push away from the attack.
    const Bitboard pawnsBetween = between[sq][enemyKing] & scratch.masks.allPawns;
    if ((pawnsBetween & (pawnsBetween - 1)) == 0) scratch.kingAttackSquares[Them] += 1;
  }
  scratch.kingZoneHits[Them] += popCount(lines & scratch.masks.kingZone[Them]);
}

// One step of scratch.developmentCount towards the side that is behind.
template <int Us>
constexpr int developmentStep() {
  return Us == WHITE ? -1 : 1;
}

}  // namespace

template <int Us>
int evalMajors(const Board& board, const PlyState& state, uint8_t kind, int& egExtra,
               EvalScratch& scratch) {
  constexpr int Them = Us ^ 1;
  // The enemy's last three ranks (6 to 8 for white): where an open file's entry is contested.
  constexpr Bitboard deepRanks = Us == WHITE ? 0xFFFFFF0000000000ULL : 0x0000000000FFFFFFULL;
  const uint8_t code = codeFor(Us, kind);
  const int count = board.pieceCount[code];
  const uint8_t* list = board.pieceList[code];
  const Bitboard* slots = board.sliderAttacks[sliderGroup(code)];
  const Bitboard ownPawns = piecesOf(board, Us, PAWN);
  const Bitboard enemyMinors = piecesOf(board, Them, KNIGHT) | piecesOf(board, Them, BISHOP);
  // A rook's file is worth less with an enemy minor on it; a queen's with any lesser piece.
  const Bitboard fileHalvers =
      kind == ROOK ? enemyMinors : enemyMinors | piecesOf(board, Them, ROOK);
  const Bitboard enemyQueens = piecesOf(board, Them, QUEEN);
  const int enemyKing = board.kingSquare[Them];

  int rankScore = 0, fileScore = 0;
  egExtra = 0;
  for (int i = 0; i < count; ++i) {
    const int sq = list[i];
    const int file = fileOf(sq);
    const int rank = relativeRank(Us, sq);
    const int totalBefore = rankScore + fileScore;

    if (rank == 6) {
      rankScore += MajorOnSeventh;
      egExtra += MajorOnSeventh;
      if (relativeRank(Us, enemyKing) == 7) egExtra += MajorOnSeventhKingBehind;
    } else if (rank == 5) {
      rankScore += MajorOnSixth;
      egExtra += MajorOnSixth;
    } else if (rank == 7) {
      rankScore += MajorOnEighth;
      egExtra += MajorOnEighth;
    }

    if (!(frontSpan[Us][sq] & ownPawns)) {
      if (board.pawnsOnFile[Them][file] == 0) {
        const Bitboard contested = fileMask[file] & deepRanks & state.attacksMinorRook[Them];
        fileScore += RookOpenFile - RookFileAttacked * popCount(contested);
      } else {
        fileScore += RookHalfOpenFile;
      }
      if (i == 1 && fileOf(list[0]) == file) fileScore += RooksSameFile;
      if (fileMask[file] & fileHalvers) fileScore >>= 1;
      if (kind == ROOK && (fileMask[file] & enemyQueens)) fileScore += RookFileEnemyQueen;
    }

    // Still at home, gaining nothing, behind an unmoved or once-moved own pawn.
    if (rank == 0 && rankScore + fileScore == totalBefore) {
      const int ahead = sq + forwardStep(Us);
      if (ownPawns & (bitOf(ahead) | bitOf(ahead + forwardStep(Us))))
        scratch.developmentCount += developmentStep<Us>();
    }

    addSliderKingAttack<Them>(sq, slots[i] & rookRays[sq], rookRays, enemyKing,
                              RookKingAttackWeight, scratch);
  }
  return rankScore + fileScore;
}

template <int Us>
int evalKnights(const Board& board, const PlyState& state, int& egExtra, EvalScratch& scratch) {
  constexpr int Them = Us ^ 1;
  const uint8_t code = codeFor(Us, KNIGHT);
  const int count = board.pieceCount[code];
  const uint8_t* list = board.pieceList[code];
  const Bitboard ownPawns = piecesOf(board, Us, PAWN);
  const Bitboard enemyPawns = piecesOf(board, Them, PAWN);
  const int enemyKing = board.kingSquare[Them];
  const int blockingSquare = relativeSquare(Us, squareOf('c', 3));
  const int cPawnSquare = relativeSquare(Us, squareOf('c', 2));

  int value = 0;
  egExtra = 0;
  for (int i = 0; i < count; ++i) {
    const int sq = list[i];
    const int rank = relativeRank(Us, sq);
    const Bitboard attacks = pieceAttacks[code][sq];

    // The squares an own pawn defends sq from are those an enemy pawn on sq would attack.
    if (rank >= 2 && (pieceAttacks[codeFor(Them, PAWN)][sq] & ownPawns)) value += KnightPawnSupport;

    const int distance = kingDistance[sq][enemyKing];
    if (distance < 7) value += KnightKingDistance[distance];

    if (!(passedSpanSides[Us][sq] & enemyPawns)) {
      value += KnightOutpostMg[fileOf(sq)];
      egExtra += KnightOutpostEg[fileOf(sq)];
    }

    const Bitboard hits = attacks & scratch.masks.knightTarget[Them];
    scratch.kingAttackWeight[Them] += popCount(hits) * KnightKingAttackWeight;
    scratch.kingAttackSquares[Them] += popCount(hits & ~scratch.masks.minorRookAttacks[Them]);
    scratch.kingZoneHits[Them] += popCount(attacks & scratch.masks.kingZone[Them]);

    const Bitboard freeSquares = attacks & ~board.occupancy[Us];
    if (rank >= 6 && !(freeSquares & ~state.attacksAll[Them])) value -= KnightAdvancedNoRetreat;
    if (!(freeSquares & ~state.pawnAttacks[Them])) value -= KnightNoSafeSquare;

    if (sq == blockingSquare && board.squares[cPawnSquare] == codeFor(Us, PAWN))
      value -= KnightBlocksCPawn;
  }
  return value;
}

template <int Us>
int evalDiagonals(const Board& board, uint8_t kind, EvalScratch& scratch) {
  constexpr int Them = Us ^ 1;
  const uint8_t code = codeFor(Us, kind);
  const int count = board.pieceCount[code];
  const uint8_t* list = board.pieceList[code];
  const Bitboard* slots = board.sliderAttacks[sliderGroup(code)];
  const int enemyKing = board.kingSquare[Them];
  const uint8_t ownPawn = codeFor(Us, PAWN);
  const int d3 = relativeSquare(Us, squareOf('d', 3)), e3 = relativeSquare(Us, squareOf('e', 3));

  int value = 0;
  for (int i = 0; i < count; ++i) {
    const int sq = list[i];
    // Standing in front of an unmoved centre pawn.
    if ((sq == d3 || sq == e3) && board.squares[sq - forwardStep(Us)] == ownPawn) {
      value -= BishopBlocksCentrePawn;
      scratch.developmentCount += developmentStep<Us>();
    }
    addSliderKingAttack<Them>(sq, slots[i] & bishopRays[sq], bishopRays, enemyKing,
                              BishopKingAttackWeight, scratch);
  }
  return value;
}

namespace {

// A bishop on the first square (white's view) shut in by an enemy pawn on the second.
struct BishopTrap {
  int bishop, pawn;
  bool sixth;  // the milder sixth-rank trap
};
constexpr BishopTrap bishopTraps[6] = {
    {squareOf('a', 7), squareOf('b', 6), false}, {squareOf('h', 7), squareOf('g', 6), false},
    {squareOf('b', 8), squareOf('c', 7), false}, {squareOf('g', 8), squareOf('f', 7), false},
    {squareOf('a', 6), squareOf('b', 5), true},  {squareOf('h', 6), squareOf('g', 5), true},
};

template <int Us>
int trappedBishopPenalty(const Board& board) {
  constexpr int Them = Us ^ 1;
  const uint8_t bishop = codeFor(Us, BISHOP), enemyPawn = codeFor(Them, PAWN);
  int penalty = 0;
  for (const BishopTrap& trap : bishopTraps) {
    if (board.squares[relativeSquare(Us, trap.bishop)] == bishop &&
        board.squares[relativeSquare(Us, trap.pawn)] == enemyPawn)
      penalty += trap.sixth ? BishopTrappedSixth : BishopTrapped;
  }
  return penalty;
}

}  // namespace

int evalTrappedBishops(const Board& board) {
  int value = 0;
  if ((board.pieceBitboards[WHITE_BISHOP] & bishopTrapSquaresWhite) &&
      (board.pieceBitboards[BLACK_PAWN] & bishopTrapPawnsBlack))
    value -= trappedBishopPenalty<WHITE>(board);
  if ((board.pieceBitboards[BLACK_BISHOP] & bishopTrapSquaresBlack) &&
      (board.pieceBitboards[WHITE_PAWN] & bishopTrapPawnsWhite))
    value += trappedBishopPenalty<BLACK>(board);
  return value;
}

template int evalMajors<WHITE>(const Board&, const PlyState&, uint8_t, int&, EvalScratch&);
template int evalMajors<BLACK>(const Board&, const PlyState&, uint8_t, int&, EvalScratch&);
template int evalKnights<WHITE>(const Board&, const PlyState&, int&, EvalScratch&);
template int evalKnights<BLACK>(const Board&, const PlyState&, int&, EvalScratch&);
template int evalDiagonals<WHITE>(const Board&, uint8_t, EvalScratch&);
template int evalDiagonals<BLACK>(const Board&, uint8_t, EvalScratch&);
