// Reading positions: accepted texts, the fields they fill, and refusals that keep the old position.
#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

struct Position {
  Board board;
  PlyState state;
};

Position parse(const std::string& fen) {
  Position p;
  EXPECT_TRUE(setTestPosition(p.board, p.state, fen)) << fen;
  return p;
}

}  // namespace

TEST(Fen, AcceptedTextsFillTheirFields) {
  Position bare = parse("8/8/8/8/8/8/8/K6k w - - 0 1");
  EXPECT_EQ(bare.board.castling[0] + bare.board.castling[1] + bare.board.castling[2] +
                bare.board.castling[3], 0);
  EXPECT_EQ(bare.state.epSquare, NO_SQUARE);
  EXPECT_EQ(bare.state.checkState, 0);

  Position afterE4 = parse("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  EXPECT_EQ(afterE4.state.epSquare, 28);  // the pawn on e4, not the square behind it

  Position clock = parse("8/8/8/8/8/8/8/K6k w - - 300 1");
  EXPECT_EQ(clock.state.halfmoveClock, 44);  // stored in eight bits

  Position odd = parse("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w qKx - 0 1");
  EXPECT_EQ(odd.board.castling[CASTLE_WHITE_SHORT], 1);
  EXPECT_EQ(odd.board.castling[CASTLE_WHITE_LONG], 0);
  EXPECT_EQ(odd.board.castling[CASTLE_BLACK_SHORT], 0);
  EXPECT_EQ(odd.board.castling[CASTLE_BLACK_LONG], 1);

  Position check = parse("4k3/8/8/8/8/8/8/4KR1r w - - 0 1");
  EXPECT_EQ(check.state.checkState, 0);
  Position inCheck = parse("4k3/8/8/8/8/8/8/4K2r w - - 0 1");
  EXPECT_EQ(inCheck.state.checkState, 1);

  // Rights whose king or rook is not at home, and en-passant squares without a pawn, are dropped.
  Position rights = parse("r3k3/8/8/8/8/8/8/4K2R w KQkq - 0 1");
  const uint8_t* kept = rights.board.castling;
  EXPECT_EQ(kept[CASTLE_WHITE_SHORT] + kept[CASTLE_BLACK_LONG], 2);
  EXPECT_EQ(kept[CASTLE_WHITE_LONG] + kept[CASTLE_BLACK_SHORT], 0);
  EXPECT_EQ(parse("4k3/8/8/8/8/8/8/4K3 w - e6 0 1").state.epSquare, NO_SQUARE);
  EXPECT_EQ(parse("4k3/8/8/8/8/8/8/4K3 w - e 0 1").state.epSquare, NO_SQUARE);
}

TEST(Fen, SlashesAreOptionalAndMissingFieldsTakeDefaults) {
  Position start = parse(START_FEN);
  Position noSlashes = parse("rnbqkbnrpppppppp8888PPPPPPPPRNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(noSlashes.board.key, start.board.key);
  Position placementOnly = parse("8/8/8/8/8/8/8/K6k");
  EXPECT_EQ(placementOnly.state.side, WHITE);
  EXPECT_EQ(placementOnly.state.epSquare, NO_SQUARE);
  Position dashesOnly = parse("8/8/8/8/8/8/8/K6k b");
  EXPECT_EQ(dashesOnly.state.side, BLACK);
}

TEST(Fen, PieceListsFollowTheSetUpOrder) {
  Position start = parse(START_FEN);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(start.board.pieceList[WHITE_PAWN][i], 8 + i);       // a2, b2, ..., h2
    EXPECT_EQ(start.board.pieceList[BLACK_PAWN][i], 55 - i);      // h7, g7, ..., a7
  }
  EXPECT_EQ(start.board.pieceList[WHITE_KNIGHT][0], 1);
  EXPECT_EQ(start.board.pieceList[WHITE_KNIGHT][1], 6);
  EXPECT_EQ(start.board.pieceList[BLACK_KNIGHT][0], 62);
  EXPECT_EQ(start.board.materialSignature[WHITE], 4096 + 8 + 2 * 1024 + 2 * 256 + 2 * 64 + 16);
}

TEST(Fen, RefusedTextsLeaveThePreviousPosition) {
  const char* refused[] = {
      "",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1",    // 63 squares
      "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",   // bad digit
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQXBNR w KQkq - 0 1",   // bad letter
      "rnbq1bnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQ - 0 1",     // no black king
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBKKBNR w kq - 0 1",     // two white kings
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1",   // bad side
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq e5 0 1",  // bad en-passant rank
      "Pnbqkbnr/pppppppp/8/8/8/8/1PPPPPPP/RNBQKBNR w KQkq - 0 1",   // pawn on the last rank
      "4k3/8/8/8/8/8/8/4R1K1 w - - 0 1",                             // side not to move in check
      "QQQQQQQQ/QQQ5/8/8/8/8/8/K6k b - - 0 1",                       // eleven queens
  };
  Position kept = parse("8/8/8/8/8/8/8/K6k w - - 0 1");
  for (const char* fen : refused) {
    Position attempt = kept;
    std::string why;
    EXPECT_FALSE(setPosition(attempt.board, attempt.state, fen, &why)) << fen;
    EXPECT_FALSE(why.empty()) << fen;
    EXPECT_EQ(attempt.board.key, kept.board.key) << fen;
    EXPECT_EQ(std::memcmp(&attempt.board, &kept.board, sizeof(Board)), 0) << fen;
  }
}

TEST(Fen, RoundTripsThroughText) {
  for (const PerftCase& c : loadPerftCases()) {
    Position p = parse(c.fen);
    Position again = parse(boardToFen(p.board, p.state));
    EXPECT_EQ(again.board.key, p.board.key) << c.fen;
  }
}
