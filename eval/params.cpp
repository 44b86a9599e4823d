// The evaluation weights, the numbered parameter table that points at them, their built-in
// values and the fixed values forced once the embedded text has been loaded.
#include "eval/params.h"

#include <string>

#include "eval/derived.h"

int32_t PieceValueMg[6], PieceValueEg[6];
int32_t TempoMg, TempoEg;
int32_t RookShutInByKing, RookShutInNoCastling;
int32_t RookHalfOpenFile, RookOpenFile, RookFileAttacked;
int32_t RooksSameFile;
int32_t MajorOnSixth, MajorOnSeventh, MajorOnSeventhKingBehind, MajorOnEighth;
int32_t BishopPairMg, BishopPairEg, BishopPairManyPawns, BishopPairNoMinors;
int32_t BishopTrapped, BishopTrappedSixth;
int32_t BishopPawnColourMg, BishopPawnColourEg;
int32_t BishopBlocksCentrePawn;
int32_t BishopCentreBlockMg, BishopCentreBlockEg;
int32_t BishopBothWingsMg, BishopBothWingsEg;
int32_t CentreFileDoubled;
int32_t BackwardPawnByFile[8];
int32_t BackwardPawnHalfOpen;
int32_t UnsupportedPawnAttackedMg, UnsupportedPawnAttackedEg;
int32_t BackwardStopAttacked, BackwardStopOccupied, BackwardBlockedByPawn;
int32_t PassedPawnFreePath;
int32_t LongRangeByCentrePawns[9];
int32_t KnightPawnSupport;
int32_t KnightOutpostMg[8], KnightOutpostEg[8];
int32_t KnightKingDistance[7];
int32_t KnightAdvancedNoRetreat, KnightBlocksCPawn, KnightNoSafeSquare;
int32_t KingLostCastling;
int32_t CornerKnightRook;
int32_t DevelopmentPenalty[11];
int32_t DoubledPawnMg, DoubledPawnEg;
int32_t PawnRunMg[9], PawnRunEg[9];
int32_t PawnSquareMg[24], PawnSquareEg[24];
int32_t PassedPawnMg[6], PassedPawnEg[6];
int32_t RookSquareEg;
int32_t KnightSquareMg[32];
int32_t KingRegionEg[9];
int32_t PassedEnemyKingDistance[7], PassedOwnKingDistance[7];
int32_t PassedKingOnPath;
int32_t ImbalanceKnight[12];
int32_t ImbalanceBishop[12];
int32_t ImbalanceKnightRook[12];
int32_t ImbalanceBishopRook[12];
int32_t ImbalanceTwoMinorsRook[12];
int32_t ImbalanceQueenRookKnight[12];
int32_t ImbalanceQueenRookBishop[12];
int32_t ImbalanceQueenRookBishopPair[12];
int32_t QueenVsRooks[5];
int32_t TradeDownShift, TradeDownBonus;
int32_t MinorsUnprotectedMg, MinorsUnprotectedEg;
int32_t ThreatValue[20];
int32_t RookFileEnemyQueen;
int32_t KnightKingAttackWeight, BishopKingAttackWeight, RookKingAttackWeight;
int32_t KingAttackWeight[6];
int32_t KingDangerBase, KingDangerStep;
int32_t KingAttackersBonus[8];
int32_t ShelterUnit;

EvalParam evalParams[EVAL_PARAM_COUNT];
int evalParamCount;

