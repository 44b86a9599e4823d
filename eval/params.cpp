// The evaluation weights, the numbered parameter table that points at them (names, bounds and
// the derived table each entry feeds) and the fixed values forced once a text has been loaded.
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
// The default values are not here: eval/default_params.txt holds them, one line per entry.
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
  forEachEntry([](int, const ParamRow& row, int k) { row.first[k] = 0; });
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
