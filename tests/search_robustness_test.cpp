// Many positions at small depth: the search always answers with a legal move (the null move only
// without one), survives interrupted searches, and leaves the board tables as it found them.
// Run under the sanitizer build, this is the search's memory and undefined-behaviour check.
#include <gtest/gtest.h>

#include "board/movegen.h"
#include "search/bench.h"
#include "tests/search_test_support.h"

namespace {

const char* const extraPositions[] = {
    "8/P7/8/8/8/8/7k/K7 w - - 0 1",                                  // promotion race
    "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1",                          // castling both ways
    "4k3/8/8/2pP4/8/8/8/4K3 w - c6 0 1",                             // en passant available
    "3k4/3r4/8/8/8/8/3Q4/3K4 w - - 0 1",                             // pinned rook
    "4k3/4r3/8/8/8/8/4R3/4K3 w - - 99 120",                          // fifty-move edge
    "rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 2", // mate available
    "7k/8/8/8/8/8/8/K5Q1 w - - 0 1",
    "2r2rk1/1bqnbppp/pp1ppn2/8/2PNP3/1PN1BP2/P2QB1PP/2RR2K1 w - - 0 1",
    "8/8/8/8/8/4k3/4p3/4K3 w - - 0 1",                               // stalemate net
    "QQQQQ3/QQQQQ3/8/8/8/8/8/K6k b - - 0 1",                        // ten queens
};

TEST(SearchRobustness, EveryPositionGetsALegalAnswer) {
  std::vector<std::string> fens(benchPositions, benchPositions + benchPositionCount);
  fens.insert(fens.end(), std::begin(extraPositions), std::end(extraPositions));
  for (const std::string& fen : fens) {
    ASSERT_TRUE(setGameLine(fen, {})) << fen;
    SearchOutcome result = searchFen(fen, 5);
    EXPECT_TRUE(legalIn(fen, result.best)) << fen << " played " << result.best;
    EXPECT_LT(std::abs(result.score), 10000) << fen;
  }
}

TEST(SearchRobustness, InterruptedSearchesLeaveNothingBehind) {
  const std::string fen = benchPositions[1];
  ASSERT_TRUE(setGameLine(fen, {}));
  const Board before = gameBoards[0];
  uint8_t origins[64];
  std::memcpy(origins, originOf, sizeof origins);
  // Node limits cut the search at many different places; each answer is still legal.
  for (long long nodes : {1LL, 2LL, 17LL, 333LL, 4099LL, 20000LL}) {
    SearchOutcome result = searchGameLine(64, nodes);
    EXPECT_TRUE(legalIn(fen, result.best)) << nodes;
    EXPECT_EQ(result.nodes, nodes + 1);
  }
  EXPECT_EQ(std::memcmp(&before, &gameBoards[0], sizeof before), 0);
  EXPECT_EQ(std::memcmp(origins, originOf, sizeof origins), 0);
  // A full search afterwards is the same as one on fresh tables.
  SearchOutcome after = searchGameLine(6);
  SearchOutcome fresh = searchFen(fen, 6);
  EXPECT_EQ(after.best, fresh.best);
  EXPECT_EQ(after.nodes, fresh.nodes);
}

}  // namespace
