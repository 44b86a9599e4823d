#include "board/kpk.h"

#include <gtest/gtest.h>

#include <string>

#include "board/tables.h"

namespace {

int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

int whiteToMove(const char* k, const char* p, const char* b) {
  return kpkTable[kpkIndex(0, sq(k), sq(p), sq(b))];
}
int blackToMove(const char* k, const char* p, const char* b) {
  return kpkTable[kpkIndex(1, sq(k), sq(p), sq(b))];
}

class Kpk : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { initTables(); }
};

TEST_F(Kpk, KnownPositions) {
  struct Case {
    const char *whiteKing, *pawn, *blackKing;
    int white, black;  // expected entries for White and Black to move
    const char* why;
  };
  const Case cases[] = {
      {"e6", "e5", "e8", 1, 1, "king in front with the opposition either way"},
      {"e5", "e4", "e7", 0, 1, "White to move loses the opposition"},
      {"e1", "e2", "e8", 1, 0, "the pawn's double step decides"},
      {"a6", "a5", "a8", 0, 0, "rook pawn with the king in the corner"},
      {"b6", "a7", "a8", 0, -2, "Black is stalemated"},
      {"h1", "a5", "h8", 1, 1, "the black king is outside the pawn's square"},
      {"h1", "a5", "c6", 0, 0, "the black king catches the pawn"},
      {"e6", "e7", "e8", 1, -2, "Black to move is stalemated; White to move wins"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.whiteKing) + " " + c.pawn + " " + c.blackKing + ": " + c.why);
    EXPECT_EQ(whiteToMove(c.whiteKing, c.pawn, c.blackKing), c.white);
    EXPECT_EQ(blackToMove(c.whiteKing, c.pawn, c.blackKing), c.black);
  }
}

TEST_F(Kpk, TakingTheKingAndImpossibleSquares) {
  EXPECT_EQ(whiteToMove("f5", "e4", "e6"), 2);  // kings touch
  EXPECT_EQ(whiteToMove("a1", "e4", "d5"), 2);  // the pawn gives check
  EXPECT_EQ(whiteToMove("a1", "a4", "b5"), 2);
  EXPECT_NE(whiteToMove("a1", "h4", "a6"), 2);  // h4 + 9 is a6, but only across the edge
  EXPECT_NE(whiteToMove("h1", "a4", "h4"), 2);  // a4 + 7 likewise
  EXPECT_EQ(whiteToMove("c3", "c3", "h8"), -1);
  EXPECT_EQ(blackToMove("c3", "c3", "h8"), -1);
  EXPECT_EQ(whiteToMove("c3", "e4", "c3"), -1);
  EXPECT_EQ(blackToMove("c3", "e4", "c3"), 3);
  EXPECT_EQ(blackToMove("c3", "e4", "e4"), -3);
}

TEST_F(Kpk, PawnOnTheEighthRankHasPromoted) {
  for (int p = 56; p < 64; p++) {
    for (int k = 0; k < 64; k++) {
      for (int b = 0; b < 64; b++) {
        int entry = kpkTable[kpkIndex(0, k, p, b)];
        int expected = 1;
        if (b == k || k == p)
          expected = -1;
        else if (b == p)
          expected = kingDistance[k][p] == 1 ? 2 : 0;
        ASSERT_EQ(entry, expected) << k << " " << p << " " << b;
      }
    }
  }
}

// Nothing in the rules tells the queen's side from the king's, so mirrored files must agree.
TEST_F(Kpk, MirroringTheFilesChangesNothing) {
  for (int half = 0; half < 2; half++)
    for (int k = 0; k < 64; k++)
      for (int p = 0; p < 64; p++)
        for (int b = 0; b < 64; b++)
          ASSERT_EQ(kpkTable[kpkIndex(half, k, p, b)],
                    kpkTable[kpkIndex(half, k ^ 7, p ^ 7, b ^ 7)])
              << half << " " << k << " " << p << " " << b;
}

}  // namespace
