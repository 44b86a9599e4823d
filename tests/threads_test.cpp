// Several search threads and several principal variations, through pipes as an interface drives
// them: one legal answer per "go" whatever ends it, node counts and speeds that add up, MultiPV
// lines numbered with distinct first moves, and every printed line legal move by move.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "board/makemove.h"
#include "tests/engine_process.h"
#include "tests/support.h"

namespace {

const std::string MIDDLEGAME =
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 8";

std::vector<std::string> pvOf(const std::string& line) {
  std::vector<std::string> moves;
  const size_t at = line.find(" pv ");
  if (at == std::string::npos) return moves;
  std::istringstream words(line.substr(at + 4));
  for (std::string move; words >> move;) moves.push_back(move);
  return moves;
}
bool scored(const std::string& line) {
  return startsWith(line, "info ") && line.find(" score ") != std::string::npos;
}

// Every move of the line is legal in turn from the position (and the game moves after it).
void expectLegalLine(const std::string& fen, const std::string& gameMoves,
                     const std::string& info) {
  Position p(fen);
  Board boards[2] = {p.board, p.board};
  PlyState states[2] = {p.state, p.state};
  int at = 0;
  std::istringstream game(gameMoves);
  std::vector<std::string> moves;
  for (std::string move; game >> move;) moves.push_back(move);
  const size_t played = moves.size();
  for (const std::string& move : pvOf(info)) moves.push_back(move);
  for (size_t i = 0; i < moves.size(); ++i) {
    const Move m = findLegalMove(boards[at], states[at], moves[i].c_str());
    ASSERT_FALSE(isNoMove(m)) << (i < played ? "game move " : "pv move ") << moves[i] << " in "
                              << info;
    makeMove(m, boards[at], boards[at ^ 1], states[at], states[at ^ 1]);
    at ^= 1;
  }
}

// Scored lines of one search: speed as printed from nodes and time, nodes never falling.
void expectCountsAddUp(const Lines& lines) {
  long long lastNodes = 0;
  for (const std::string& line : lines) {
    if (!scored(line)) continue;
    const long long nodes = std::stoll(infoField(line, "nodes"));
    const long long time = std::stoll(infoField(line, "time"));
    EXPECT_EQ(std::stoll(infoField(line, "nps")), nodes * 1000 / time) << line;
    EXPECT_GE(nodes, lastNodes) << line;
    lastNodes = nodes;
  }
}

TEST(Threads, EveryKindOfGoAnswersOnceWithFourThreads) {
  auto engine = startEngine();
  EXPECT_EQ(engine->command("setoption name Threads value 4"), Lines{});
  struct Case {
    std::string go, release;  // release: the line that ends an open-ended search
  } const cases[] = {
      {"go depth 9", ""},
      {"go nodes 50000", ""},
      {"go movetime 300", ""},
      {"go wtime 2000 btime 2000 winc 20 binc 20", ""},
      {"go infinite", "stop"},
      {"go ponder wtime 3000 btime 3000", "ponderhit"},
  };
  for (int round = 0; round < 2; ++round) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.go);
      ASSERT_EQ(engine->command("position fen " + MIDDLEGAME), Lines{});
      Answer answer;
      if (c.release.empty()) {
        answer = goAndWait(*engine, c.go, 60000);
      } else {
        ASSERT_TRUE(engine->send(c.go));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        answer = goAndWait(*engine, c.release, 60000);
      }
      EXPECT_TRUE(legalIn(MIDDLEGAME, answer.bestmove)) << answer.bestmove;
      expectCountsAddUp(answer.lines);
      for (const std::string& line : answer.lines)
        if (scored(line)) expectLegalLine(MIDDLEGAME, "", line);
      if (c.go == "go nodes 50000") {
        // Each thread checks the shared limit once per 1024 of its nodes.
        for (const std::string& line : answer.lines) {
          if (scored(line)) {
            EXPECT_LE(std::stoll(infoField(line, "nodes")), 50000 + 4 * 1024) << line;
          }
        }
      }
      EXPECT_EQ(engine->command("stop\nponderhit"), Lines{}) << "a second answer";
    }
    // Back to one thread and up again in the same session.
    EXPECT_EQ(engine->command(round == 0 ? "setoption name Threads value 1"
                                         : "setoption name Threads value 4"),
              Lines{});
  }
  EXPECT_TRUE(engine->send("quit"));
  EXPECT_EQ(engine->waitForExit(10000), 0);
}

// A "go" written right behind "Threads" in one go: the new helpers may not have run yet when the
// search starts, and must still join it (a helper that missed it left the search waiting forever).
TEST(Threads, GoRightAfterTheThreadsOptionAnswers) {
  auto engine = startEngine();
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    const Answer answer = goAndWait(*engine,
                                    "setoption name Threads value 1\n"
                                    "setoption name Threads value 4\n"
                                    "position startpos\ngo depth 3",
                                    20000);
    ASSERT_TRUE(legalIn(START_FEN, answer.bestmove)) << "no answer";
  }
  EXPECT_TRUE(engine->send("quit"));
  EXPECT_EQ(engine->waitForExit(10000), 0);
}