namespace {

constexpr int SCALAR = -1;
using Feeds = EvalParamFeeds;

// A run of consecutive table entries over one weight or array: its name, the first element,
// how many entries, the tuner's bounds, the array index of the first element (SCALAR for a
// plain variable, which is named without brackets) and the derived table it feeds.
struct ParamRow {
  const char* name;
  int32_t* first;
  int count;
  int32_t min;
  int32_t max;
  int firstIndex;
  Feeds feeds;
};

// The table in entry order. The piece values have one bound per piece, hence one row each.
constexpr ParamRow kParamRows[] = {
    {"PieceValueMg", &PieceValueMg[0], 1, 60, 120, 0, Feeds::PIECE_VALUES},
    {"PieceValueMg", &PieceValueMg[1], 1, 280, 360, 1, Feeds::PIECE_VALUES},
    {"PieceValueMg", &PieceValueMg[2], 1, 300, 370, 2, Feeds::PIECE_VALUES},
    {"PieceValueMg", &PieceValueMg[3], 1, 420, 510, 3, Feeds::PIECE_VALUES},
    {"PieceValueMg", &PieceValueMg[4], 1, 950, 1030, 4, Feeds::PIECE_VALUES},
    {"PieceValueEg", &PieceValueEg[0], 1, 60, 120, 0, Feeds::PIECE_VALUES},
    {"PieceValueEg", &PieceValueEg[1], 1, 280, 360, 1, Feeds::PIECE_VALUES},
    {"PieceValueEg", &PieceValueEg[2], 1, 300, 370, 2, Feeds::PIECE_VALUES},
    {"PieceValueEg", &PieceValueEg[3], 1, 420, 510, 3, Feeds::PIECE_VALUES},
    {"PieceValueEg", &PieceValueEg[4], 1, 950, 1030, 4, Feeds::PIECE_VALUES},
    {"TempoMg", &TempoMg, 1, 0, 50, SCALAR, Feeds::NOTHING},
    {"TempoEg", &TempoEg, 1, 0, 50, SCALAR, Feeds::NOTHING},
    {"RookShutInByKing", &RookShutInByKing, 1, 0, 100, SCALAR, Feeds::NOTHING},
    {"RookShutInNoCastling", &RookShutInNoCastling, 1, 0, 20, SCALAR, Feeds::NOTHING},
    {"RookHalfOpenFile", &RookHalfOpenFile, 1, 0, 25, SCALAR, Feeds::NOTHING},
    {"RookOpenFile", &RookOpenFile, 1, 0, 40, SCALAR, Feeds::NOTHING},
    {"RookFileAttacked", &RookFileAttacked, 1, 0, 20, SCALAR, Feeds::NOTHING},
    {"RooksSameFile", &RooksSameFile, 1, 0, 50, SCALAR, Feeds::NOTHING},
    {"MajorOnSixth", &MajorOnSixth, 1, -10, 20, SCALAR, Feeds::NOTHING},
    {"MajorOnSeventh", &MajorOnSeventh, 1, -10, 40, SCALAR, Feeds::NOTHING},
    {"MajorOnSeventhKingBehind", &MajorOnSeventhKingBehind, 1, 0, 60, SCALAR, Feeds::NOTHING},
    {"MajorOnEighth", &MajorOnEighth, 1, -10, 20, SCALAR, Feeds::NOTHING},
    {"BishopPairMg", &BishopPairMg, 1, 0, 100, SCALAR, Feeds::NOTHING},
    {"BishopPairEg", &BishopPairEg, 1, 0, 100, SCALAR, Feeds::NOTHING},
    {"BishopPairManyPawns", &BishopPairManyPawns, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"BishopPairNoMinors", &BishopPairNoMinors, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"BishopTrapped", &BishopTrapped, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"BishopTrappedSixth", &BishopTrappedSixth, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"BishopPawnColourMg", &BishopPawnColourMg, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"BishopPawnColourEg", &BishopPawnColourEg, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"BishopBlocksCentrePawn", &BishopBlocksCentrePawn, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"BishopCentreBlockMg", &BishopCentreBlockMg, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"BishopCentreBlockEg", &BishopCentreBlockEg, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"BishopBothWingsMg", &BishopBothWingsMg, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"BishopBothWingsEg", &BishopBothWingsEg, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"CentreFileDoubled", &CentreFileDoubled, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"BackwardPawnByFile", &BackwardPawnByFile[0], 8, -5, 50, 0, Feeds::NOTHING},
    {"BackwardPawnHalfOpen", &BackwardPawnHalfOpen, 1, -5, 50, SCALAR, Feeds::NOTHING},
    {"UnsupportedPawnAttackedMg", &UnsupportedPawnAttackedMg, 1, -5, 50, SCALAR, Feeds::NOTHING},
    {"UnsupportedPawnAttackedEg", &UnsupportedPawnAttackedEg, 1, -5, 50, SCALAR, Feeds::NOTHING},
    {"BackwardStopAttacked", &BackwardStopAttacked, 1, -5, 50, SCALAR, Feeds::NOTHING},
    {"BackwardStopOccupied", &BackwardStopOccupied, 1, -5, 50, SCALAR, Feeds::NOTHING},
    {"BackwardBlockedByPawn", &BackwardBlockedByPawn, 1, -5, 50, SCALAR, Feeds::NOTHING},
    {"PassedPawnFreePath", &PassedPawnFreePath, 1, -5, 100, SCALAR, Feeds::NOTHING},
    {"LongRangeByCentrePawns", &LongRangeByCentrePawns[0], 9, -9999, 9999, 0, Feeds::NOTHING},
    {"KnightPawnSupport", &KnightPawnSupport, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"KnightOutpostMg", &KnightOutpostMg[0], 8, -9999, 9999, 0, Feeds::NOTHING},
    {"KnightOutpostEg", &KnightOutpostEg[0], 8, -9999, 9999, 0, Feeds::NOTHING},
    {"KnightKingDistance", &KnightKingDistance[0], 7, -9999, 9999, 0, Feeds::NOTHING},
    {"KnightAdvancedNoRetreat", &KnightAdvancedNoRetreat, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"KnightBlocksCPawn", &KnightBlocksCPawn, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"KnightNoSafeSquare", &KnightNoSafeSquare, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"KingLostCastling", &KingLostCastling, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"CornerKnightRook", &CornerKnightRook, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"DevelopmentPenalty", &DevelopmentPenalty[0], 11, -9999, 9999, 0, Feeds::NOTHING},
    {"DoubledPawnMg", &DoubledPawnMg, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"DoubledPawnEg", &DoubledPawnEg, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"PawnRunMg", &PawnRunMg[0], 9, -9999, 9999, 0, Feeds::PAWN_RUNS},
    {"PawnRunEg", &PawnRunEg[0], 9, -9999, 9999, 0, Feeds::PAWN_RUNS},
    {"PawnSquareMg", &PawnSquareMg[0], 24, -9999, 9999, 0, Feeds::PIECE_SQUARES},
    {"PawnSquareEg", &PawnSquareEg[0], 24, -9999, 9999, 0, Feeds::PIECE_SQUARES},
    {"PassedPawnMg", &PassedPawnMg[0], 6, -9999, 9999, 0, Feeds::PIECE_SQUARES},
    {"PassedPawnEg", &PassedPawnEg[0], 6, -9999, 9999, 0, Feeds::PIECE_SQUARES},
    {"RookSquareEg", &RookSquareEg, 1, -9999, 9999, SCALAR, Feeds::PIECE_SQUARES},
    {"KnightSquareMg", &KnightSquareMg[0], 32, -9999, 9999, 0, Feeds::PIECE_SQUARES},
    {"KingRegionEg", &KingRegionEg[0], 9, -9999, 9999, 0, Feeds::PIECE_SQUARES},
    {"PassedEnemyKingDistance", &PassedEnemyKingDistance[0], 7, -9999, 9999, 0, Feeds::NOTHING},
    {"PassedOwnKingDistance", &PassedOwnKingDistance[0], 7, -9999, 9999, 0, Feeds::NOTHING},
    {"PassedKingOnPath", &PassedKingOnPath, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"ImbalanceKnight", &ImbalanceKnight[0], 12, -9999, 9999, 0, Feeds::NOTHING},
    {"ImbalanceBishop", &ImbalanceBishop[0], 12, -9999, 9999, 0, Feeds::NOTHING},
    {"ImbalanceKnightRook", &ImbalanceKnightRook[0], 12, -9999, 9999, 0, Feeds::NOTHING},
    {"ImbalanceBishopRook", &ImbalanceBishopRook[0], 12, -9999, 9999, 0, Feeds::NOTHING},
    {"ImbalanceTwoMinorsRook", &ImbalanceTwoMinorsRook[0], 12, -9999, 9999, 0, Feeds::NOTHING},
    {"ImbalanceQueenRookKnight", &ImbalanceQueenRookKnight[0], 12, -9999, 9999, 0, Feeds::NOTHING},
    {"ImbalanceQueenRookBishop", &ImbalanceQueenRookBishop[0], 12, -9999, 9999, 0, Feeds::NOTHING},
    {"ImbalanceQueenRookBishopPair", &ImbalanceQueenRookBishopPair[0], 12, -9999, 9999, 0,
     Feeds::NOTHING},
    {"QueenVsRooks", &QueenVsRooks[0], 5, -9999, 9999, 0, Feeds::NOTHING},
    {"KnightMobility", &MobilityTable[2][0], 9, -9999, 9999, 0, Feeds::BLACK_MOBILITY},
    {"BishopMobility", &MobilityTable[3][0], 14, -9999, 9999, 0, Feeds::BLACK_MOBILITY},
    {"RookMobility", &MobilityTable[4][0], 15, -9999, 9999, 0, Feeds::BLACK_MOBILITY},
    {"QueenMobility", &MobilityTable[5][0], 28, -9999, 9999, 0, Feeds::BLACK_MOBILITY},
    {"KingMobility", &MobilityTable[6][0], 9, -9999, 9999, 0, Feeds::BLACK_MOBILITY},
    {"TradeDownShift", &TradeDownShift, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"TradeDownBonus", &TradeDownBonus, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"MinorsUnprotectedMg", &MinorsUnprotectedMg, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"MinorsUnprotectedEg", &MinorsUnprotectedEg, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"ThreatValue", &ThreatValue[0], 20, -9999, 9999, 0, Feeds::THREATS},
    {"RookFileEnemyQueen", &RookFileEnemyQueen, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"KnightKingAttackWeight", &KnightKingAttackWeight, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"BishopKingAttackWeight", &BishopKingAttackWeight, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"RookKingAttackWeight", &RookKingAttackWeight, 1, -9999, 9999, SCALAR, Feeds::NOTHING},
    {"KingAttackWeight", &KingAttackWeight[0], 6, -9999, 9999, 0, Feeds::NOTHING},
    {"KingDangerBase", &KingDangerBase, 1, -9999, 9999, SCALAR, Feeds::KING_DANGER},
    {"KingDangerStep", &KingDangerStep, 1, -9999, 9999, SCALAR, Feeds::KING_DANGER},
    {"KingAttackersBonus", &KingAttackersBonus[0], 8, -9999, 9999, 0, Feeds::NOTHING},
};

constexpr int totalEntries() {
  int total = 0;
  for (const ParamRow& row : kParamRows) total += row.count;
  return total;
}
static_assert(totalEntries() == EVAL_PARAM_COUNT, "the rows must cover every table entry");

// The built-in values, equal to the embedded text: they stand wherever that text falls short.
constexpr int32_t kBuiltInValues[EVAL_PARAM_COUNT] = {
    90, 330, 335, 477, 975,  // 0 PieceValueMg
    100, 325, 340, 527, 990,  // 5 PieceValueEg
    9,  // 10 TempoMg
    3,  // 11 TempoEg
    20,  // 12 RookShutInByKing
    0,  // 13 RookShutInNoCastling
    2,  // 14 RookHalfOpenFile
    10,  // 15 RookOpenFile
    0,  // 16 RookFileAttacked
    11,  // 17 RooksSameFile
    5,  // 18 MajorOnSixth
    5,  // 19 MajorOnSeventh
    13,  // 20 MajorOnSeventhKingBehind
    1,  // 21 MajorOnEighth
    39,  // 22 BishopPairMg
    50,  // 23 BishopPairEg
    3,  // 24 BishopPairManyPawns
    2,  // 25 BishopPairNoMinors
    33,  // 26 BishopTrapped
    16,  // 27 BishopTrappedSixth
    3,  // 28 BishopPawnColourMg
    5,  // 29 BishopPawnColourEg
    4,  // 30 BishopBlocksCentrePawn
    2,  // 31 BishopCentreBlockMg
    -2,  // 32 BishopCentreBlockEg
    26,  // 33 BishopBothWingsMg
    6,  // 34 BishopBothWingsEg
    2,  // 35 CentreFileDoubled
    -2, 4, 5, 3, 7, -1, 6, 6,  // 36 BackwardPawnByFile
    5,  // 44 BackwardPawnHalfOpen
    3,  // 45 UnsupportedPawnAttackedMg
    3,  // 46 UnsupportedPawnAttackedEg
    3,  // 47 BackwardStopAttacked
    4,  // 48 BackwardStopOccupied
    -2,  // 49 BackwardBlockedByPawn
    12,  // 50 PassedPawnFreePath
    8, 8, 6, 2, 3, 1, 6, -15, -15,  // 51 LongRangeByCentrePawns
    3,  // 60 KnightPawnSupport
    8, 9, 9, 12, 21, 12, 4, 10,  // 61 KnightOutpostMg
    0, -4, 6, 8, 2, -2, -8, -8,  // 69 KnightOutpostEg
    0, 26, 20, 10, 5, -2, -3,  // 77 KnightKingDistance
    3,  // 84 KnightAdvancedNoRetreat
    1,  // 85 KnightBlocksCPawn
    -2,  // 86 KnightNoSafeSquare
    10,  // 87 KingLostCastling
    3,  // 88 CornerKnightRook
    0, 5, 8, 14, 24, 42, 106, 165, 235, 235, 250,  // 89 DevelopmentPenalty
    9,  // 100 DoubledPawnMg
    13,  // 101 DoubledPawnEg
    2, 4, 19, 29, 40, 58, 68, 83, 91,  // 102 PawnRunMg
    5, -2, 18, 24, 35, 48, 67, 75, 82,  // 111 PawnRunEg
    -7, -2, 1, 6, -7, -2, 3, 14, -7, -2, 7, 24, -7, -2, 7, 14, -7, -2, 3, 6, -7, -2, 1, 6,  // 120 PawnSquareMg
    -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3, -3,  // 144 PawnSquareEg
    -31, -27, -6, 56, 88, 142,  // 168 PassedPawnMg
    -54, -29, 32, 80, 132, 216,  // 174 PassedPawnEg
    4,  // 180 RookSquareEg
    -48, -33, -25, -21, -25, -11, -6, -8, -18, 5, 5, 13, -5, 5, 15, 22, -5, 2, 18, 22, -14, 0, 12, 15, -30, -15, -4, 3, -55, -26, -19, -15,  // 181 KnightSquareMg
    -61, -37, -20, -12, 4, 7, 10, 10, 22,  // 213 KingRegionEg
    64, 23, 9, -3, -10, -14, -27,  // 222 PassedEnemyKingDistance
    12, 3, -9, -15, -17, -23, -45,  // 229 PassedOwnKingDistance
    -8,  // 236 PassedKingOnPath
    -34, -23, -1, -6, 6, -1, 1, 0, 11, 3, 2, -2,  // 237 ImbalanceKnight
    0, -23, -10, -5, 5, -1, 0, -19, -7, -1, 11, -1,  // 249 ImbalanceBishop
    5, 20, 20, 14, 3, -2, 12, 14, 4, 21, 8, 1,  // 261 ImbalanceKnightRook
    5, 15, 13, 3, 5, 2, 19, 17, 6, 10, 3, 5,  // 273 ImbalanceBishopRook
    1, 5, 5, 5, 5, 0, -6, 5, 8, 24, 7, 0,  // 285 ImbalanceTwoMinorsRook
    -24, -34, -19, -5, -1, 0, -33, -34, -23, -6, -1, 0,  // 297 ImbalanceQueenRookKnight
    -16, -17, -7, -5, -2, 0, -21, -23, -15, -5, -5, 0,  // 309 ImbalanceQueenRookBishop
    -17, -26, -7, -5, -1, 0, -20, -28, -12, -5, -4, 0,  // 321 ImbalanceQueenRookBishopPair
    -1, 30, 46, 90, 76,  // 333 QueenVsRooks
    -45, -24, -18, -8, -3, 4, 8, 9, 5,  // 338 KnightMobility
    -44, -26, -21, -13, -4, 5, 10, 14, 17, 18, 22, 22, 26, 18,  // 347 BishopMobility
    -39, -20, -19, -12, -11, -6, -2, 4, 8, 14, 19, 21, 22, 21, 18,  // 361 RookMobility
    -40, -39, -32, -31, -20, -16, -10, -5, -1, 4, 6, 8, 9, 10, 11, 11, 11, 10, 11, 8, 9, 10, 11, 9, 9, 32, 9, 10,  // 376 QueenMobility
    -5, -1, -9, -5, -9, -2, 9, 11, 2,  // 404 KingMobility
    13,  // 413 TradeDownShift
    13,  // 414 TradeDownBonus
    5,  // 415 MinorsUnprotectedMg
    3,  // 416 MinorsUnprotectedEg
    46, 33, 31, 38, 27, 24, 18, 39, 8, 23, 1, 18, 13, 8, 10, 29, 0, 12, 0, 15,  // 417 ThreatValue
    -2,  // 437 RookFileEnemyQueen
    1,  // 438 KnightKingAttackWeight
    6,  // 439 BishopKingAttackWeight
    4,  // 440 RookKingAttackWeight
    20, 0, 1, 0, 0, 0,  // 441 KingAttackWeight
    -20,  // 447 KingDangerBase
    9,  // 448 KingDangerStep
    -11, -10, -5, 8, 22, 32, 41, 39,  // 449 KingAttackersBonus
};

// Calls visit(entry, row, offset within the row) for every entry in table order.
template <typename Visit>
void forEachEntry(Visit visit) {
  int entry = 0;
  for (const ParamRow& row : kParamRows)
    for (int k = 0; k < row.count; ++k) visit(entry++, row, k);
}

// The row holding an entry and the entry's offset in it; nullptr outside the table.
const ParamRow* rowOf(int index, int* offset) {
  if (index < 0) return nullptr;
  for (const ParamRow& row : kParamRows) {
    if (index < row.count) {
      *offset = index;
      return &row;
    }
    index -= row.count;
  }
  return nullptr;
}

}  // namespace

