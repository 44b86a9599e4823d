// Pawn structure and passed pawns of one side: backward and weak pawns, isolated doubled pawns,
// unprotected advanced pawns, passed pawns with their blockers, free paths, king distances and
// runs of passers on neighbouring files. There is no pawn cache: this runs on every evaluation
// that the caches do not answer.
#include "eval/derived.h"
#include "eval/eval_internal.h"
#include "eval/params.h"

const int ConnectedPassedBonus[9] = {0, 0, 30, 40, 50, 60, 70, 10, 10};
const int AdvancedPawnAttacked[5] = {0, 10, 15, 23, 35};

template <int Us>
void evalPawns(const Board& board, const PlyState& state, int& mgOut, int& egOut) {
  constexpr int Them = Us ^ 1;
  mgOut = egOut = 0;
  const uint8_t pawnCode = codeFor(Us, PAWN);
  const int count = board.pieceCount[pawnCode];
  if (count == 0) return;

  const uint8_t* list = board.pieceList[pawnCode];
  const Bitboard ownPawns = board.pieceBitboards[pawnCode];
  const Bitboard enemyPawns = piecesOf(board, Them, PAWN);
  const Bitboard enemyPieces = board.occupancy[Them];
  const Bitboard enemyAttacks = state.attacksAll[Them];
  const Bitboard enemyPieceAttacks = state.attacksNoKing[Them];
  const uint8_t enemyRook = codeFor(Them, ROOK), enemyQueen = codeFor(Them, QUEEN);
  const int ownKing = board.kingSquare[Us], enemyKing = board.kingSquare[Them];

  int mg = 0, eg = 0;              // structure terms
  int passedMg = 0, passedEg = 0;  // passed pawns
  int runLength = 0;
  int previousPassedFile = -2;  // file of the last passer met in list order
  for (int i = 0; i < count; ++i) {
    const int sq = list[i];
    const int file = fileOf(sq);
    // A pawn on its last rank (only from a hand-made position) has no stop square.
    const bool hasStop = relativeRank(Us, sq) < 7;
    const int stop = hasStop ? sq + forwardStep(Us) : sq;
    const Bitboard stopBit = hasStop ? bitOf(stop) : 0;
    const bool passed = !(passedSpan[Us][sq] & enemyPawns);

    if (!passed) {
      // Backward: no own pawn level with it or behind on a neighbouring file can guard the stop.
      if (!(passedSpanSides[Them][stop] & ownPawns)) {
        if (stopBit & enemyPawns) {
          mg -= BackwardBlockedByPawn;
          eg -= BackwardBlockedByPawn;
        } else {
          int weakness = BackwardPawnByFile[file];
          if (board.pawnsOnFile[Them][file] == 0) weakness += BackwardPawnHalfOpen;
          if (stopBit & enemyPieceAttacks) weakness += BackwardStopAttacked;
          if (stopBit & enemyPieces) weakness += BackwardStopOccupied;
          mg -= weakness;
          eg -= weakness;
        }
        if (bitOf(sq) & enemyPieceAttacks) {
          mg -= UnsupportedPawnAttackedMg;
          eg -= UnsupportedPawnAttackedEg;
        }
      }
    } else {
      // Of doubled passers only the front one counts.
      if (board.pawnsOnFile[Us][file] > 1 && (frontSpan[Us][sq] & ownPawns)) continue;

      int passerMg = PassedPawnTableMg[Us][sq];
      int passerEg = PassedPawnTableEg[Us][sq];
      runLength = previousPassedFile == file - 1 ? runLength + 1 : 1;
      previousPassedFile = file;

      if (!(frontSpan[Us][sq] & enemyPieces)) {
        // An enemy rook or queen on the passer's file that sees it or its stop square holds it
        // back (one that only crosses the file from the side does not).
        const Bitboard pawnAndStop = bitOf(sq) | stopBit;
        for (int r = 0; r < board.pieceCount[enemyRook]; ++r) {
          if (fileOf(board.pieceList[enemyRook][r]) == file &&
              (sliderSlot(board, enemyRook, r) & pawnAndStop)) {
            passerMg >>= 1;
            passerEg >>= 1;
          }
        }
        for (int q = 0; q < board.pieceCount[enemyQueen]; ++q) {
          if (fileOf(board.pieceList[enemyQueen][q]) == file &&
              (sliderSlot(board, enemyQueen, q) & pawnAndStop)) {
            passerMg >>= 1;
            passerEg >>= 1;
          }
        }
        if (!(frontSpan[Us][sq] & enemyAttacks)) passerEg += PassedPawnFreePath;
      } else {
        passerMg >>= 1;
        passerEg >>= 1;
        if (frontSpan[Us][sq] & bitOf(enemyKing)) passerEg -= PassedKingOnPath;
      }

      // Distances are 1..7; 0 only if a king stood on the pawn, which cannot be.
      const int ownDistance = kingDistance[ownKing][sq] > 0 ? kingDistance[ownKing][sq] : 1;
      const int enemyDistance = kingDistance[enemyKing][sq] > 0 ? kingDistance[enemyKing][sq] : 1;
      const int run = runLength < 8 ? runLength : 8;
      passerEg += PassedOwnKingDistance[ownDistance - 1] -
                  PassedEnemyKingDistance[enemyDistance - 1] + ConnectedPassedBonus[run];
      passedMg += passerMg;
      passedEg += passerEg > 0 ? passerEg : 0;
    }

    // Doubled and isolated.
    if (!(adjacentFiles[file] & ownPawns) && board.pawnsOnFile[Us][file] >= 2) {
      mg -= DoubledPawnMg;
      eg -= DoubledPawnEg;
    }

    // Advanced pawns want a neighbour; alone, each enemy attack on its path costs.
    if (relativeRank(Us, sq) >= 4) {
      if (pawnNeighbours[Us][sq] & ownPawns) {
        if (passed) eg += 14;
      } else {
        const int attacked = popCount((frontSpan[Us][sq] | bitOf(sq)) & enemyAttacks);
        const bool useFull = board.pawnsOnFile[Them][file] == 0 || attacked == 0;
        mg -= AdvancedPawnAttacked[useFull ? attacked : attacked - 1];
      }
    }
  }
  mgOut = passedMg + mg;
  egOut = passedEg + eg;
}

template void evalPawns<WHITE>(const Board&, const PlyState&, int&, int&);
template void evalPawns<BLACK>(const Board&, const PlyState&, int&, int&);
