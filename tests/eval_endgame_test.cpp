// Endgame knowledge, the blend and the scaling of drawish material.
#include <gtest/gtest.h>

#include <random>

#include "board/kpk.h"
#include "eval/eval_internal.h"
#include "tests/eval_test_support.h"

using EvalEndgame = EvalTest;

namespace {

struct Expected {
  const char* fen;
  int whiteView;
};

void expectExactScores(const std::vector<Expected>& cases) {
  for (const Expected& c : cases) {
    EXPECT_EQ(whiteEvalOf(c.fen), c.whiteView) << c.fen;
    EXPECT_EQ(whiteEvalOf(mirrorFen(c.fen)), -c.whiteView) << mirrorFen(c.fen);
  }
}

}  // namespace

TEST_F(EvalEndgame, BishopKnightMateScoresMoreInTheBishopsCorner) {
  expectExactScores({
      // Dark bishop, king in the dark corner h8, kings two apart: 6000 + 100 + 200.
      {"7k/8/5K2/8/8/8/8/2B1N3 w - - 0 1", 6300},
      // Light bishop, same king: the wrong corner.
      {"7k/8/5K2/8/8/8/8/3BN3 w - - 0 1", 6230},
      // Light bishop, king in the light corner a8.
      {"k7/8/2K5/8/8/8/8/3BN3 b - - 0 1", 6300},
      // Dark bishop, defending king in the middle, kings three apart: 6000 + 80 + 120.
      {"8/8/8/4k3/8/8/2K5/2B1N3 w - - 0 1", 6200},
  });
}

TEST_F(EvalEndgame, BareKingAgainstRookOrMoreIsWon) {
  expectExactScores({
      // 6000 + KingProximity[5] + EdgeBonus[a8].
      {"k7/8/8/8/8/2K5/8/7R b - - 0 1", 6140},
      // More than enough material takes the same rule.
      {"k7/8/8/8/8/2K5/8/6QR w - - 0 1", 6140},
      {"8/8/8/3k4/8/8/8/K6R w - - 0 1", 6000 + 60 + 20},
  });
}

TEST_F(EvalEndgame, NothingToMateWithIsADraw) {
  expectExactScores({
      {"8/8/8/3k4/8/8/8/K5B1 w - - 0 1", 0},
      {"8/8/8/3k4/8/2n5/8/K5B1 w - - 0 1", 0},
      {"7r/8/8/3k4/8/8/8/K6R w - - 0 1", 0},
  });
}

TEST_F(EvalEndgame, RookAgainstMinorGivesTheRookASmallEdge) {
  expectExactScores({
      // Black rook against a knight: -((KingProximity[2] + EdgeBonus[a1]) >> 3).
      {"7r/8/8/8/8/2k5/8/K6N w - - 0 1", -25},
      {"7r/8/8/8/4k3/8/8/3K3B b - - 0 1", -((80 + 70) >> 3)},
  });
}

TEST_F(EvalEndgame, KingAndPawnFollowsTheTable) {
  // Table entries as the table documents them: win, draw, stalemate.
  const std::vector<Expected> drawn = {
      {"8/4k3/8/4K3/4P3/8/8/8 w - - 0 1", 0},
      {"k7/8/K7/P7/8/8/8/8 w - - 0 1", 0},
      {"k7/8/K7/P7/8/8/8/8 b - - 0 1", 0},
      {"k7/P7/1K6/8/8/8/8/8 b - - 0 1", 0},  // stalemate reads as a draw
      {"4k3/8/8/8/8/8/4P3/4K3 b - - 0 1", 0},
  };
  expectExactScores(drawn);
  for (const char* won : {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", "4k3/8/4K3/4P3/8/8/8/8 b - - 0 1",
                          "8/4k3/8/4K3/4P3/8/8/8 b - - 0 1", "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1"}) {
    EXPECT_GT(whiteEvalOf(won), 5500) << won;
    EXPECT_LT(whiteEvalOf(mirrorFen(won)), -5500) << mirrorFen(won);
  }
}

