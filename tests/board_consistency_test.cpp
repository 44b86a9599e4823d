// The incrementally made board must equal the board rebuilt from its mailbox after every move.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "board/castling.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "tests/test_support.h"

namespace {

std::set<int> listAsSet(const Board& b, int code) {
  std::set<int> squares;
  for (int i = 0; i < b.pieceCount[code]; ++i) squares.insert(b.pieceList[code][i]);
  return squares;
}

// Compares everything but the order of the piece lists (and so of the slider slots).
void expectSameBoard(const Board& made, const Board& rebuilt, const std::string& where) {
  SCOPED_TRACE(where);
  for (int sq = 0; sq < 64; ++sq) ASSERT_EQ(made.squares[sq], rebuilt.squares[sq]) << sq;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(made.castling[i], rebuilt.castling[i]);
  EXPECT_EQ(made.kingSquare[0], rebuilt.kingSquare[0]);
  EXPECT_EQ(made.kingSquare[1], rebuilt.kingSquare[1]);
  EXPECT_EQ(made.key, rebuilt.key);
  for (int side = 0; side < 2; ++side) {
    EXPECT_EQ(made.materialMg[side], rebuilt.materialMg[side]);
    EXPECT_EQ(made.materialEg[side], rebuilt.materialEg[side]);
    EXPECT_EQ(made.materialSignature[side], rebuilt.materialSignature[side]);
    EXPECT_EQ(made.pawnFileMask[side], rebuilt.pawnFileMask[side]);
    EXPECT_EQ(made.occupancy[side], rebuilt.occupancy[side]);
    for (int file = 0; file < 8; ++file)
      EXPECT_EQ(made.pawnsOnFile[side][file], rebuilt.pawnsOnFile[side][file]);
  }
  EXPECT_EQ(made.pstMg, rebuilt.pstMg);
  EXPECT_EQ(made.pstEg, rebuilt.pstEg);
  for (int code = 1; code < PIECE_CODES; ++code) {
    if (code == EMPTY) continue;
    EXPECT_EQ(made.pieceCount[code], rebuilt.pieceCount[code]) << code;
    EXPECT_EQ(made.pieceBitboards[code], rebuilt.pieceBitboards[code]) << code;
    EXPECT_EQ(listAsSet(made, code), listAsSet(rebuilt, code)) << code;
    for (int i = made.pieceCount[code]; i < LIST_CAPACITY; ++i) {
      EXPECT_EQ(made.pieceList[code][i], NO_SQUARE);
    }
  }
  for (int sq = 0; sq < 64; ++sq) {
    uint8_t code = made.squares[sq];
    if (code == EMPTY) continue;
    ASSERT_EQ(made.pieceList[code][made.listIndex[sq]], sq) << "list index of " << sq;
    if (isSliderCode(code)) {
      EXPECT_EQ(sliderSlot(made, code, made.listIndex[sq]),
                sliderSlot(rebuilt, code, rebuilt.listIndex[sq]))
          << "attack set of the slider on " << sq;
    }
  }
}

void expectSameSummaries(const PlyState& made, const PlyState& rebuilt) {
  for (int side = 0; side < 2; ++side) {
    EXPECT_EQ(made.pawnAttacks[side], rebuilt.pawnAttacks[side]);
    EXPECT_EQ(made.knightAttacks[side], rebuilt.knightAttacks[side]);
    EXPECT_EQ(made.bishopAttacks[side], rebuilt.bishopAttacks[side]);
    EXPECT_EQ(made.rookAttacks[side], rebuilt.rookAttacks[side]);
    EXPECT_EQ(made.queenAttacks[side], rebuilt.queenAttacks[side]);
    EXPECT_EQ(made.attacksAll[side], rebuilt.attacksAll[side]);
  }
  EXPECT_EQ(made.side, rebuilt.side);
  EXPECT_EQ(made.epSquare, rebuilt.epSquare);
}

void expectMatchesRebuild(const Board& board, const PlyState& state, const std::string& where) {
  Board rebuilt = board;
  PlyState rebuiltState = state;
  rebuildFromSquares(rebuilt, rebuiltState);
  expectSameBoard(board, rebuilt, where);
  expectSameSummaries(state, rebuiltState);
  // Make-move only marks a possible check (2); a real check must never go unmarked.
  if (rebuiltState.checkState) {
    EXPECT_NE(state.checkState, 0) << where;
  }
}

struct RandomGameStats {
  int moves = 0, captures = 0, enPassant = 0, castles = 0, promotions = 0;
};

// Plays random legal games from `fen`, checking the board after every move and null move.
void playRandomGames(const std::string& fen, int games, int maxPlies, unsigned seed,
                     RandomGameStats& stats) {
  std::mt19937 rng(seed);
  static Board boards[2];
  static PlyState states[2];
  for (int game = 0; game < games; ++game) {
    ASSERT_TRUE(setTestPosition(boards[0], states[0], fen)) << fen;
    int current = 0;
    for (int ply = 0; ply < maxPlies; ++ply) {
      MoveList list;
      int count = legalMoves(boards[current], states[current], list);
      if (count == 0) break;
      Move move = list.moves[rng() % count];
      const Board& parent = boards[current];
      bool toEmpty = parent.squares[move.to] == EMPTY;
      if (!toEmpty) stats.captures++;
      if (kindOf(parent.squares[move.from]) == PAWN && fileOf(move.from) != fileOf(move.to) &&
          toEmpty)
        stats.enPassant++;
      if (move.kind == CASTLE_SHORT || move.kind == CASTLE_LONG) stats.castles++;
      if (isPromotionKind(move.kind)) stats.promotions++;
      std::string where = boardToFen(parent, states[current]) + " " + moveText(move);
      makeMove(move, parent, boards[current ^ 1], states[current], states[current ^ 1], 0);
      current ^= 1;
      stats.moves++;
      expectMatchesRebuild(boards[current], states[current], where);
      if (::testing::Test::HasFatalFailure() || ::testing::Test::HasNonfatalFailure()) return;
      if (rng() % 16 == 0 && !kingAttacked(boards[current], states[current])) {
        Board nullBoard;
        PlyState nullState;
        makeNullMove(boards[current], nullBoard, states[current], nullState);
        EXPECT_EQ(nullState.plyCount, 0);
        EXPECT_EQ(nullState.checkState, states[current].checkState);
        Board rebuilt = nullBoard;
        PlyState rebuiltState = nullState;
        rebuildFromSquares(rebuilt, rebuiltState);
        EXPECT_EQ(nullBoard.key, rebuilt.key) << where << " null move";
      }
    }
  }
}

}  // namespace

