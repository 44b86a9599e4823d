// Tables computed from the evaluation weights, and the hook that keeps them in step when a tuner
// changes one weight.
#include "eval/derived.h"

#include <cstring>

#include "eval/params.h"

int32_t PieceValueMgByCode[PIECE_CODES];
int32_t PieceValueEgByCode[PIECE_CODES];
int32_t ExchangeValue[PIECE_CODES];
int32_t ExchangeValueWithKing[PIECE_CODES];
int32_t PstMg[PIECE_CODES][64];
int32_t PstEg[PIECE_CODES][64];
int32_t PassedPawnTableMg[2][64];
int32_t PassedPawnTableEg[2][64];
int32_t MobilityTable[PIECE_CODES][32];
int32_t PawnRunTableMg[256];
int32_t PawnRunTableEg[256];
int32_t KingPawnFileDistance[8][256];
int32_t ThreatTable[PIECE_CODES][PIECE_CODES][2];
int32_t KingDangerTable[100];
int32_t KingRegionTemplate[64];

namespace {

// Fixed rows, written as a board is read: rank 8 first, files a..h.
constexpr int32_t kBishopMg[64] = {
    -16, -16, -12, -10, -10, -12, -16, -16,
    -6,  0,   -1,  0,   0,   -1,  0,   -6,
    -5,  -1,  4,   2,   2,   4,   -1,  -5,
    -2,  0,   3,   8,   8,   3,   0,   -2,
    -2,  0,   3,   8,   8,   3,   0,   -2,
    -5,  -1,  4,   2,   2,   4,   -1,  -5,
    -6,  0,   -1,  0,   0,   -1,  0,   -6,
    -6,  -6,  -4,  -3,  -3,  -4,  -6,  -6,
};
constexpr int32_t kRookMgRank[8] = {-5, -2, -1, 1, 1, -1, -2, -5};
constexpr int32_t kQueenMg[64] = {
    -10, -5, 0, 0, 0, 0, -5, -10,
    -5,  0,  0, 0, 0, 0, 0,  -5,
    0,   0,  5, 5, 5, 5, 0,  0,
    0,   0,  5, 5, 5, 5, 0,  0,
    0,   0,  5, 5, 5, 5, 0,  0,
    0,   0,  5, 5, 5, 5, 0,  0,
    -5,  0,  0, 0, 0, 0, 0,  -5,
    -10, -5, 0, 0, 0, 0, -5, -10,
};
constexpr int32_t kKingMg[64] = {
    -30, -40, -40, -50, -50, -40, -40, -30,
    -30, -40, -40, -50, -50, -40, -40, -30,
    -30, -40, -40, -50, -50, -40, -40, -30,
    -30, -40, -40, -50, -50, -40, -40, -30,
    -30, -30, -30, -40, -40, -30, -30, -30,
    -20, -30, -30, -30, -30, -30, -30, -20,
    0,   0,   -20, -20, -30, -5,  20,  20,
    20,  30,  10,  -20, -10, 5,   30,  20,
};
constexpr int32_t kQueenEg[64] = {
    -27, -20, -12, -7, -7, -12, -20, -27,
    -20, -10, -7,  -2, -2, -7,  -10, -20,
    -12, -7,  -2,  2,  2,  -2,  -7,  -12,
    -7,  -2,  2,   7,  7,  2,   -2,  -7,
    -7,  -2,  2,   7,  7,  2,   -2,  -7,
    -12, -7,  -2,  2,  2,  -2,  -7,  -12,
    -20, -10, -7,  -2, -2, -7,  -10, -20,
    -27, -20, -12, -7, -7, -12, -20, -27,
};
// King end-game regions; regions 0..8 are KingRegionEg, region 9 is fixed.
constexpr int8_t kKingRegion[64] = {
    0, 1, 2, 3, 3, 2, 1, 0,
    2, 3, 4, 5, 5, 4, 3, 2,
    2, 4, 7, 8, 8, 7, 4, 2,
    2, 4, 8, 9, 9, 8, 4, 2,
    2, 4, 8, 9, 9, 8, 4, 2,
    2, 4, 7, 8, 8, 7, 4, 2,
    2, 2, 5, 5, 5, 5, 2, 2,
    0, 2, 2, 2, 2, 2, 2, 0,
};
constexpr int32_t KING_REGION_CENTRE_EG = 35;

// Penalty by file distance from the king to the nearest pawn.
constexpr int32_t kKingFileGap[8] = {0, 0, 20, 50, 60, 70, 80, 90};

// ThreatValue pair (mg at 2p, eg at 2p+1) by attacker and victim kind; -1 = no threat.
constexpr int8_t kThreatPair[7][7] = {
    {-1, -1, -1, -1, -1, -1, -1},
    {-1, -1, 2, 2, 1, 0, -1},   // pawn
    {-1, 5, -1, 4, 3, 3, -1},   // knight
    {-1, 5, 4, -1, 3, 3, -1},   // bishop
    {-1, 8, 7, 7, -1, 6, -1},   // rook
    {-1, 9, 9, 9, 9, -1, -1},   // queen
    {-1, -1, -1, -1, -1, -1, -1},  // king
};

// Square of the i-th cell of a board written rank 8 first.
int squareOfCell(int cell) { return (7 - cell / 8) * 8 + cell % 8; }

// Column of a four-wide row for a file: files e..h mirror d..a.
int foldedFile(int file) { return file < 4 ? file : 7 - file; }

// Sets a white entry and its black twin on the mirrored square, so the mirror rule always holds.
void setPst(int32_t table[PIECE_CODES][64], uint8_t whiteCode, int sq, int32_t value) {
  table[whiteCode][sq] = value;
  table[whiteCode + BLACK_OFFSET][mirrorSquare(sq)] = -value;
}

int32_t pawnSquareValue(const int32_t rows[24], int sq) {
  int rank = rankOf(sq);
  if (rank == 0 || rank == 7) return 0;
  return rows[(6 - rank) * 4 + foldedFile(fileOf(sq))];
}

int32_t pawnRunSum(const int32_t run[9], int mask) {
  int32_t sum = 0;
  int count = 0;
  for (int file = 0; file < 8; ++file) {
    if (mask & (1 << file)) {
      ++count;
    } else {
      sum += run[count];
      count = 0;
    }
  }
  return sum + run[count];
}

int32_t kingFileGapValue(int kingFile, int mask) {
  if (mask == 0 || (mask & (1 << kingFile))) return 0;
  for (int gap = 1; gap < 8; ++gap) {
    bool left = kingFile - gap >= 0 && (mask & (1 << (kingFile - gap)));
    bool right = kingFile + gap < 8 && (mask & (1 << (kingFile + gap)));
    if (left || right) return kKingFileGap[gap];
  }
  return 0;
}

}  // namespace