TEST_F(EvalEndgame, KingAndPawnAgreesWithTheTableOverRandomPositions) {
  std::mt19937 random(20240611);
  int checked = 0;
  while (checked < 400) {
    const int whiteKing = int(random() % 64), pawn = 8 + int(random() % 48);
    const int blackKing = int(random() % 64);
    const int blackToMove = int(random() % 2);
    if (whiteKing == pawn || blackKing == pawn || kingDistance[whiteKing][blackKing] < 2) continue;
    std::string placement;
    for (int rank = 7; rank >= 0; --rank) {
      int gap = 0;
      for (int file = 0; file < 8; ++file) {
        const int sq = rank * 8 + file;
        const char piece = sq == whiteKing ? 'K' : sq == blackKing ? 'k' : sq == pawn ? 'P' : 0;
        if (!piece) {
          ++gap;
          continue;
        }
        if (gap) placement += char('0' + gap);
        gap = 0;
        placement += piece;
      }
      if (gap) placement += char('0' + gap);
      if (rank) placement += '/';
    }
    const std::string fen = placement + (blackToMove ? " b - - 0 1" : " w - - 0 1");
    EvalPosition p;
    if (!setPosition(p.board, p.state, fen.c_str())) continue;  // side not to move in check
    const bool wins = kpkTable[kpkIndex(blackToMove, whiteKing, pawn, blackKing)] > 0;
    const int score = freshWhiteEval(p.board, p.state);
    if (wins)
      EXPECT_GT(score, 5000) << fen;
    else
      EXPECT_EQ(score, 0) << fen;
    EXPECT_EQ(whiteEvalOf(mirrorFen(fen)), -score) << mirrorFen(fen);
    ++checked;
  }
}

TEST_F(EvalEndgame, RookAndPawnDrawPatternsScoreZero) {
  expectExactScores({
      // Defending king in front, rook on the third rank from home.
      {"4k3/8/r7/8/4P3/4K3/8/4R3 w - - 0 1", 0},
      {"4k3/8/r7/8/4P3/4K3/8/4R3 b - - 0 1", 0},
      // Pawn on the sixth, king in front, rook checking from the first rank.
      {"4k3/7R/4P3/5K2/8/8/8/r7 w - - 0 1", 0},
      // Rook pawn on the seventh, rook in front of it, defending king on g7.
      {"R7/P5k1/8/8/8/8/r7/4K3 w - - 0 1", 0},
      {"R7/P5k1/1K6/8/8/8/r7/8 b - - 0 1", 0},
      // The same on the h-file.
      {"7R/1k5P/8/8/8/8/7r/3K4 w - - 0 1", 0},
      {"R7/P5k1/3K4/8/1r6/8/8/8 b - - 0 1", 0},
  });
  // Outside the patterns the extra pawn counts.
  for (const char* open : {"R7/P5k1/1K6/8/8/8/r7/8 w - - 0 1", "R7/P5k1/3K4/8/1r6/8/8/8 w - - 0 1",
                           "8/4k3/8/8/4P3/4K3/8/r3R3 w - - 0 1"}) {
    EXPECT_GT(whiteEvalOf(open), 0) << open;
    EXPECT_LT(whiteEvalOf(mirrorFen(open)), 0) << mirrorFen(open);
  }
}

