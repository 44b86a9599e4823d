// Static exchange evaluation on positions with known results. Ordering values: pawn 90, knight
// and bishop 335, rook 477, queen 975; a king counts 0 as a mover and 10000 as a recapturer.
#include <gtest/gtest.h>

#include "board/movetext.h"
#include "search/exchange.h"
#include "tests/search_test_support.h"

namespace {

struct ExchangeCase {
  const char* fen;
  const char* move;
  int expected;
  const char* why;
};

const ExchangeCase exchangeCases[] = {
    {"4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", "e4d5", 245, "pawn takes knight: gain shortcut"},
    {"4k3/8/4p3/3p4/8/8/8/3RK3 w - - 0 1", "d1d5", -387, "rook takes pawn guarded by a pawn"},
    {"4k3/8/8/3p4/8/8/8/3RK3 w - - 0 1", "d1d5", 90, "free pawn"},
    {"4k3/5n2/8/4p3/8/3N4/8/4K3 w - - 0 1", "d3e5", -245, "knight takes pawn, knight recaptures"},
    {"4k3/5n2/8/4p3/8/3N4/1B6/4K3 w - - 0 1", "d3e5", 90, "second attacker wins the pawn"},
    {"4k3/5n2/8/4p3/3B4/3N4/8/4K3 w - - 0 1", "d4e5", 90, "the same with the bishop first"},
    {"4k3/8/4p3/3n4/8/1B6/8/4K3 w - - 0 1", "b3d5", 0, "bishop for knight, pawn recaptures"},
    {"4k3/8/8/3r4/8/1b6/8/3QK3 w - - 0 1", "d1d5", -163, "queen takes rook, bishop recaptures"},
    {"4k3/8/8/8/8/8/4p3/4K3 w - - 0 1", "e1e2", 0, "a king capture counts 0"},
    {"4k3/8/2p5/8/8/2N5/8/4K3 w - - 0 1", "c3d5", -335, "quiet move into a pawn's attack"},
    {"3qk3/3r4/8/3p4/8/8/3R4/3RK3 w - - 0 1", "d2d5", 90,
     "no x-rays: the queen behind the recapturing rook does not count"},
    {"8/8/4k3/3p4/8/8/8/3RK3 w - - 0 1", "d1d5", -387, "the king recaptures"},
    {"8/8/4k3/3p4/8/1B6/8/3RK3 w - - 0 1", "d1d5", 90, "the king may not recapture a guarded piece"},
    {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", 90, "en passant"},
    {"4k3/8/8/3p4/4P3/8/8/4K3 b - - 0 1", "d5e4", 90, "black takes a free pawn"},
    {"4k3/8/8/3q4/4P3/5P2/8/4K3 b - - 0 1", "d5e4", -885, "black queen takes a guarded pawn"},
};

TEST(StaticExchange, KnownResults) {
  ensureSearchTables();
  for (const ExchangeCase& c : exchangeCases) {
    Board board;
    PlyState state;
    ASSERT_TRUE(setPosition(board, state, c.fen)) << c.fen;
    Move move = findLegalMove(board, state, c.move);
    ASSERT_FALSE(isNoMove(move)) << c.move;
    EXPECT_EQ(staticExchange(board, state, move), c.expected) << c.why;
  }
}

}  // namespace
