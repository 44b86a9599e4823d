// The transposition table: replacement, refresh, moves kept, mate distance, the last bucket, and
// a colliding entry's move never reaching the board.
#include <gtest/gtest.h>

#include "board/movegen.h"
#include "search/constants.h"
#include "search/movecheck.h"
#include "search/tt.h"
#include "tests/search_test_support.h"

namespace {

// Keys that share one bucket: the same low half (index), different high halves (checks).
uint64_t keyAt(uint32_t index, uint32_t check) { return (uint64_t(check) << 32) | index; }

Move move(int from, int to) { return Move{uint8_t(from), uint8_t(to), EMPTY, MOVE_NORMAL}; }

class TranspositionTable : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureSearchTables();
    clearForNewGame();
    generation = 1;
  }
  void TearDown() override { clearForNewGame(); }
};

TEST_F(TranspositionTable, FindsWhatWasStoredWithItsFields) {
  uint64_t key = keyAt(1234, 77);
  ttStore(35, 3, 6, key, BOUND_EXACT, move(12, 28), -41);
  TtEntry* e = ttProbe(key);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->value, 35);
  EXPECT_EQ(e->depth, 6);
  EXPECT_EQ(e->bound, BOUND_EXACT);
  EXPECT_TRUE(sameMove(e->move, move(12, 28)));
  EXPECT_EQ(e->evaluation, -41);
  EXPECT_EQ(e->age, 1);
  EXPECT_EQ(ttProbe(keyAt(1234, 78)), nullptr);
  // A deeper store without a move replaces the rest and keeps the old move.
  ttStore(-7, 0, 8, key, BOUND_UPPER, NO_MOVE, 0);
  EXPECT_EQ(e->value, -7);
  EXPECT_EQ(e->depth, 8);
  EXPECT_TRUE(sameMove(e->move, move(12, 28)));
}

TEST_F(TranspositionTable, DeeperEntryOnlyRefreshedAndGivenAMissingMove) {
  uint64_t key = keyAt(99, 5);
  ttStore(10, 0, 8, key, BOUND_LOWER, NO_MOVE, 0);
  generation = 2;
  ttStore(-50, 0, 3, key, BOUND_UPPER, move(1, 18), 0);
  TtEntry* e = ttProbe(key);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->value, 10);
  EXPECT_EQ(e->depth, 8);
  EXPECT_EQ(e->bound, BOUND_LOWER);
  EXPECT_EQ(e->age, 2);
  EXPECT_TRUE(sameMove(e->move, move(1, 18)));
  // A move already there stays.
  ttStore(-50, 0, 3, key, BOUND_UPPER, move(6, 21), 0);
  EXPECT_TRUE(sameMove(ttProbe(key)->move, move(1, 18)));
}

TEST_F(TranspositionTable, ReplacesAnOldShallowNonExactEntryFirst) {
  const uint32_t index = 4000;
  // Four older entries fill the bucket in order.
  ttStore(0, 0, 5, keyAt(index, 1), BOUND_LOWER, NO_MOVE, 0);
  ttStore(0, 0, 1, keyAt(index, 2), BOUND_EXACT, NO_MOVE, 0);  // exact: kept
  ttStore(0, 0, 2, keyAt(index, 3), BOUND_UPPER, NO_MOVE, 0);  // shallowest non-exact: goes
  ttStore(0, 0, 4, keyAt(index, 4), BOUND_UPPER, NO_MOVE, 0);
  generation = 2;
  ttStore(0, 0, 6, keyAt(index, 5), BOUND_LOWER, NO_MOVE, 0);
  EXPECT_EQ(ttProbe(keyAt(index, 3)), nullptr);
  for (uint32_t check : {1u, 2u, 4u, 5u}) EXPECT_NE(ttProbe(keyAt(index, check)), nullptr) << check;
  EXPECT_EQ(transpositionTable[index + 2].check, 5u);
}

TEST_F(TranspositionTable, EntriesOfTheRunningSearchAreReplacedLast) {
  const uint32_t index = 7000;
  generation = 1;
  ttStore(0, 0, 9, keyAt(index, 1), BOUND_LOWER, NO_MOVE, 0);
  generation = 2;
  ttStore(0, 0, 1, keyAt(index, 2), BOUND_LOWER, NO_MOVE, 0);  // current, shallow
  ttStore(0, 0, 1, keyAt(index, 3), BOUND_LOWER, NO_MOVE, 0);
  ttStore(0, 0, 1, keyAt(index, 4), BOUND_LOWER, NO_MOVE, 0);
  ttStore(0, 0, 3, keyAt(index, 5), BOUND_LOWER, NO_MOVE, 0);
  // The old deep entry goes before any of the current shallow ones.
  EXPECT_EQ(ttProbe(keyAt(index, 1)), nullptr);
  for (uint32_t check : {2u, 3u, 4u, 5u}) EXPECT_NE(ttProbe(keyAt(index, check)), nullptr) << check;
}

TEST_F(TranspositionTable, MateScoresAreStoredRelativeToTheNode) {
  // Stored at ply 5: four points higher; read back at ply 3: two points lower than stored.
  EXPECT_EQ(ttValueToStore(9800, 5), 9804);
  EXPECT_EQ(ttValueFromStore(9804, 3), 9802);
  EXPECT_EQ(ttValueToStore(-9800, 5), -9804);
  EXPECT_EQ(ttValueFromStore(-9804, 3), -9802);
  EXPECT_EQ(ttValueToStore(9699, 5), 9699);
  EXPECT_EQ(ttValueFromStore(-9699, 3), -9699);
  uint64_t key = keyAt(321, 4);
  ttStore(9800, 5, 3, key, BOUND_EXACT, NO_MOVE, 0);
  EXPECT_EQ(ttProbe(key)->value, 9804);
}

