// Tables derived from the evaluation weights, with the embedded defaults and after tuning changes.
#include <gtest/gtest.h>

#include "eval/derived.h"
#include "eval/params.h"

namespace {

class DerivedTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEvalParamsToDefaults(); }
  void TearDown() override { ResetEvalParamsToDefaults(); }
};

// Square from a name such as "d4".
int sq(const char* name) { return (name[1] - '1') * 8 + (name[0] - 'a'); }

void expectMirrorRule() {
  for (uint8_t code = WHITE_PAWN; code <= WHITE_KING; ++code) {
    for (int s = 0; s < 64; ++s) {
      ASSERT_EQ(PstMg[code + BLACK_OFFSET][mirrorSquare(s)], -PstMg[code][s]) << int(code) << " " << s;
      ASSERT_EQ(PstEg[code + BLACK_OFFSET][mirrorSquare(s)], -PstEg[code][s]) << int(code) << " " << s;
    }
  }
  for (int s = 0; s < 64; ++s) {
    EXPECT_EQ(PstMg[0][s], 0);
    EXPECT_EQ(PstMg[EMPTY][s], 0);
  }
}

TEST_F(DerivedTest, PieceSquareValuesWithDefaults) {
  const int32_t rank5[8] = {-7, -2, 7, 24, 24, 7, -2, -7};
  for (int file = 0; file < 8; ++file) EXPECT_EQ(PstMg[WHITE_PAWN][4 * 8 + file], rank5[file]);
  struct Cell {
    bool middleGame;
    uint8_t code;
    const char* square;
    int32_t value;
  };
  const Cell cells[] = {
      {true, BLACK_PAWN, "d4", -24},  {true, WHITE_PAWN, "a7", -7},   {true, WHITE_PAWN, "e2", 6},
      {true, WHITE_PAWN, "d1", 0},    {true, WHITE_PAWN, "d8", 0},    {false, WHITE_PAWN, "c5", -3},
      {false, WHITE_PAWN, "c8", 0},   {true, WHITE_KNIGHT, "a8", -48}, {true, WHITE_KNIGHT, "e8", -21},
      {true, WHITE_KNIGHT, "e4", 22}, {true, WHITE_KNIGHT, "h1", -55}, {false, WHITE_KNIGHT, "e4", 0},
      {true, WHITE_BISHOP, "a8", -16}, {true, WHITE_BISHOP, "d5", 8}, {true, WHITE_BISHOP, "c1", -4},
      {false, WHITE_BISHOP, "d5", 0}, {true, WHITE_ROOK, "d3", 1},    {true, WHITE_ROOK, "h7", -5},
      {false, WHITE_ROOK, "b6", 4},   {true, WHITE_QUEEN, "a8", -10}, {true, WHITE_QUEEN, "c3", 5},
      {true, WHITE_QUEEN, "c2", 0},   {false, WHITE_QUEEN, "d4", 7},  {false, WHITE_QUEEN, "h1", -27},
      {true, WHITE_KING, "g1", 30},   {true, WHITE_KING, "e1", -10},  {true, WHITE_KING, "d2", -20},
      {true, WHITE_KING, "a5", -30},  {false, WHITE_KING, "a8", -61}, {false, WHITE_KING, "d8", -12},
      {false, WHITE_KING, "d5", 35},  {false, WHITE_KING, "e4", 35},  {false, WHITE_KING, "c2", 7},
      {false, WHITE_KING, "h1", -61}, {false, BLACK_KING, "e5", -35}, {true, BLACK_KING, "g8", -30},
  };
  for (const Cell& c : cells) {
    const int32_t(*table)[64] = c.middleGame ? PstMg : PstEg;
    EXPECT_EQ(table[c.code][sq(c.square)], c.value)
        << (c.middleGame ? "mg " : "eg ") << int(c.code) << " " << c.square;
  }
  EXPECT_EQ(KingRegionTemplate[sq("d5")], 35);
  EXPECT_EQ(KingRegionTemplate[sq("b8")], -37);
  expectMirrorRule();
}

