// Colour consistency and robustness: a position and its colour-flipped mirror score the same
// for the other side, and random legal positions, crowded with promoted pieces, evaluate
// without reading outside any table (this suite also runs under the sanitizers).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "board/makemove.h"
#include "tests/eval_test_support.h"

using EvalSymmetry = EvalTest;

namespace {

// Setting a FEN lists the white pieces from a to h and the black ones from h to a, so a mirror
// set from text meets its pieces in another order than the original. Some terms depend on that
// order (runs of passed pawns, the second rook on a file), so the mirror takes over the
// original's order before it is compared.
void copyListOrder(const Board& original, Board& mirror) {
  for (int code = WHITE_PAWN; code <= BLACK_KING; ++code) {
    if (code == EMPTY) continue;
    const int mirrorCode = code < EMPTY ? code + BLACK_OFFSET : code - BLACK_OFFSET;
    ASSERT_EQ(original.pieceCount[code], mirror.pieceCount[mirrorCode]);
    for (int i = 0; i < original.pieceCount[code]; ++i) {
      const int sq = original.pieceList[code][i] ^ 56;
      mirror.pieceList[mirrorCode][i] = uint8_t(sq);
      mirror.listIndex[sq] = uint8_t(i);
    }
  }
  for (int sq = 0; sq < 64; ++sq)
    if (isSliderCode(mirror.squares[sq])) computeSliderAttacks(mirror, sq, mirror.squares[sq]);
}

// Shifts of the white-view score while scaling round towards minus infinity, so a position and
// its mirror may differ by a little when the scaling applies.
int mirrorTolerance(const Board& board) {
  return board.materialMg[WHITE] <= 1500 && board.materialMg[BLACK] <= 1500 ? 3 : 0;
}

void expectMirrorAgrees(const std::string& fen) {
  EvalPosition original, mirror;
  ASSERT_TRUE(setEvalPosition(original, fen)) << fen;
  ASSERT_TRUE(setEvalPosition(mirror, mirrorFen(fen))) << mirrorFen(fen);
  copyListOrder(original.board, mirror.board);
  const int white = freshWhiteEval(original.board, original.state);
  const int mirrored = freshWhiteEval(mirror.board, mirror.state);
  EXPECT_LE(std::abs(white + mirrored), mirrorTolerance(original.board))
      << fen << " scores " << white << ", its mirror " << mirrored;
}

struct RandomPositionMaker {
  std::mt19937 random{12345};

  int below(int n) { return int(random() % unsigned(n)); }

  // A random legal position: kings apart, pawns off the first and last ranks, at most sixteen
  // men a side with promoted pieces only in place of missing pawns, the side not to move not in
  // check. `crowded` fills every missing pawn with a promoted piece.
  std::string make(bool crowded) {
    for (;;) {
      char board[64];
      for (char& c : board) c = 0;
      const int whiteKing = below(64);
      int blackKing;
      do blackKing = below(64);
      while (kingDistance[whiteKing][blackKing] < 2);
      board[whiteKing] = 'K';
      board[blackKing] = 'k';
      for (int side = 0; side < 2; ++side) {
        const int pawns = crowded ? below(3) : below(9);
        int counts[5] = {below(3), below(3), below(3), below(2), 0};  // N B R Q
        int promoted = crowded ? 8 - pawns : below(9 - pawns) / 3;
        while (promoted-- > 0) ++counts[below(4)];
        for (int p = 0; p < pawns; ++p) place(board, side ? 'p' : 'P', 8, 56);
        const char letters[4] = {'N', 'B', 'R', 'Q'};
        for (int k = 0; k < 4; ++k)
          for (int n = 0; n < counts[k] && n < LIST_CAPACITY; ++n)
            place(board, side ? char(letters[k] + 32) : letters[k], 0, 64);
      }
      std::string rights;
      if (board[4] == 'K' && board[7] == 'R' && below(2)) rights += 'K';
      if (board[4] == 'K' && board[0] == 'R' && below(2)) rights += 'Q';
      if (board[60] == 'k' && board[63] == 'r' && below(2)) rights += 'k';
      if (board[60] == 'k' && board[56] == 'r' && below(2)) rights += 'q';
      std::string fen = placementOf(board) + (below(2) ? " w " : " b ") +
                        (rights.empty() ? "-" : rights) + " - 0 1";
      EvalPosition probe;
      if (setPosition(probe.board, probe.state, fen.c_str())) return fen;
    }
  }

  void place(char* board, char piece, int from, int to) {
    for (;;) {
      const int sq = from + below(to - from);
      if (board[sq] == 0) {
        board[sq] = piece;
        return;
      }
    }
  }

  static std::string placementOf(const char* board) {
    std::string text;
    for (int rank = 7; rank >= 0; --rank) {
      int gap = 0;
      for (int file = 0; file < 8; ++file) {
        const char piece = board[rank * 8 + file];
        if (!piece) {
          ++gap;
          continue;
        }
        if (gap) text += char('0' + gap);
        gap = 0;
        text += piece;
      }
      if (gap) text += char('0' + gap);
      if (rank) text += '/';
    }
    return text;
  }
};

}  // namespace

TEST_F(EvalSymmetry, KnownPositionsAgreeWithTheirMirrors) {
  const char* const fens[] = {
      START_FEN,
      "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2",
      "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
      "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N2N2/PP2BPPP/R2QKB1R b KQ - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
      "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
      "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
      "2r3k1/pp3ppp/2n5/3p4/3P4/2N5/PP3PPP/2R3K1 b - - 0 1",
      "4k3/8/8/3PP3/8/8/8/4K3 w - - 0 1",
      "4k3/2p5/8/2PPP3/8/8/8/4K3 b - - 0 1",
      "r1b1k2r/ppppqppp/2n2n2/4p3/1bB1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1",
      "8/8/4k3/8/2q5/8/1Q6/4K3 w - - 0 1",
      "4k3/8/8/8/8/8/B7/R3K3 b - - 0 1",
      "1k6/ppp5/8/8/8/8/5PPP/R5K1 w - - 0 1",
      "R6k/6pp/8/8/8/8/6PP/6K1 b - - 0 1",
      "2kr3r/ppp2ppp/8/8/8/8/PPP2PPP/2KR3R w - - 0 1",
      "3q1rk1/5ppp/8/8/8/8/5PPP/3Q1RK1 w - - 0 1",
  };
  for (const char* fen : fens) expectMirrorAgrees(fen);
}

TEST_F(EvalSymmetry, RandomPositionsAgreeWithTheirMirrors) {
  RandomPositionMaker maker;
  for (int i = 0; i < 1500; ++i) expectMirrorAgrees(maker.make(i % 4 == 0));
}

TEST_F(EvalSymmetry, CrowdedRandomPositionsStayInsideEveryTable) {
  RandomPositionMaker maker;
  maker.random.seed(777);
  for (int i = 0; i < 2000; ++i) {
    const std::string fen = maker.make(i % 2 == 0);
    EvalPosition p;
    ASSERT_TRUE(setEvalPosition(p, fen));
    p.state.halfmoveClock = uint8_t(maker.below(101));
    forgetEvaluation(p.board, p.state);
    const int score = Evaluate(p.board, p.state);
    EXPECT_LE(std::abs(score), EVAL_SCORE_LIMIT) << fen;  // never near a mate score
    EXPECT_EQ(Evaluate(p.board, p.state), score);
  }
}