TEST(BoardConsistency, RandomGamesFromVariedPositions) {
  const char* fens[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
      // Promotion races: many new pieces of one kind.
      "8/PPPPPPPP/8/3k4/8/3K4/pppppppp/8 w - - 0 1",
      "8/1PPPPPP1/2k5/8/8/5K2/1pppppp1/8 b - - 0 1",
      // Five or more sliders of a kind.
      "k7/8/8/8/8/8/1QQQQQ2/4K3 b - - 0 1",
      "4k3/8/1rrrrr2/8/8/2BBBBB1/8/4K3 w - - 0 1",
      // En passant against pinned pawns and rooks on the rank.
      "8/8/8/KPp4r/8/8/8/6k1 w - c6 0 2",
      "4k3/8/8/2pP4/8/8/8/4K3 w - c6 0 2",
  };
  RandomGameStats stats;
  unsigned seed = 1;
  for (const char* fen : fens) {
    playRandomGames(fen, 40, 200, seed++, stats);
    if (HasFailure()) return;
  }
  // The walk must really have covered the special moves.
  EXPECT_GT(stats.moves, 5000);
  EXPECT_GT(stats.captures, 300);
  EXPECT_GT(stats.enPassant, 0);
  EXPECT_GT(stats.castles, 5);
  EXPECT_GT(stats.promotions, 100);
}

