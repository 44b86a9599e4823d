// Perft: the published counts of the standard positions, counted in process.
#include <gtest/gtest.h>

#include "board/perft.h"
#include "search/counters.h"
#include "tests/test_support.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int IN_PROCESS_DEPTH = 3;  // sanitizer builds are slow; the Release run goes deeper
#else
constexpr int IN_PROCESS_DEPTH = 5;
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