TEST_F(EvalEndgame, BlendFollowsThePhase) {
  struct Case {
    const char* fen;
    int mg, eg, expected;
  } cases[] = {
      // Full set of pieces: phase 0, middle game only.
      {START_FEN, 100, 300, 100},
      // Kings and pawns: phase 24 cut to 20, end game only.
      {"4k3/pppp4/8/8/8/8/PPPP4/4K3 w - - 0 1", 100, 300, 300},
      // A queen and a rook each: phase 12, weight (256 * 12 + 10) / 20 = 154.
      {"r2qk3/pp6/8/8/8/8/PP6/R2QK3 w - - 0 1", 100, 300, (154 * 300 + 102 * 100) / 256},
      {"r2qk3/pp6/8/8/8/8/PP6/R2QK3 w - - 0 1", -100, -300, -((154 * 300 + 102 * 100) / 256)},
      // Five queens each: the phase goes negative and the middle game weighs more than all.
      {"qqqqqk2/8/8/8/8/8/8/QQQQQK2 w - - 0 1", 100, 300,
       ((256 * -16 + 10) / 20 * 300 + (256 - (256 * -16 + 10) / 20) * 100) / 256},
  };
  for (const Case& c : cases) {
    EvalPosition p;
    ASSERT_TRUE(setEvalPosition(p, c.fen)) << c.fen;
    EXPECT_EQ(blendAndScale(p.board, c.mg, c.eg), c.expected) << c.fen;
  }
}

TEST_F(EvalEndgame, ScalingOfDrawishMaterial) {
  struct Case {
    const char* fen;
    int mgAndEg, expected;
  } cases[] = {
      // Bishops of opposite colours with pawns: three quarters.
      {"2b1k3/p7/8/8/8/8/PP6/2B1K3 w - - 0 1", 400, 300},
      {"2b1k3/p7/8/8/8/8/PP6/2B1K3 w - - 0 1", -401, -302},  // (-401 >> 1) + (-401 >> 2)
      // Bishops of the same colour: untouched.
      {"4kb2/p7/8/8/8/8/PP6/2B1K3 w - - 0 1", 400, 400},
      // One white pawn on rank 5 or lower as well: another quarter of that.
      {"2b1k3/8/8/8/P7/8/8/2B1K3 w - - 0 1", 400, 300 >> 2},
      {"2b1k3/8/8/P7/8/8/8/2B1K3 w - - 0 1", 400, 300 >> 2},
      {"2b1k3/8/P7/8/8/8/8/2B1K3 w - - 0 1", 400, 300},
      // Rook and bishop against rook: an eighth, then three quarters for lacking pawns.
      {"4k2r/8/8/8/8/8/8/2B1K2R w - - 0 1", 400, (50 >> 1) + (50 >> 2)},
      {"4k2r/8/8/8/8/8/8/2B1K2R w - - 0 1", 100, 75},  // below 101: only the pawn rule
      // Two minors against a rook: a quarter, then three quarters.
      {"4k2r/8/8/8/8/8/8/1NB1K3 w - - 0 1", 400, (100 >> 1) + (100 >> 2)},
      // Queen and knight against queen: an eighth, then three quarters for lacking pawns.
      {"3qk3/8/8/8/8/8/8/3QK1N1 w - - 0 1", 800, 75},
      // A lone minor cannot win: 0 without enemy pawns, -1 with.
      {"4k3/8/8/8/8/8/8/2B1K3 w - - 0 1", 400, 0},
      {"4k3/p7/8/8/8/8/8/2B1K3 w - - 0 1", 400, -1},
  };
  for (const Case& c : cases) {
    EvalPosition p;
    ASSERT_TRUE(setEvalPosition(p, c.fen)) << c.fen;
    EXPECT_EQ(blendAndScale(p.board, c.mgAndEg, c.mgAndEg), c.expected) << c.fen;
    // The mirror position, scaled the other way round.
    EvalPosition m;
    ASSERT_TRUE(setEvalPosition(m, mirrorFen(c.fen))) << mirrorFen(c.fen);
    if (c.mgAndEg >= 0 && c.expected >= 0) {
      const int scaledNegative = blendAndScale(m.board, -c.mgAndEg, -c.mgAndEg);
      EXPECT_LE(scaledNegative, -c.expected + 1) << mirrorFen(c.fen);
      EXPECT_GE(scaledNegative, -c.expected - 2) << mirrorFen(c.fen);  // shifts round down
    }
  }
}
