// What the in-process tests share: the engine's tables built once, positions from FEN, the
// published perft counts, colour-flipped positions, fresh evaluations, scratch directories, and
// the one place where a test runs the search in-process.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"

// The start-up sequence of the engine's tables (16 MB of hash), run once per process.
void initEngineTables();

// A position set from FEN; a refused text fails the test that made it.
struct Position {
  Board board;
  PlyState state;
  explicit Position(const std::string& fen);
};

// The published perft positions of tests/data/perft_standard.txt: counts[d] for depth d.
struct PerftCase {
  std::string fen;
  std::vector<long long> counts;
};
std::vector<PerftCase> loadPerftCases();

// The 960 starts of tests/data/chess960.perft (FEN without the clocks) and their perft 3 counts.
struct Chess960Start {
  std::string fen;
  long long perft3;
};
std::vector<Chess960Start> loadChess960Starts();

// The board turned upside down with the colours exchanged (side, rights and en passant follow),
// and a move text seen the same way.
std::string mirrorFen(const std::string& fen);
std::string mirrorMove(std::string move);

// The move is legal in the position ("0000" only when there is none).
bool legalIn(const std::string& fen, const std::string& move);

// Random legal positions: kings apart, pawns off the back ranks, promoted pieces only in place of
// missing pawns; `crowded` fills every missing pawn with one.
std::string randomPosition(std::mt19937& random, bool crowded);

// The placement field of a FEN from piece letters, a1 first ('\0' for an empty square).
std::string placementOf(const char letters[64]);

// The hand-set table of eval/handset_params.txt in force for the life of the object, exchange
// values included; the defaults come back afterwards. Facts worked out by hand from the design's
// own values (exchange results, single terms) are checked under it.
struct HandSetTable {
  HandSetTable();
  ~HandSetTable();
};

// The static evaluation from white's view, with neither cache answering.
int freshWhiteEval(const Board& board, PlyState& state);
int whiteEval(const std::string& fen);

// ---- In-process searches: the only helpers that touch the search's own state. ----
struct SearchOutcome {
  std::string best;  // "0000" for none
  int score;
  long long nodes;
};
// Sets the game line as a "position fen ... moves ..." line does.
void setGame(const std::string& fen, const std::string& moves = "");
// Searches the game position to `depth` (and at most `nodes` nodes when given) without printing.
SearchOutcome searchGame(int depth, long long nodes = 0, bool freshTables = true);
inline SearchOutcome searchFen(const std::string& fen, int depth, const std::string& moves = "") {
  setGame(fen, moves);
  return searchGame(depth);
}

// ---- Files ----
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);
std::vector<std::string> splitLines(const std::string& text);

// Each test runs in a fresh working directory of its own, removed afterwards; the evaluation
// parameters are put back to the defaults around it.
class ScratchDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string dir;

 private:
  std::string previous;
};
