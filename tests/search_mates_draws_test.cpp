// Mates and draws found by the in-process search: the move it would play and the score its last
// iteration reported.
#include <gtest/gtest.h>

#include "search/constants.h"
#include "tests/search_test_support.h"

namespace {

int mateIn(int moves) { return MATE_BASE + 1 - 2 * moves; }
int matedIn(int moves) { return -(MATE_BASE - 2 * moves); }

struct MateCase {
  const char* name;
  const char* fen;  // white to move; every case is also run mirrored with black to move
  int depth;
  int moves;          // mate in this many moves
  const char* move;   // the only mating first move, or nullptr when several exist
};

const MateCase mateCases[] = {
    {"back rank", "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", 4, 1, "d1d8"},
    {"smothered", "6rk/6pp/8/6N1/8/8/8/6K1 w - - 0 1", 4, 1, "g5f7"},
    {"knight under-promotion", "6bq/5Ppk/7p/8/8/8/8/K7 w - - 0 1", 4, 1, "f7f8n"},
    {"en passant opens the rank", "5B2/4N3/8/R2pP2k/8/6K1/8/8 w - d6 0 1", 4, 1, "e5d6"},
    {"sacrifice then mate", "r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1",
     6, 2, "d5f6"},
    {"rook ladder", "7k/8/8/8/8/8/1R6/R5K1 w - - 0 1", 6, 2, nullptr},
    {"king and rook", "2k5/8/8/2K5/8/8/8/7R w - - 0 1", 10, 3, nullptr},
};

TEST(SearchMates, FindsTheMateForEitherColour) {
  for (const MateCase& c : mateCases) {
    for (bool mirrored : {false, true}) {
      std::string fen = mirrored ? mirrorFen(c.fen) : c.fen;
      SearchOutcome result = searchFen(fen, c.depth);
      SCOPED_TRACE(std::string(c.name) + (mirrored ? " (black)" : " (white)") + ": " + fen);
      EXPECT_EQ(result.score, mateIn(c.moves));
      if (c.move) {
        EXPECT_EQ(result.best, mirrored ? mirrorMove(c.move) : std::string(c.move));
      }
    }
  }
}

TEST(SearchMates, MatedInOneReportsTheNegativeMate) {
  // The only king move walks into the rook's mate.
  for (bool mirrored : {false, true}) {
    std::string fen = "k7/8/1K6/8/8/8/8/7R b - - 0 1";
    if (mirrored) fen = mirrorFen(fen);
    SearchOutcome result = searchFen(fen, 4);
    EXPECT_EQ(result.score, matedIn(1)) << fen;
    EXPECT_EQ(result.best, mirrored ? "a1b1" : "a8b8") << fen;
  }
}

// Black is a queen and a rook up; only a draw can save white.
const char* const LOST_FOR_WHITE = "1qr4k/p7/8/8/8/8/P7/7K w - - 0 1";

TEST(SearchDraws, RepetitionOfAGameLinePositionBeforeTheRoot) {
  SearchOutcome alone = searchFen(LOST_FOR_WHITE, 6);
  EXPECT_LT(alone.score, -500);
  // The same root reached by a king walk: going back to g1 repeats the position after 1. Kg1.
  SearchOutcome repeated = searchFen(LOST_FOR_WHITE, 6, {"h1g1", "h8g8", "g1h1", "g8h8"});
  EXPECT_EQ(repeated.score, 0);
  EXPECT_EQ(repeated.best, "h1g1");
}

TEST(SearchDraws, NoRepetitionAcrossAnIrreversibleMove) {
  // The pawn move between the two visits makes the earlier position unreachable.
  SearchOutcome result = searchFen("1qr4k/p7/8/8/8/8/P7/7K w - - 0 1", 6,
                                   {"h1g1", "a7a6", "g1h1", "h8g8", "h1g1", "g8h8", "g1h1", "a6a5"});
  EXPECT_LT(result.score, -500);
}

TEST(SearchDraws, FiftyMoveRule) {
  SearchOutcome fresh = searchFen("1qr4k/p7/8/8/8/8/P7/7K w - - 0 80", 5);
  EXPECT_LT(fresh.score, -500);
  // Any king move is the hundredth reversible ply.
  SearchOutcome late = searchFen("1qr4k/p7/8/8/8/8/P7/7K w - - 99 80", 5);
  EXPECT_EQ(late.score, 0);
  EXPECT_TRUE(late.best == "h1g1" || late.best == "h1g2") << late.best;
}

TEST(SearchDraws, InsufficientMaterialScoresZero) {
  const char* const draws[] = {"8/8/4k3/8/8/3BK3/8/8 w - - 0 1", "8/8/4k3/8/8/3NK3/8/8 b - - 0 1",
                               "8/8/4k3/8/8/4K3/8/8 w - - 0 1"};
  for (const char* fen : draws) EXPECT_EQ(searchFen(fen, 6).score, 0) << fen;
  EXPECT_GT(searchFen("8/8/4k3/8/8/3RK3/8/8 w - - 0 1", 6).score, 300);
}

}  // namespace
