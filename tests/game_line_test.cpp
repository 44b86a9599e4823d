// The game line under very long games: when it fills, the positions that the repetition test
// needs must stay, in order.
#include <gtest/gtest.h>

#include <string>

#include "board/fen.h"
#include "board/keys.h"
#include "frontend/commands.h"
#include "frontend/position_command.h"
#include "tests/test_support.h"

namespace {

std::string knightShuffle(int cycles) {
  std::string moves;
  for (int i = 0; i < cycles; ++i) moves += " g1f3 g8f6 f3g1 f6g8";
  return moves;
}

// Sets the position the way the interface does, which also starts a new game line.
void startGame(const char* fen = START_FEN) {
  initEngineTables();
  commandPf((std::string("pf ") + fen).c_str());
  ASSERT_EQ(currentPly, 0);
}

uint64_t startKey() {
  Board board;
  PlyState state;
  setPosition(board, state, START_FEN);
  return board.key;
}

TEST(GameLine, LongReversibleStretchKeepsRecentRepetitions) {
  startGame();
  playMoveList(knightShuffle(600).c_str());  // 2400 plies, more than twice the line
  ASSERT_LT(currentPly, GAME_LINE_SIZE);
  EXPECT_GE(currentPly - lastIrreversiblePly + 1, GAME_LINE_SIZE / 2);
  // Every fourth position back is the current one again, as far back as the line reaches.
  const uint64_t key = gameBoards[currentPly].key;
  EXPECT_EQ(key, startKey());
  for (int ply = currentPly - 4; ply >= lastIrreversiblePly; ply -= 4) {
    ASSERT_EQ(gameBoards[ply].key, key) << ply;
    ASSERT_NE(gameBoards[ply + 1].key, key) << ply;
  }
  EXPECT_EQ(gameBoards[currentPly].key, computeKey(gameBoards[currentPly], gameStates[currentPly]));
}

TEST(GameLine, CompactionKeepsEverythingSinceTheLastIrreversibleMove) {
  startGame();
  playMoveList((knightShuffle(250) + " e2e4 e7e5" + knightShuffle(50)).c_str());
  // 1000 + 2 + 200 plies: the line filled once, after the pawn moves.
  ASSERT_LT(currentPly, 300);
  EXPECT_EQ(currentPly - lastIrreversiblePly, 201);
  EXPECT_EQ(gameBoards[lastIrreversiblePly].squares[52], BLACK_PAWN);      // e7, before the move
  EXPECT_EQ(gameBoards[lastIrreversiblePly + 1].squares[36], BLACK_PAWN);  // e5, after it
  // One knight cycle after the pawn move (the en-passant chance has gone by then).
  EXPECT_EQ(gameBoards[currentPly].key, gameBoards[lastIrreversiblePly + 5].key);
}

}  // namespace