TEST_F(DerivedTest, PieceSquareTablesFollowTuningChanges) {
  PawnSquareMg[0] = 11;  // a7 and h7
  ApplyEvalParamChange(120);
  EXPECT_EQ(PstMg[WHITE_PAWN][sq("h7")], 11);
  EXPECT_EQ(PstMg[BLACK_PAWN][sq("a2")], -11);
  RookSquareEg = 9;
  ApplyEvalParamChange(180);
  EXPECT_EQ(PstEg[BLACK_ROOK][sq("e5")], -9);
  KingRegionEg[0] = -70;
  ApplyEvalParamChange(213);
  EXPECT_EQ(PstEg[WHITE_KING][sq("a1")], -70);
  EXPECT_EQ(PstEg[WHITE_KING][sq("h8")], -70);
  EXPECT_EQ(KingRegionTemplate[sq("a8")], -70);
  EXPECT_EQ(PstEg[WHITE_KING][sq("b8")], -37);
  PassedPawnMg[5] = 150;
  ApplyEvalParamChange(173);
  EXPECT_EQ(PassedPawnTableMg[WHITE][sq("c7")], 150);
  EXPECT_EQ(PassedPawnTableMg[BLACK][sq("c2")], 150);
  expectMirrorRule();
}

TEST_F(DerivedTest, PassedPawnTablesByRank) {
  const int32_t mg[8] = {0, -31, -27, -6, 56, 88, 142, 0};
  const int32_t eg[8] = {0, -54, -29, 32, 80, 132, 216, 0};
  for (int s = 0; s < 64; ++s) {
    EXPECT_EQ(PassedPawnTableMg[WHITE][s], mg[rankOf(s)]) << s;
    EXPECT_EQ(PassedPawnTableEg[WHITE][s], eg[rankOf(s)]) << s;
    EXPECT_EQ(PassedPawnTableMg[BLACK][s], mg[7 - rankOf(s)]) << s;
    EXPECT_EQ(PassedPawnTableEg[BLACK][s], eg[7 - rankOf(s)]) << s;
  }
}

TEST_F(DerivedTest, PawnRunTables) {
  const struct {
    int mask;
    int32_t mg, eg;
  } cases[] = {
      {0x00, 18, 45},  // nine empty runs
      {0xFF, 91, 82},
      {0x0B, 31, 18 - 2 + 4 * 5},  // a, b, d: runs of 2 and 1 plus four empty ones
      {0x81, 2 * 4 + 5 * 2, -2 * 2 + 5 * 5},  // a and h: a closes at b, h closes at the end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PawnRunTableMg[c.mask], c.mg) << c.mask;
    EXPECT_EQ(PawnRunTableEg[c.mask], c.eg) << c.mask;
  }
  PawnRunMg[8] = 100;
  ApplyEvalParamChange(110);
  EXPECT_EQ(PawnRunTableMg[0xFF], 100);
}

TEST_F(DerivedTest, KingPawnFileDistance) {
  const struct {
    int kingFile, mask;
    int32_t value;
  } cases[] = {
      {0, 0x80, 90}, {3, 0x04, 0}, {3, 0x00, 0}, {3, 0x08, 0}, {0, 0x04, 20},
      {7, 0x01, 90}, {4, 0x81, 50}, {6, 0x01, 80}, {2, 0x21, 20},
  };
  for (const auto& c : cases)
    EXPECT_EQ(KingPawnFileDistance[c.kingFile][c.mask], c.value) << c.kingFile << " " << c.mask;
}

TEST_F(DerivedTest, PieceAndExchangeValues) {
  const int32_t exchange[PIECE_CODES] = {0, 90, 335, 335, 477, 975, 0, 0, 90, 335, 335, 477, 975, 0};
  const int32_t mg[PIECE_CODES] = {0, 90, 330, 335, 477, 975, 0, 0, 90, 330, 335, 477, 975, 0};
  const int32_t eg[PIECE_CODES] = {0, 100, 325, 340, 527, 990, 0, 0, 100, 325, 340, 527, 990, 0};
  for (int code = 0; code < PIECE_CODES; ++code) {
    EXPECT_EQ(ExchangeValue[code], exchange[code]) << code;
    bool king = code == WHITE_KING || code == BLACK_KING;
    EXPECT_EQ(ExchangeValueWithKing[code], king ? 10000 : exchange[code]) << code;
    EXPECT_EQ(PieceValueMgByCode[code], mg[code]) << code;
    EXPECT_EQ(PieceValueEgByCode[code], eg[code]) << code;
  }
  // A tuning change moves the material values but not the ordering values.
  PieceValueMg[2] = 350;
  ApplyEvalParamChange(2);
  EXPECT_EQ(PieceValueMgByCode[BLACK_BISHOP], 350);
  EXPECT_EQ(ExchangeValue[WHITE_KNIGHT], 335);
  RebuildAllDerivedTables();
  EXPECT_EQ(ExchangeValue[BLACK_KNIGHT], 335);
}