std::string evalParamName(int index) {
  int offset = 0;
  const ParamRow* row = rowOf(index, &offset);
  if (!row) return "?";
  if (row->firstIndex == SCALAR) return row->name;
  return std::string(row->name) + "[" + std::to_string(row->firstIndex + offset) + "]";
}

EvalParamFeeds evalParamFeeds(int index) {
  int offset = 0;
  const ParamRow* row = rowOf(index, &offset);
  return row ? row->feeds : Feeds::NOTHING;
}

void InitEvalDefaults() {
  forEachEntry([](int entry, const ParamRow& row, int k) { row.first[k] = kBuiltInValues[entry]; });
  // The king has no material value; only pawn..queen are parameters.
  PieceValueMg[5] = 0;
  PieceValueEg[5] = 0;
  ShelterUnit = 8;
}

void SetupEvalParamTable() {
  forEachEntry([](int entry, const ParamRow& row, int k) {
    evalParams[entry] = EvalParam{row.first + k, 1, row.min, row.max, 1};
  });
  evalParamCount = EVAL_PARAM_COUNT;
}

void ForceFixedEvalValues() {
  KingDangerBase = -20;
  KingDangerStep = 10;
}

void DeriveEvalValues() {
  BuildPieceValuesByCode();
  BuildExchangeValues();
  CopyBlackMobilityRows();
  ForceFixedEvalValues();
  BuildKingDangerTable();
  ShelterUnit = 8;
}

void ResetEvalParamsToDefaults() {
  InitEvalDefaults();
  SetupEvalParamTable();
  LoadEmbeddedEvalParams();
  DeriveEvalValues();
  BuildPieceSquareTables();
  BuildPawnRunTables();
  BuildThreatTable();
}