void BuildPieceValuesByCode() {
  for (int code = 0; code < PIECE_CODES; ++code) {
    PieceValueMgByCode[code] = 0;
    PieceValueEgByCode[code] = 0;
  }
  for (uint8_t kind = PAWN; kind <= QUEEN; ++kind) {
    for (int side = WHITE; side <= BLACK; ++side) {
      PieceValueMgByCode[codeFor(side, kind)] = PieceValueMg[kind - 1];
      PieceValueEgByCode[codeFor(side, kind)] = PieceValueEg[kind - 1];
    }
  }
}

void BuildExchangeValues() {
  // Knights are ordered as bishops so that the same capture by either ranks the same.
  const int32_t byKind[7] = {0,
                             PieceValueMg[0],
                             PieceValueMg[2],
                             PieceValueMg[2],
                             PieceValueMg[3],
                             PieceValueMg[4],
                             0};
  for (int code = 0; code < PIECE_CODES; ++code) {
    ExchangeValue[code] = 0;
    ExchangeValueWithKing[code] = 0;
  }
  for (uint8_t kind = PAWN; kind <= KING; ++kind) {
    for (int side = WHITE; side <= BLACK; ++side) {
      uint8_t code = codeFor(side, kind);
      ExchangeValue[code] = byKind[kind];
      ExchangeValueWithKing[code] = kind == KING ? 10000 : byKind[kind];
    }
  }
}

void CopyBlackMobilityRows() {
  for (uint8_t kind = KNIGHT; kind <= KING; ++kind)
    std::memcpy(MobilityTable[kind + BLACK_OFFSET], MobilityTable[kind], sizeof MobilityTable[0]);
}