// Chess960 castling: the king staying put, landing on its rook, changing places with it.
TEST(BoardConsistency, RandomChess960Games) {
  const char* fens[] = {
      "1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w GBgb - 0 1",
      "5kr1/pppppppp/8/8/8/8/PPPPPPPP/5KR1 w Gg - 0 1",
      "1rk3r1/pppppppp/8/8/8/8/PPPPPPPP/1RK3R1 w GBgb - 0 1",
      "rk4r1/p1pppppp/8/8/8/8/P1PPPPPP/RK4R1 w GAga - 0 1",
      "2r3kr/pppppppp/8/8/8/8/PPPPPPPP/2R3KR w HChc - 0 1",
  };
  chess960 = true;
  RandomGameStats stats;
  unsigned seed = 100;
  for (const char* fen : fens) {
    playRandomGames(fen, 30, 60, seed++, stats);
    if (HasFailure()) break;
  }
  chess960 = false;
  EXPECT_GT(stats.castles, 50);
}

TEST(BoardConsistency, SpecialMovesKeepEveryField) {
  struct Case {
    const char* fen;
    const char* move;
  };
  const Case cases[] = {
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1"},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1c1"},
      {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8g8"},
      {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8c8"},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "a1a8"},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6"},
      // The captured pawn was the end of a bishop's diagonal.
      {"4k3/8/8/3pP3/8/8/8/B3K3 w - d6 0 1", "e5d6"},
      {"4k3/8/B7/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6"},
      {"3r1k2/2P5/8/8/8/8/8/4K3 w - - 0 1", "c7d8q"},
      {"3r1k2/2P5/8/8/8/8/8/4K3 w - - 0 1", "c7d8b"},
      {"3r1k2/2P5/8/8/8/8/8/4K3 w - - 0 1", "c7c8n"},
      {"3r1k2/2P5/8/8/8/8/8/4K3 w - - 0 1", "c7c8r"},
      {"4k3/8/8/8/8/8/1p6/R3K3 b Q - 0 1", "b2a1q"},
  };
  for (const Case& c : cases) {
    Board board, child;
    PlyState state, childState;
    ASSERT_TRUE(setTestPosition(board, state, c.fen)) << c.fen;
    Move move = findLegalMove(board, state, c.move);
    ASSERT_FALSE(isNoMove(move)) << c.fen << " " << c.move;
    makeMove(move, board, child, state, childState, 0);
    expectMatchesRebuild(child, childState, std::string(c.fen) + " " + c.move);
  }
}

TEST(BoardConsistency, CastlingRightsFollowKingAndRookMoves) {
  Board board, child;
  PlyState state, childState;
  ASSERT_TRUE(setTestPosition(board, state, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"));
  // A rook captured on its corner removes that right of the opponent.
  makeMove(findLegalMove(board, state, "a1a8"), board, child, state, childState, 0);
  EXPECT_EQ(child.castling[CASTLE_WHITE_LONG], 0);
  EXPECT_EQ(child.castling[CASTLE_BLACK_LONG], 0);
  EXPECT_EQ(child.castling[CASTLE_WHITE_SHORT], 1);
  EXPECT_EQ(child.castling[CASTLE_BLACK_SHORT], 1);
  // A king move removes both rights of its side.
  makeMove(findLegalMove(board, state, "e1d1"), board, child, state, childState, 0);
  EXPECT_EQ(child.castling[CASTLE_WHITE_SHORT] + child.castling[CASTLE_WHITE_LONG], 0);
  EXPECT_EQ(child.castling[CASTLE_BLACK_SHORT] + child.castling[CASTLE_BLACK_LONG], 2);
}