TEST_F(DerivedTest, MobilityRows) {
  const int counts[PIECE_CODES] = {0, 0, 9, 14, 15, 28, 9};
  for (int kind = KNIGHT; kind <= KING; ++kind) {
    for (int cell = 0; cell < 32; ++cell) {
      EXPECT_EQ(MobilityTable[kind + BLACK_OFFSET][cell], MobilityTable[kind][cell]);
      if (cell >= counts[kind]) {
        EXPECT_EQ(MobilityTable[kind][cell], 0) << kind << " " << cell;
      }
    }
  }
  MobilityTable[KNIGHT][3] = 12;
  ApplyEvalParamChange(341);
  for (int cell = 0; cell < 32; ++cell)
    EXPECT_EQ(MobilityTable[BLACK_KNIGHT][cell], MobilityTable[WHITE_KNIGHT][cell]);
  EXPECT_EQ(MobilityTable[BLACK_KNIGHT][3], 12);
}

TEST_F(DerivedTest, ThreatTable) {
  const struct {
    uint8_t attacker, victim;
    int32_t mg, eg;
  } cases[] = {
      {WHITE_PAWN, BLACK_QUEEN, 46, 33},   {BLACK_PAWN, WHITE_QUEEN, 46, 33},
      {WHITE_PAWN, BLACK_ROOK, 31, 38},    {BLACK_PAWN, WHITE_KNIGHT, 27, 24},
      {BLACK_KNIGHT, WHITE_ROOK, 18, 39},  {WHITE_BISHOP, BLACK_QUEEN, 18, 39},
      {WHITE_BISHOP, BLACK_KNIGHT, 8, 23}, {WHITE_KNIGHT, BLACK_BISHOP, 8, 23},
      {WHITE_KNIGHT, BLACK_PAWN, 1, 18},   {WHITE_ROOK, BLACK_QUEEN, 13, 8},
      {WHITE_ROOK, BLACK_BISHOP, 10, 29},  {WHITE_ROOK, BLACK_PAWN, 0, 12},
      {WHITE_QUEEN, BLACK_ROOK, 0, 15},    {WHITE_QUEEN, BLACK_PAWN, 0, 15},
      {WHITE_QUEEN, BLACK_QUEEN, 0, 0},    {WHITE_KNIGHT, BLACK_KNIGHT, 0, 0},
      {WHITE_PAWN, BLACK_PAWN, 0, 0},      {WHITE_PAWN, BLACK_KING, 0, 0},
      {WHITE_KING, BLACK_PAWN, 0, 0},      {EMPTY, BLACK_PAWN, 0, 0},
      {WHITE_PAWN, EMPTY, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ThreatTable[c.attacker][c.victim][0], c.mg) << int(c.attacker) << " " << int(c.victim);
    EXPECT_EQ(ThreatTable[c.attacker][c.victim][1], c.eg) << int(c.attacker) << " " << int(c.victim);
  }
  ThreatValue[0] = 60;
  ApplyEvalParamChange(417);
  EXPECT_EQ(ThreatTable[BLACK_PAWN][WHITE_QUEEN][0], 60);
}

TEST_F(DerivedTest, KingDangerScale) {
  EXPECT_EQ(KingDangerTable[0], -20);
  EXPECT_EQ(KingDangerTable[99], 970);
  KingDangerStep = 12;
  ApplyEvalParamChange(448);
  EXPECT_EQ(KingDangerTable[1], -8);
  EXPECT_EQ(ShelterUnit, 8);
}

TEST_F(DerivedTest, ChangesOutsideTheTableAreHarmless) {
  ApplyEvalParamChange(-1);
  ApplyEvalParamChange(EVAL_PARAM_COUNT);
  ApplyEvalParamChange(10);
  EXPECT_EQ(PawnRunTableMg[0], 18);
}

}  // namespace