TEST_F(TranspositionTable, BucketAtTheLastIndexStaysInsideTheTable) {
  // The four entries from the last index on are all usable and all found again.
  for (uint32_t check = 1; check <= 4; ++check)
    ttStore(int(check), 0, int(check), keyAt(ttMask, check), BOUND_EXACT, NO_MOVE, 0);
  for (uint32_t check = 1; check <= 4; ++check) {
    TtEntry* e = ttProbe(keyAt(ttMask, check));
    ASSERT_NE(e, nullptr) << check;
    EXPECT_EQ(e->value, int(check));
  }
  EXPECT_EQ(transpositionTable[ttMask + 3].check, 4u);
}

TEST_F(TranspositionTable, NewGameEmptiesTheTable) {
  uint64_t key = keyAt(42, 42);
  ttStore(1, 0, 1, key, BOUND_EXACT, NO_MOVE, 0);
  clearForNewGame();
  EXPECT_EQ(ttProbe(key), nullptr);
  EXPECT_EQ(generation, 0);
}

struct PlausibilityCase {
  const char* fen;
  Move move;
  bool expected;
  const char* why;
};

TEST(TableMoves, OnlyMovesTheGeneratorCouldMakeArePlausible) {
  ensureSearchTables();
  const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  const char* castle = "r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1";
  const char* passant = "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1";
  const PlausibilityCase cases[] = {
      {start, {12, 28, EMPTY, MOVE_NORMAL}, true, "double push"},
      {start, {12, 36, EMPTY, MOVE_NORMAL}, false, "pawn jumps three"},
      {start, {52, 36, EMPTY, MOVE_NORMAL}, false, "black pawn, white to move"},
      {start, {3, 39, EMPTY, MOVE_NORMAL}, false, "queen through her own pawn"},
      {start, {6, 21, EMPTY, MOVE_NORMAL}, true, "knight"},
      {start, {6, 21, BLACK_PAWN, MOVE_NORMAL}, false, "wrong captured code"},
      {start, {0, 8, EMPTY, MOVE_NORMAL}, false, "onto its own piece"},
      {start, {4, 6, EMPTY, CASTLE_SHORT}, false, "castling through pieces"},
      {castle, {4, 6, EMPTY, CASTLE_SHORT}, true, "short castling with the right"},
      {castle, {4, 2, EMPTY, CASTLE_LONG}, false, "long castling without the right"},
      {castle, {4, 6, EMPTY, MOVE_NORMAL}, false, "king two squares as a plain move"},
      {castle, {0, 56, BLACK_ROOK, MOVE_NORMAL}, true, "rook takes rook"},
      {castle, {0, 56, BLACK_ROOK, PROMOTE_QUEEN}, false, "promotion kind on a rook move"},
      {passant, {36, 43, BLACK_PAWN, MOVE_NORMAL}, true, "en passant"},
      {passant, {36, 45, BLACK_PAWN, MOVE_NORMAL}, false, "en passant on the wrong side"},
      {"4k3/P7/8/8/8/8/8/4K3 w - - 0 1", {48, 56, EMPTY, PROMOTE_KNIGHT}, true, "promotion"},
      {"4k3/P7/8/8/8/8/8/4K3 w - - 0 1", {48, 56, EMPTY, MOVE_NORMAL}, false, "unpromoted"},
      {start, {127, 28, EMPTY, MOVE_NORMAL}, false, "no move"},
      {start, {200, 250, 99, 42}, false, "garbage bytes"},
  };
  for (const PlausibilityCase& c : cases) {
    Board board;
    PlyState state;
    ASSERT_TRUE(setPosition(board, state, c.fen));
    EXPECT_EQ(isPseudoLegal(board, state, c.move), c.expected) << c.why;
  }
}

TEST(TableMoves, ACollidingEntrysMoveIsNeverPlayed) {
  // Plant impossible moves under the keys of the root and of every position after one move, as
  // a key collision would; the search must still play a legal move and find the mate.
  ASSERT_TRUE(setGameLine("6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", {}));
  clearAllHashTables();
  Board& root = gameBoards[0];
  PlyState rootState = gameStates[0];
  MoveList list;
  int n = legalMoves(root, rootState, list);
  const Move bogus = {62, 30, EMPTY, MOVE_NORMAL};  // from black's king square, white to move
  for (int i = 0; i < n; ++i) {
    Board child;
    PlyState childState;
    makeMove(list.moves[i], root, child, rootState, childState, 0);
    originOf[list.moves[i].to] = savedOrigin[0];
    ttStore(0, 1, 0, child.key, BOUND_UPPER, {9, 63, EMPTY, PROMOTE_QUEEN}, NO_EVAL);
  }
  ttStore(0, 0, 0, root.key, BOUND_UPPER, bogus, NO_EVAL);
  generation = 0;
  infoOutput = false;
  searchToDepth(4);
  EXPECT_EQ(moveText(rootBestMove), "d1d8");
  EXPECT_EQ(lastScore, MATE_BASE - 1);
}

}  // namespace
