// The search in-process: exchange values of known positions, mates and draws found, mate scores
// kept by distance in the table, node limits that hold exactly, and legal answers everywhere.
#include <gtest/gtest.h>

#include <cstring>

#include "board/makemove.h"
#include "frontend/bench.h"
#include "search/constants.h"
#include "search/exchange.h"
#include "search/tt.h"
#include "tests/support.h"

namespace {

// Ordering values of the hand-set table: pawn 90, knight and bishop 335, rook 477, queen 975; a
// king counts 0 as the mover and is never given up as a recapturer.
TEST(StaticExchange, KnownResults) {
  struct Case {
    const char *fen, *move;
    int value;
  } const cases[] = {
      {"4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", "e4d5", 245},    // pawn takes knight
      {"4k3/8/4p3/3p4/8/8/8/3RK3 w - - 0 1", "d1d5", -387},  // rook takes a guarded pawn
      {"4k3/8/8/3p4/8/8/8/3RK3 w - - 0 1", "d1d5", 90},      // a free pawn
      {"4k3/5n2/8/4p3/8/3N4/8/4K3 w - - 0 1", "d3e5", -245},
      {"4k3/5n2/8/4p3/8/3N4/1B6/4K3 w - - 0 1", "d3e5", 90},  // the second attacker wins it
      {"4k3/5n2/8/4p3/3B4/3N4/8/4K3 w - - 0 1", "d4e5", 90},
      {"4k3/8/4p3/3n4/8/1B6/8/4K3 w - - 0 1", "b3d5", 0},
      {"4k3/8/8/3r4/8/1b6/8/3QK3 w - - 0 1", "d1d5", -163},
      {"4k3/8/8/8/8/8/4p3/4K3 w - - 0 1", "e1e2", 0},         // a king capture counts 0
      {"4k3/8/2p5/8/8/2N5/8/4K3 w - - 0 1", "c3d5", -335},    // a quiet move into a pawn's attack
      {"3qk3/3r4/8/3p4/8/8/3R4/3RK3 w - - 0 1", "d2d5", 90},  // no x-rays
      {"8/8/4k3/3p4/8/8/8/3RK3 w - - 0 1", "d1d5", -387},     // the king recaptures
      {"8/8/4k3/3p4/8/1B6/8/3RK3 w - - 0 1", "d1d5", 90},     // but not a guarded piece
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", 90},      // en passant
      {"4k3/8/8/3p4/4P3/8/8/4K3 b - - 0 1", "d5e4", 90},
      {"4k3/8/8/3q4/4P3/5P2/8/4K3 b - - 0 1", "d5e4", -885},
  };
  const HandSetTable handSet;
  for (const Case& c : cases) {
    Position p(c.fen);
    const Move move = findLegalMove(p.board, p.state, c.move);
    ASSERT_FALSE(isNoMove(move)) << c.fen << " " << c.move;
    EXPECT_EQ(staticExchange(p.board, p.state, move), c.value) << c.fen << " " << c.move;
  }
}

int mateIn(int moves) { return MATE_BASE + 1 - 2 * moves; }

TEST(SearchMates, FoundForEitherColourAtTheirDistance) {
  struct Case {
    const char* fen;  // white to move; also run mirrored with black to move
    int depth, moves;
    const char* move;  // the only mating move, or nullptr
  } const cases[] = {
      {"6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", 4, 1, "d1d8"},
      {"6rk/6pp/8/6N1/8/8/8/6K1 w - - 0 1", 4, 1, "g5f7"},      // smothered
      {"6bq/5Ppk/7p/8/8/8/8/K7 w - - 0 1", 4, 1, "f7f8n"},      // under-promotion
      {"5B2/4N3/8/R2pP2k/8/6K1/8/8 w - d6 0 1", 4, 1, "e5d6"},  // en passant
      {"r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1", 6, 2, "d5f6"},
      {"7k/8/8/8/8/8/1R6/R5K1 w - - 0 1", 6, 2, nullptr},
      {"2k5/8/8/2K5/8/8/8/7R w - - 0 1", 14, 3, nullptr},
  };
  for (const Case& c : cases) {
    for (bool mirrored : {false, true}) {
      SearchOutcome r = searchFen(mirrored ? mirrorFen(c.fen) : c.fen, c.depth);
      EXPECT_EQ(r.score, mateIn(c.moves)) << c.fen << (mirrored ? " mirrored" : "");
      if (!c.move) continue;
      EXPECT_EQ(r.best, mirrored ? mirrorMove(c.move) : c.move) << c.fen;
    }
  }
  // The only king move walks into the mate.
  EXPECT_EQ(searchFen("k7/8/1K6/8/8/8/8/7R b - - 0 1", 4).score, -(MATE_BASE - 2));
}

// A mate found at one ply and read back at another is as many plies nearer or farther.
TEST(TranspositionTable, MateScoresKeepTheirDistanceFromTheNode) {
  initEngineTables();
  clearAllHashTables();
  const uint64_t key = 0x123456789abcdef0ULL;
  for (int value : {MATE_BASE - 3, -(MATE_BASE - 8), 250, -400}) {
    for (int stored : {1, 6}) {
      ttStore(value, stored, 5, key, BOUND_EXACT, NO_MOVE, 0);
      for (int read : {2, 9}) {
        const int mate = std::abs(value) >= MATE_THRESHOLD ? (value > 0 ? 1 : -1) : 0;
        TtEntry entry;
        ASSERT_TRUE(ttProbe(key, entry));
        EXPECT_EQ(ttValueFromStore(entry.value, read), value - mate * (read - stored))
            << value << " stored at ply " << stored << ", read at " << read;
      }
      clearAllHashTables();
    }
  }
}

// Black is a queen and a rook up: only a draw saves white.
const char* const LOST = "1qr4k/p7/8/8/8/8/P7/7K w - - 0 1";

TEST(SearchDraws, RepetitionFiftyMovesAndBareMaterial) {
  EXPECT_LT(searchFen(LOST, 6).score, -500);
  // Going back to g1 repeats a position of the game line before the root.
  SearchOutcome repeated = searchFen(LOST, 6, "h1g1 h8g8 g1h1 g8h8");
  EXPECT_EQ(repeated.score, 0);
  EXPECT_EQ(repeated.best, "h1g1");
  // Still after a game far longer than the game line holds.
  std::string shuffle;
  for (int i = 0; i < 400; ++i) shuffle += " h1g1 h8g8 g1h1 g8h8";
  EXPECT_EQ(searchFen(LOST, 6, shuffle).score, 0);
  // Not across a pawn move.
  EXPECT_LT(searchFen(LOST, 6, "h1g1 a7a6 g1h1 h8g8 h1g1 g8h8 g1h1 a6a5").score, -500);
  // Any king move is the hundredth reversible ply.
  EXPECT_EQ(searchFen("1qr4k/p7/8/8/8/8/P7/7K w - - 99 80", 5).score, 0);
  for (const char* fen : {"8/8/4k3/8/8/3BK3/8/8 w - - 0 1", "8/8/4k3/8/8/3NK3/8/8 b - - 0 1"})
    EXPECT_EQ(searchFen(fen, 6).score, 0) << fen;
  EXPECT_GT(searchFen("8/8/4k3/8/8/3RK3/8/8 w - - 0 1", 6).score, 300);
}

TEST(SearchLimits, NodeLimitsHoldExactlyAndLeaveTheGameAsItWas) {
  const std::string fen = benchPositions[1];
  setGame(fen);
  Board before;
  std::memcpy(&before, &gameBoards[0], sizeof before);
  for (long long nodes : {1LL, 2LL, 17LL, 333LL, 4099LL, 20000LL}) {
    SearchOutcome r = searchGame(64, nodes);
    EXPECT_EQ(r.nodes, nodes + 1) << "the search stops at the first node past the limit";
    EXPECT_TRUE(legalIn(fen, r.best)) << nodes;
  }
  EXPECT_EQ(std::memcmp(&before, &gameBoards[0], sizeof before), 0);
  // A search afterwards is the one on fresh tables.
  SearchOutcome after = searchGame(6);
  SearchOutcome fresh = searchFen(fen, 6);
  EXPECT_EQ(after.best, fresh.best);
  EXPECT_EQ(after.nodes, fresh.nodes);
}

// Impossible moves planted under the keys of the root and its children, as a key collision
// would leave them, never reach the board.
TEST(SearchLimits, ACollidingTableMoveIsNeverPlayed) {
  setGame("6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1");
  clearAllHashTables();
  Position root("6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1");
  MoveList list;
  for (int i = 0, n = legalMoves(root.board, root.state, list); i < n; ++i) {
    Board child;
    PlyState childState;
    makeMove(list.moves[i], root.board, child, root.state, childState);
    ttStore(0, 1, 0, child.key, BOUND_UPPER, {9, 63, EMPTY, PROMOTE_QUEEN}, NO_EVAL);
  }
  ttStore(0, 0, 0, root.board.key, BOUND_UPPER, {62, 30, EMPTY, MOVE_NORMAL}, NO_EVAL);
  SearchOutcome r = searchGame(4, 0, false);
  EXPECT_EQ(r.best, "d1d8");
  EXPECT_EQ(r.score, mateIn(1));
}

TEST(SearchLimits, EveryPositionGetsALegalAnswer) {
  std::vector<std::string> fens(benchPositions, benchPositions + benchPositionCount);
  for (const char* fen :
       {"8/P7/8/8/8/8/7k/K7 w - - 0 1", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1",
        "4k3/8/8/2pP4/8/8/8/4K3 w - c6 0 1", "4k3/4r3/8/8/8/8/4R3/4K3 w - - 99 120",
        "8/8/8/8/8/4k3/4p3/4K3 w - - 0 1", "QQQQQ3/QQQQQ3/8/8/8/8/8/K6k b - - 0 1",
        "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"})
    fens.push_back(fen);
  for (const std::string& fen : fens) {
    SearchOutcome r = searchFen(fen, 5);
    EXPECT_TRUE(legalIn(fen, r.best)) << fen << " played " << r.best;
    EXPECT_LT(std::abs(r.score), MATE_BASE + 1) << fen;
  }
}

}  // namespace
