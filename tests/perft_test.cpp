// Perft: the published counts of the standard positions, and the counting rules of the command.
#include <gtest/gtest.h>

#include "board/perft.h"
#include "search/counters.h"
#include "tests/test_support.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int IN_PROCESS_DEPTH = 3;  // sanitizer builds are slow; the Release run goes deeper
#else
constexpr int IN_PROCESS_DEPTH = 4;
#endif

long long runPerft(const std::string& fen, int depth) {
  static Board board;
  static PlyState state;
  EXPECT_TRUE(setTestPosition(board, state, fen)) << fen;
  iterationDepth = depth;
  nodeCount = 0;
  clearKillersAndHistory();
  perft(board, state, 1);
  return nodeCount;
}

}  // namespace

TEST(PerftCounts, StandardPositionsMatchPublishedCounts) {
  std::vector<PerftCase> cases = loadPerftCases();
  ASSERT_EQ(cases.size(), 7u) << "the shared perft file was not found or changed";
  for (const PerftCase& c : cases)
    for (int depth = 1; depth <= IN_PROCESS_DEPTH && depth < int(c.counts.size()); ++depth)
      EXPECT_EQ(runPerft(c.fen, depth), c.counts[depth]) << c.fen << " depth " << depth;
}

TEST(PerftCounts, DepthZeroCountsLikeDepthOne) {
  EXPECT_EQ(runPerft(START_FEN, 0), 20);
  EXPECT_EQ(runPerft(START_FEN, 1), 20);
}

TEST(PerftCounts, MatedAndStalematedSidesHaveNoMoves) {
  const char* noMoves[] = {
      "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",  // fool's mate
      "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",                                 // stalemate
  };
  for (const char* fen : noMoves)
    for (int depth = 1; depth <= 3; ++depth) EXPECT_EQ(runPerft(fen, depth), 0) << fen;
}

TEST(PerftCounts, DoubleCheckAllowsOnlyKingMoves) {
  // The black king on e8 is checked by the rook on e1 and the knight on d6: d8, f8 and d7 remain.
  EXPECT_EQ(runPerft("4k3/8/3N4/8/8/8/8/4R1K1 b - - 0 1", 1), 3);
}

TEST(PerftCounts, ManyPromotedPiecesStayExact) {
  // Ten pieces of one code must neither crash nor lose a piece on the way down.
  const char* race = "8/PPPPPPPP/8/3k4/8/3K4/pppppppp/8 w - - 0 1";
  // Eight pawns promote four ways each; the king on d3 has c3, e3, c4 and e4 (d2/d4 are taken
  // or guarded... counted by the generator, so only a lower bound is stated here).
  EXPECT_GE(runPerft(race, 1), 8 * 4);
  EXPECT_GT(runPerft(race, 3), 0);
}
