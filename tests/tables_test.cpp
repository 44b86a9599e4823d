#include "board/tables.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "board/bitops.h"
#include "board/kpk.h"

namespace {

int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

Bitboard maskOf(std::initializer_list<const char*> names) {
  Bitboard mask = 0;
  for (const char* name : names) mask |= bitOf(sq(name));
  return mask;
}

std::vector<int> listOf(const uint8_t list[9]) {
  std::vector<int> squares;
  for (int i = 0; i < 9 && list[i] != NO_SQUARE; i++) squares.push_back(list[i]);
  return squares;
}

std::vector<int> squaresOf(std::initializer_list<const char*> names) {
  std::vector<int> squares;
  for (const char* name : names) squares.push_back(sq(name));
  return squares;
}

Bitboard mirrorRanks(Bitboard b) { return __builtin_bswap64(b); }

class Tables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { initTables(); }
};

TEST_F(Tables, NeighbourListsKeepTheirOrderAndEndWithNoSquare) {
  struct Case {
    const char* square;
    bool king;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {"a1", true, squaresOf({"b2", "b1", "a2"})},
      {"h8", true, squaresOf({"h7", "g7", "g8"})},
      {"e4", true, squaresOf({"f5", "f4", "f3", "e3", "d3", "d4", "d5", "e5"})},
      {"a1", false, squaresOf({"b3", "c2"})},
      {"e4", false, squaresOf({"f6", "g5", "g3", "f2", "d2", "c3", "c5", "d6"})},
      {"h8", false, squaresOf({"g6", "f7"})},
      {"b7", false, squaresOf({"d8", "d6", "c5", "a5"})},
  };
  for (const Case& c : cases) {
    const uint8_t* list = c.king ? kingNeighbours[sq(c.square)] : knightJumps[sq(c.square)];
    EXPECT_EQ(listOf(list), c.expected) << (c.king ? "king " : "knight ") << c.square;
    for (size_t i = c.expected.size(); i < 9; i++) EXPECT_EQ(list[i], NO_SQUARE) << c.square;
  }
}

TEST_F(Tables, PieceAttacksOfKnightsAndKingsMatchTheirGeometry) {
  for (int from = 0; from < 64; from++) {
    Bitboard knight = 0, king = 0;
    for (int to = 0; to < 64; to++) {
      int df = std::abs(fileOf(from) - fileOf(to)), dr = std::abs(rankOf(from) - rankOf(to));
      if (df * dr == 2) knight |= bitOf(to);
      if (to != from && df <= 1 && dr <= 1) king |= bitOf(to);
    }
    EXPECT_EQ(pieceAttacks[WHITE_KNIGHT][from], knight) << from;
    EXPECT_EQ(pieceAttacks[BLACK_KNIGHT][from], knight) << from;
    EXPECT_EQ(pieceAttacks[WHITE_KING][from], king) << from;
    EXPECT_EQ(pieceAttacks[BLACK_KING][from], king) << from;
    for (uint8_t code : {uint8_t(0), WHITE_BISHOP, WHITE_ROOK, WHITE_QUEEN, EMPTY, BLACK_BISHOP,
                         BLACK_ROOK, BLACK_QUEEN})
      EXPECT_EQ(pieceAttacks[code][from], 0u) << int(code) << " on " << from;
  }
}

TEST_F(Tables, PawnAttacksAndReach) {
  struct Case {
    uint8_t code;
    const char* square;
    Bitboard attacks, reach;
  };
  const Case cases[] = {
      {WHITE_PAWN, "e2", maskOf({"d3", "f3"}), maskOf({"d3", "f3", "e3", "e4"})},
      {WHITE_PAWN, "e7", maskOf({"d8", "f8"}), maskOf({"d8", "f8", "e8"})},
      {WHITE_PAWN, "a2", maskOf({"b3"}), maskOf({"b3", "a3", "a4"})},
      {WHITE_PAWN, "h5", maskOf({"g6"}), maskOf({"g6", "h6"})},
      {WHITE_PAWN, "e8", 0, 0},
      {BLACK_PAWN, "e7", maskOf({"d6", "f6"}), maskOf({"d6", "f6", "e6", "e5"})},
      {BLACK_PAWN, "h7", maskOf({"g6"}), maskOf({"g6", "h6", "h5"})},
      {BLACK_PAWN, "a2", maskOf({"b1"}), maskOf({"b1", "a1"})},
      {BLACK_PAWN, "e1", 0, 0},
  };
  for (const Case& c : cases) {
    int side = sideOfCode(c.code);
    EXPECT_EQ(pieceAttacks[c.code][sq(c.square)], c.attacks) << side << " " << c.square;
    EXPECT_EQ(pawnReach[side][sq(c.square)], c.reach) << side << " " << c.square;
  }
}