TEST(MultiPv, NumberedLinesWithDistinctFirstMoves) {
  auto engine = startEngine();
  struct Case {
    std::string fen;
    size_t lines;  // per depth: the option's 3, or fewer legal moves
  } const cases[] = {
      {START_FEN, 3},
      {MIDDLEGAME, 3},
      {"k7/8/8/8/8/8/1R6/K7 b - - 0 1", 1},   // one legal move
      {"7k/4N3/8/8/8/8/8/K7 b - - 0 1", 2},   // the king's two squares
  };
  EXPECT_EQ(engine->command("setoption name MultiPV value 3"), Lines{});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fen);
    ASSERT_EQ(engine->command("position fen " + c.fen), Lines{});
    Answer answer = goAndWait(*engine, "go depth 7", 60000);
    std::map<int, std::vector<std::string>> byDepth;  // depth -> the lines' first moves in order
    for (const std::string& line : answer.lines) {
      if (!scored(line)) continue;
      const int depth = std::stoi(infoField(line, "depth"));
      EXPECT_EQ(infoField(line, "multipv"), std::to_string(byDepth[depth].size() + 1)) << line;
      byDepth[depth].push_back(pvOf(line).at(0));
      expectLegalLine(c.fen, "", line);
    }
    ASSERT_EQ(byDepth.size(), 7u);
    for (const auto& [depth, firsts] : byDepth) {
      EXPECT_EQ(firsts.size(), c.lines) << "depth " << depth;
      EXPECT_EQ(std::set<std::string>(firsts.begin(), firsts.end()).size(), firsts.size());
    }
    // The answer is the first line's move.
    EXPECT_EQ(answer.bestmove, byDepth.rbegin()->second.front());
  }
  // MultiPV 1 lines carry no "multipv" field.
  EXPECT_EQ(engine->command("setoption name MultiPV value 1"), Lines{});
  for (const std::string& line : goAndWait(*engine, "go depth 5", 60000).lines)
    EXPECT_EQ(line.find("multipv"), std::string::npos) << line;
}

// A game of analysis lines, each legal move by move from the game position; from the start
// position a deep search prints lines longer than their first move.
TEST(PrincipalVariation, EveryPrintedLineIsLegalAndUsefullyLong) {
  auto engine = startEngine();
  Answer opening = goAndWait(*engine, "go depth 12", 60000);
  size_t longest = 0;
  for (const std::string& line : opening.lines)
    if (scored(line) && std::stoi(infoField(line, "depth")) >= 12)
      longest = std::max(longest, pvOf(line).size());
  EXPECT_GT(longest, 1u);
  std::string moves;
  for (int ply = 0; ply < 24; ++ply) {
    ASSERT_EQ(engine->command("position startpos" + (moves.empty() ? "" : " moves" + moves)),
              Lines{});
    Answer answer = goAndWait(*engine, "go depth 7", 60000);
    if (answer.bestmove == "0000") break;
    for (const std::string& line : answer.lines)
      if (scored(line)) expectLegalLine(START_FEN, moves, line);
    ASSERT_FALSE(HasFatalFailure());
    // The ponder move is the line's second move.
    const std::string last = *std::find_if(answer.lines.rbegin(), answer.lines.rend(), scored);
    const size_t ponder = answer.lines.back().find(" ponder ");
    if (ponder != std::string::npos && pvOf(last).size() > 1) {
      EXPECT_EQ(answer.lines.back().substr(ponder + 8), pvOf(last)[1]) << last;
    }
    moves += " " + answer.bestmove;
  }
}

// Three quiet plies bring the clock to 100: the fifty-move rule has drawn the game there, so no
// line may go on past it (match managers flag such lines), even where the table knows how the
// same placement went on when the clock was low (the first search).
TEST(PrincipalVariation, EndsWhereTheFiftyMoveRuleDraws) {
  auto engine = startEngine();
  ASSERT_EQ(engine->command("position fen 7k/8/8/8/8/8/8/R3K3 w Q - 0 100"), Lines{});
  goAndWait(*engine, "go depth 12", 60000);
  ASSERT_EQ(engine->command("position fen 7k/8/8/8/8/8/8/R3K3 w Q - 97 100"), Lines{});
  Answer answer = goAndWait(*engine, "go depth 12", 60000);
  for (const std::string& line : answer.lines) {
    if (scored(line)) {
      EXPECT_LE(pvOf(line).size(), 3u) << line;
    }
  }
}

}  // namespace
