// Chess960: castling fields of FEN, the general castling rule, perft of a sample of the 960
// published positions, and castling text through the protocol.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "board/castling.h"
#include "board/makemove.h"
#include "board/perft.h"
#include "tests/engine_process.h"
#include "tests/support.h"

namespace {

// Switches the variant for one test and back.
struct Chess960Mode {
  explicit Chess960Mode(bool on) { chess960 = on; }
  ~Chess960Mode() { chess960 = false; }
};

// The castling moves among the legal moves, in coordinate text.
std::set<std::string> castlingMoves(const std::string& fen) {
  Position p(fen);
  MoveList list;
  std::set<std::string> texts;
  for (int i = 0, n = legalMoves(p.board, p.state, list); i < n; ++i)
    if (isCastlingKind(list.moves[i].kind)) texts.insert(moveText(list.moves[i]));
  return texts;
}

}  // namespace

TEST(Chess960Fen, CastlingFieldsShredderAndXFen) {
  struct Case {
    bool chess960;
    const char* fen;
    const char* field;      // as written back
    int rooks[4];           // castling rook per right, NO_SQUARE (127) where none
  };
  const int none = NO_SQUARE;
  const Case cases[] = {
      // Shredder letters of the standard start; without Chess960 they are ignored as before.
      {true, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1", "KQkq", {7, 0, 63, 56}},
      {false, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1", "-",
       {none, none, none, none}},
      // X-FEN: KQkq is the outermost rook; a file letter names an inner one.
      {true, "1r2k1r1/8/8/8/8/8/8/1R2K1R1 w KQkq - 0 1", "KQkq", {6, 1, 62, 57}},
      {true, "4k3/8/8/8/8/8/8/RR2K3 w Q - 0 1", "Q", {none, 0, none, none}},
      {true, "4k3/8/8/8/8/8/8/RR2K3 w B - 0 1", "B", {none, 1, none, none}},
      {true, "rk6/8/8/8/8/8/8/6KR w Ha - 0 1", "Kq", {7, none, none, 56}},
      // Letters that name no rook of a king on its first rank are ignored.
      {true, "4k3/8/8/8/8/8/8/4K2R w KCq - 0 1", "K", {7, none, none, none}},
      {true, "4k3/8/8/8/8/8/4K3/7R w K - 0 1", "-", {none, none, none, none}},
      // Standard chess keeps a right only with king and rook at home.
      {false, "4k3/8/8/8/8/8/8/4K1R1 w K - 0 1", "-", {none, none, none, none}},
      {true, "4k3/8/8/8/8/8/8/4K1R1 w K - 0 1", "K", {6, none, none, none}},
  };
  for (const Case& c : cases) {
    Chess960Mode mode(c.chess960);
    Position p(c.fen);
    const Board& board = p.board;
    EXPECT_EQ(castlingFieldText(board), c.field) << c.fen;
    for (int right = 0; right < 4; ++right) {
      EXPECT_EQ(board.castling[right], c.rooks[right] != none) << c.fen << " right " << right;
      if (board.castling[right]) {
        EXPECT_EQ(board.castlingRook[right], c.rooks[right]) << c.fen;
      }
    }
  }
}

TEST(Chess960Castling, GeneralRuleForEmptyAndAttackedSquares) {
  Chess960Mode mode(true);
  struct Case {
    const char* fen;
    std::set<std::string> castling;  // written as the king taking its own rook
  };
  const Case cases[] = {
      {"4k3/8/8/8/8/8/8/5RK1 w F - 0 1", {"g1f1"}},          // king to c1, rook to d1
      {"4k3/8/8/8/8/8/8/6KR w H - 0 1", {"g1h1"}},          // the king stays on g1
      {"4k3/8/8/8/8/8/8/5KR1 w G - 0 1", {"f1g1"}},         // king and rook change places
      {"rk6/8/8/8/8/8/8/4K3 b a - 0 1", {"b8a8"}},          // black, long
      {"4k3/8/8/8/8/8/8/RR2K3 w B - 0 1", {"e1b1"}},        // the inner rook
      {"4k3/8/8/8/8/8/8/RR2K3 w Q - 0 1", {}},              // the outer rook is blocked
      {"7k/8/8/8/8/8/8/qRK5 w B - 0 1", {}},                // the rook shielded the king
      {"3rk3/8/8/8/8/8/8/R3K3 w A - 0 1", {}},              // the king crosses d1
      {"1r2k3/8/8/8/8/8/8/R3K3 w A - 0 1", {"e1a1"}},       // only the rook crosses b1
      {"4k3/8/8/8/8/8/8/R3K2R w HA - 0 1", {"e1a1", "e1h1"}},
      {"4k3/8/8/8/8/8/8/R3K1NR w HA - 0 1", {"e1a1"}},      // g1 must be empty
      {"4k3/8/8/8/8/8/8/2R1K3 w C - 0 1", {"e1c1"}},        // rook c1 to d1, king e1 to c1
      {"4k3/8/8/8/8/8/8/1KR5 w C - 0 1", {"b1c1"}},         // king b1 to g1 past its rook
  };
  for (const Case& c : cases) EXPECT_EQ(castlingMoves(c.fen), c.castling) << c.fen;
}

// Every eighth of the 960 published positions to depth 3 (the whole file to depth 4 is
// bench/chess960_perft.sh).
TEST(Chess960Perft, SampleOfThePublishedPositions) {
  Chess960Mode mode(true);
  const std::vector<Chess960Start> starts = loadChess960Starts();
  ASSERT_EQ(starts.size(), 960u) << "the Chess960 perft file was not found or changed";
  for (size_t i = 0; i < starts.size(); i += 8) {
    Position p(starts[i].fen + " 0 1");
    EXPECT_EQ(perft(p.board, p.state, 3), starts[i].perft3) << starts[i].fen;
  }
}

TEST(Chess960Protocol, CastlingTextInAndOut) {
  auto engine = startEngine();
  const std::string italian = "position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 f8c5 ";
  // Without the option castling is written e1g1, and e1h1 is no move.
  Lines refused = engine->command(italian + "e1h1");
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0], "info string illegal move e1h1: the moves from it on are ignored");

  EXPECT_EQ(engine->command("setoption name UCI_Chess960 value true"), Lines{});
  // The king takes its own rook; the standard text is still understood.
  for (const char* castle : {"e1h1", "e1g1"}) {
    EXPECT_EQ(engine->command(italian + castle), Lines{});
    EXPECT_EQ(engine->command("taulell").back(), "TCAD_TR_") << castle;
  }
  // King and rook change places, read and written as f1g1.
  engine->command("position fen 1r2k3/8/8/8/8/8/8/5KR1 w Gb - 0 1");
  Lines counts = engine->command("go perft 1");
  EXPECT_NE(std::find(counts.begin(), counts.end(), "f1g1: 1"), counts.end());
  EXPECT_EQ(engine->command("position fen 1r2k3/8/8/8/8/8/8/5KR1 w Gb - 0 1 moves f1g1 e8b8"),
            Lines{});
  Lines board = engine->command("taulell");
  EXPECT_EQ(board.front(), "__rt____");  // black castled long: king c8, rook d8
  EXPECT_EQ(board.back(), "_____TR_");
  // A search from a Chess960 start answers with a move the engine itself accepts.
  const std::string start =
      "position fen bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 0 1";
  engine->command(start);
  ASSERT_TRUE(engine->send("go depth 5"));
  std::string best = "<none>";
  while (auto line = engine->readLine(60000)) {
    if (startsWith(*line, "bestmove ")) {
      best = line->substr(9, line->find(' ', 9) - 9);
      break;
    }
  }
  EXPECT_EQ(engine->command(start + " moves " + best), Lines{}) << best;
}