TEST_F(Tables, BetweenIsSymmetricAndMatchesAWalkAlongTheLine) {
  EXPECT_EQ(between[sq("a1")][sq("h8")], maskOf({"b2", "c3", "d4", "e5", "f6", "g7"}));
  EXPECT_EQ(between[sq("a1")][sq("b3")], 0u);
  EXPECT_EQ(between[sq("h1")][sq("a8")], maskOf({"g2", "f3", "e4", "d5", "c6", "b7"}));
  EXPECT_EQ(between[sq("e1")][sq("e3")], maskOf({"e2"}));
  EXPECT_EQ(between[sq("a4")][sq("h4")], maskOf({"b4", "c4", "d4", "e4", "f4", "g4"}));
  for (int a = 0; a < 64; a++) {
    for (int b = 0; b < 64; b++) {
      int df = fileOf(b) - fileOf(a), dr = rankOf(b) - rankOf(a);
      Bitboard expected = 0;
      bool aligned = a != b && (df == 0 || dr == 0 || std::abs(df) == std::abs(dr));
      if (aligned) {
        int stepF = (df > 0) - (df < 0), stepR = (dr > 0) - (dr < 0);
        for (int f = fileOf(a) + stepF, r = rankOf(a) + stepR; f + 8 * r != b;
             f += stepF, r += stepR)
          expected |= bitOf(f + 8 * r);
      }
      ASSERT_EQ(between[a][b], expected) << a << "-" << b;
      ASSERT_EQ(between[a][b], between[b][a]) << a << "-" << b;
    }
  }
}

TEST_F(Tables, RankAttacksStopAtTheFirstOccupiedFileEachWay) {
  struct Case {
    int file;
    int occupancy;
    int expected;
  };
  const Case cases[] = {
      {4, 0b01010010, 0b01101110},  // e with b, e, g: b c d f g
      {0, 0b00000000, 0b11111110}, {0, 0b00000011, 0b00000010}, {7, 0b11111111, 0b01000000},
      {3, 0b00001000, 0b11110111}, {3, 0b10000001, 0b11110111},
  };
  for (const Case& c : cases)
    EXPECT_EQ(rankAttacks[c.file][c.occupancy], c.expected) << c.file << " " << c.occupancy;
}

TEST_F(Tables, LineHintCoversLinesKnightJumpsAndOffsetsAcrossTheEdge) {
  for (const char* s : {"e8", "a5", "b4", "h4", "d3", "f3", "d2", "h1", "c2", "g2"})
    EXPECT_EQ(lineHint[sq("e1")][sq(s)], 2) << s;
  for (const char* s : {"e1", "b3", "a4", "c4", "h5"}) EXPECT_EQ(lineHint[sq("e1")][sq(s)], 0) << s;
  // h1 + 9 wraps to a3; h1 + 17 is no knight jump.
  EXPECT_EQ(lineHint[sq("h1")][sq("a3")], 2);
  EXPECT_EQ(lineHint[sq("h1")][sq("a4")], 0);
  EXPECT_EQ(lineHint[sq("a3")][sq("h1")], 2);
}

TEST_F(Tables, DiagonalEndsAgreeWithTheRays) {
  EXPECT_EQ(diagonalEnd[DIAG_NE][sq("a1")], sq("h8"));
  EXPECT_EQ(diagonalEnd[DIAG_SW][sq("a1")], sq("a1"));
  EXPECT_EQ(diagonalEnd[DIAG_NW][sq("h1")], sq("a8"));
  EXPECT_EQ(diagonalEnd[DIAG_SE][sq("c6")], sq("h1"));
  EXPECT_EQ(diagonalEnd[DIAG_NW][sq("c6")], sq("a8"));
  const Bitboard* rays[4] = {rayNorthEast, rayNorthWest, raySouthEast, raySouthWest};
  for (int dir = 0; dir < 4; dir++) {
    for (int k = 0; k < 64; k++) {
      Bitboard ray = rays[dir][k];
      int farthest = k;
      for (Bitboard b = ray; b;) {
        int s = popLowestBit(b);
        if (kingDistance[k][s] > kingDistance[k][farthest]) farthest = s;
      }
      EXPECT_EQ(diagonalEnd[dir][k], farthest) << dir << " " << k;
      for (int s = 0; s < 64; s++) {
        int expected = (ray & bitOf(s)) ? farthest : NO_SQUARE;
        ASSERT_EQ(diagonalEndFrom[dir][k][s], expected) << dir << " " << k << " " << s;
      }
    }
  }
}