void BuildPieceSquareTables() {
  std::memset(PstMg, 0, sizeof PstMg);
  std::memset(PstEg, 0, sizeof PstEg);
  for (int cell = 0; cell < 64; ++cell) {
    int region = kKingRegion[cell];
    KingRegionTemplate[squareOfCell(cell)] =
        region == 9 ? KING_REGION_CENTRE_EG : KingRegionEg[region];
  }
  for (int cell = 0; cell < 64; ++cell) {
    int sq = squareOfCell(cell);
    int rowFromTop = cell / 8;
    int column = foldedFile(fileOf(sq));
    setPst(PstMg, PAWN, sq, pawnSquareValue(PawnSquareMg, sq));
    setPst(PstEg, PAWN, sq, pawnSquareValue(PawnSquareEg, sq));
    setPst(PstMg, KNIGHT, sq, KnightSquareMg[rowFromTop * 4 + column]);
    setPst(PstEg, KNIGHT, sq, 0);
    setPst(PstMg, BISHOP, sq, kBishopMg[cell]);
    setPst(PstEg, BISHOP, sq, 0);
    setPst(PstMg, ROOK, sq, kRookMgRank[fileOf(sq)]);
    setPst(PstEg, ROOK, sq, RookSquareEg);
    setPst(PstMg, QUEEN, sq, kQueenMg[cell]);
    setPst(PstEg, QUEEN, sq, kQueenEg[cell]);
    setPst(PstMg, KING, sq, kKingMg[cell]);
    setPst(PstEg, KING, sq, KingRegionTemplate[sq]);
  }
  for (int sq = 0; sq < 64; ++sq) {
    int rank = rankOf(sq);
    bool onPath = rank >= 1 && rank <= 6;
    PassedPawnTableMg[WHITE][sq] = onPath ? PassedPawnMg[rank - 1] : 0;
    PassedPawnTableEg[WHITE][sq] = onPath ? PassedPawnEg[rank - 1] : 0;
  }
  for (int sq = 0; sq < 64; ++sq) {
    PassedPawnTableMg[BLACK][sq] = PassedPawnTableMg[WHITE][mirrorSquare(sq)];
    PassedPawnTableEg[BLACK][sq] = PassedPawnTableEg[WHITE][mirrorSquare(sq)];
  }
}

void BuildPawnRunTables() {
  for (int mask = 0; mask < 256; ++mask) {
    PawnRunTableMg[mask] = pawnRunSum(PawnRunMg, mask);
    PawnRunTableEg[mask] = pawnRunSum(PawnRunEg, mask);
    for (int file = 0; file < 8; ++file)
      KingPawnFileDistance[file][mask] = kingFileGapValue(file, mask);
  }
}

void BuildThreatTable() {
  std::memset(ThreatTable, 0, sizeof ThreatTable);
  for (int attacker = 1; attacker < PIECE_CODES; ++attacker) {
    for (int victim = 1; victim < PIECE_CODES; ++victim) {
      if (attacker == EMPTY || victim == EMPTY) continue;
      int pair = kThreatPair[kindOf(uint8_t(attacker))][kindOf(uint8_t(victim))];
      if (pair < 0) continue;
      ThreatTable[attacker][victim][0] = ThreatValue[2 * pair];
      ThreatTable[attacker][victim][1] = ThreatValue[2 * pair + 1];
    }
  }
}

void BuildKingDangerTable() {
  for (int i = 0; i < 100; ++i) KingDangerTable[i] = KingDangerBase + i * KingDangerStep;
}

namespace {

void rebuild(EvalParamFeeds table) {
  switch (table) {
    case EvalParamFeeds::NOTHING:
      return;
    case EvalParamFeeds::PIECE_VALUES:
      BuildPieceValuesByCode();
      return;
    case EvalParamFeeds::PAWN_RUNS:
      BuildPawnRunTables();
      return;
    case EvalParamFeeds::PIECE_SQUARES:
      // The king regions go through the template this build refills.
      BuildPieceSquareTables();
      return;
    case EvalParamFeeds::BLACK_MOBILITY:
      CopyBlackMobilityRows();
      return;
    case EvalParamFeeds::THREATS:
      BuildThreatTable();
      return;
    case EvalParamFeeds::KING_DANGER:
      BuildKingDangerTable();
      return;
  }
}

}  // namespace

void ApplyEvalParamChange(int index) { rebuild(evalParamFeeds(index)); }

void RebuildAllDerivedTables() {
  // Every table an entry can feed. ExchangeValue stays as built at start-up: the search's
  // ordering keeps its own scale.
  for (int table = 0; table <= int(EvalParamFeeds::KING_DANGER); ++table)
    rebuild(EvalParamFeeds(table));
}