TEST_F(Tables, RaysUnionsAndDistance) {
  EXPECT_EQ(rayNorth[sq("e6")], maskOf({"e7", "e8"}));
  EXPECT_EQ(rayWest[sq("c3")], maskOf({"a3", "b3"}));
  EXPECT_EQ(raySouthEast[sq("f3")], maskOf({"g2", "h1"}));
  EXPECT_EQ(rayNorthWest[sq("b6")], maskOf({"a7"}));
  for (int s = 0; s < 64; s++) {
    EXPECT_EQ(popCount(rookRays[s]), 14) << s;
    EXPECT_EQ(rookRays[s] & bishopRays[s], 0u) << s;
  }
  EXPECT_EQ(popCount(bishopRays[sq("d4")]), 13);
  EXPECT_EQ(kingDistance[sq("a1")][sq("h8")], 7);
  EXPECT_EQ(kingDistance[sq("e4")][sq("f6")], 2);
  EXPECT_EQ(kingDistance[sq("c3")][sq("c3")], 0);
}

TEST_F(Tables, MasksAndSpans) {
  struct Case {
    const char* what;
    Bitboard actual, expected;
  };
  const Case cases[] = {
      {"ranksUpTo 1", ranksUpTo[0], 0xFFull},
      {"ranksUpTo 8", ranksUpTo[7], ~0ull},
      {"ranksFrom 3", ranksFrom[2], ~0ull << 16},
      {"filesUpTo c", filesUpTo[2], queensideFiles},
      {"filesFrom f", filesFrom[5], kingsideFiles},
      {"adjacent a", adjacentFiles[0], fileMask[1]},
      {"adjacent e", adjacentFiles[4], fileMask[3] | fileMask[5]},
      {"notFile h", notFileMask[7], ~(0x0101010101010101ull << 7)},
      {"forward white 6", forwardRanks[WHITE][5], rankMask[6] | rankMask[7]},
      {"forward black 2", forwardRanks[BLACK][1], rankMask[0]},
      {"front white e5", frontSpan[WHITE][sq("e5")], maskOf({"e6", "e7", "e8"})},
      {"front black b3", frontSpan[BLACK][sq("b3")], maskOf({"b2", "b1"})},
      {"sides white h6", passedSpanSides[WHITE][sq("h6")], maskOf({"g7", "g8"})},
      {"passed black a3", passedSpan[BLACK][sq("a3")], maskOf({"a2", "a1", "b2", "b1"})},
      {"neighbours white e4", pawnNeighbours[WHITE][sq("e4")], maskOf({"d4", "f4", "d3", "f3"})},
      {"neighbours white e2", pawnNeighbours[WHITE][sq("e2")], maskOf({"d2", "f2"})},
      {"neighbours white a3", pawnNeighbours[WHITE][sq("a3")], maskOf({"b3", "b2"})},
      {"neighbours black e7", pawnNeighbours[BLACK][sq("e7")], maskOf({"d7", "f7"})},
      {"neighbours black h6", pawnNeighbours[BLACK][sq("h6")], maskOf({"g6", "g7"})},
      {"trap squares mirror", mirrorRanks(bishopTrapSquaresWhite), bishopTrapSquaresBlack},
      {"trap pawns mirror", mirrorRanks(bishopTrapPawnsBlack), bishopTrapPawnsWhite},
      {"trap squares white", bishopTrapSquaresWhite, maskOf({"a6", "h6", "a7", "h7", "b8", "g8"})},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
  for (int f = 0; f < 8; f++) EXPECT_EQ(fileBit[f], 1 << f);
}

TEST_F(Tables, BuildingTwiceGivesTheSameTables) {
  std::vector<uint8_t> before(sizeof(between) + sizeof(diagonalEndFrom) + sizeof(kpkTable));
  auto snapshot = [](std::vector<uint8_t>& out) {
    uint8_t* at = out.data();
    std::memcpy(at, between, sizeof(between));
    std::memcpy(at += sizeof(between), diagonalEndFrom, sizeof(diagonalEndFrom));
    std::memcpy(at + sizeof(diagonalEndFrom), kpkTable, sizeof(kpkTable));
  };
  snapshot(before);
  initTables();
  std::vector<uint8_t> after(before.size());
  snapshot(after);
  EXPECT_TRUE(before == after);
  EXPECT_EQ(listOf(knightJumps[sq("a1")]), squaresOf({"b3", "c2"}));
}

}  // namespace
