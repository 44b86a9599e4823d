// Limited strength: the levels grow with the Elo and never choose a move a piece worse than the
// best; the choice strays more at lower levels (a mate in one always played); and through the
// pipe a weaker level answers with a legal move among the lines it printed, within its node
// budget, takes the time of a full-strength search, goes back to full strength when asked, and
// plays on the table.
#include <gtest/gtest.h>

#include <random>

#include "search/constants.h"
#include "search/strength.h"
#include "tests/engine_process.h"
#include "tests/support.h"

namespace {

// How often each line is chosen over many draws.
std::vector<int> choices(const std::vector<int>& scores, int elo, int draws = 4000) {
  std::mt19937_64 random(7);
  std::vector<int> counts(scores.size(), 0);
  for (int i = 0; i < draws; ++i) {
    const int chosen =
        chooseStrengthLine(scores.data(), int(scores.size()), strengthLevel(elo), random());
    EXPECT_TRUE(chosen >= 0 && chosen < int(scores.size()));
    ++counts[size_t(chosen)];
  }
  return counts;
}

TEST(StrengthChoice, LevelsGrowAndStrayMoreBelowButNeverPastTheirMargin) {
  const int levels[] = {STRENGTH_MIN_ELO, 1500, 1700, 1800, STRENGTH_MAX_ELO};
  struct Case {
    std::vector<int> scores;  // best first
    std::vector<bool> allowed;
  };
  const int mateInOne = MATE_BASE - 1;
  const Case cases[] = {
      {{35}, {true}},
      {{40, 30, 10, -5}, {true, true, true, true}},
      {{120, 110, -200, -900}, {true, true, false, false}},  // a piece and a queen down: never
      {{mateInOne, 600, 500, 450}, {true, false, false, false}},  // the mate is always played
      {{-mateInOne + 4, -mateInOne + 2, -mateInOne}, {true, true, true}},  // lost whatever
  };
  for (const Case& c : cases) {
    double previousStray = 1.0;
    for (int elo : levels) {
      const std::vector<int> counts = choices(c.scores, elo);
      for (size_t i = 0; i < counts.size(); ++i) {
        if (!c.allowed[i] || c.scores[0] - c.scores[i] > strengthLevel(elo).maxLoss) {
          EXPECT_EQ(counts[i], 0) << "line " << i << " at " << elo;
        }
      }
      const double stray = 1.0 - counts[0] / 4000.0;
      EXPECT_LE(stray, previousStray + 0.03) << elo;  // sampling noise only
      previousStray = stray;
    }
  }
  // The levels grow with the Elo; none gives away a minor piece (about three pawns) on purpose;
  // out of range means the nearest end.
  for (int elo = STRENGTH_MIN_ELO + 50; elo <= STRENGTH_MAX_ELO; elo += 50) {
    EXPECT_GT(strengthLevel(elo).softNodes, strengthLevel(elo - 50).softNodes) << elo;
    EXPECT_LE(strengthLevel(elo).temperature, strengthLevel(elo - 50).temperature) << elo;
    EXPECT_LE(strengthLevel(elo).maxLoss, strengthLevel(elo - 50).maxLoss) << elo;
    EXPECT_GE(strengthLevel(elo).candidates, 2) << elo;
  }
  EXPECT_LT(strengthLevel(STRENGTH_MIN_ELO).maxLoss, 250);
  EXPECT_EQ(strengthLevel(0).softNodes, strengthLevel(STRENGTH_MIN_ELO).softNodes);
  EXPECT_EQ(strengthLevel(99999).softNodes, strengthLevel(STRENGTH_MAX_ELO).softNodes);
  // Close moves are all played at the weakest level; the strongest keeps mostly to the best.
  const std::vector<int> close = {40, 30, 10, -5};
  const std::vector<int> weakest = choices(close, STRENGTH_MIN_ELO);
  for (int count : weakest) EXPECT_GT(count, 400);
  EXPECT_GT(choices(close, STRENGTH_MAX_ELO)[0], 2800);
}

// ---- Through the pipe ----

struct PrintedLine {
  int multiPv = 0;
  std::string firstMove;
  long long nodes = -1;
};
PrintedLine readPrintedLine(const std::string& line) {
  const std::string multiPv = infoField(line, "multipv"), nodes = infoField(line, "nodes");
  return {multiPv.empty() ? 0 : std::stoi(multiPv), infoField(line, "pv"),
          nodes.empty() ? -1 : std::stoll(nodes)};
}

struct Search {
  std::string fen;
  std::string go;
};

TEST(LimitedStrength, AnswersLegallyAmongItsLinesWithinItsBudget) {
  auto engine = startEngine();
  EXPECT_EQ(engine->command("setoption name UCI_LimitStrength value true"), Lines{});
  const Search searches[] = {
      {START_FEN, "go depth 30"},
      {"r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3", "go nodes 1000000"},
      {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", "go depth 12"},
      {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", "go depth 30"},
  };
  for (int elo : {STRENGTH_MIN_ELO, 1700, STRENGTH_MAX_ELO}) {
    EXPECT_EQ(engine->command("setoption name UCI_Elo value " + std::to_string(elo)), Lines{});
    const StrengthLevel level = strengthLevel(elo);
    for (const Search& s : searches) {
      engine->send("position fen " + s.fen);
      const Answer answer = goAndWait(*engine, s.go);
      ASSERT_FALSE(answer.bestmove.empty()) << s.fen;
      EXPECT_TRUE(legalIn(s.fen, answer.bestmove)) << answer.bestmove;
      std::vector<std::string> lastLines(size_t(level.candidates + 1));
      std::vector<long long> nodesOfEachDepth;
      for (const std::string& line : answer.lines) {
        const PrintedLine printed = readPrintedLine(line);
        if (printed.multiPv == 1) nodesOfEachDepth.push_back(printed.nodes);
        if (printed.multiPv >= 1 && printed.multiPv <= level.candidates)
          lastLines[size_t(printed.multiPv)] = printed.firstMove;
      }
      // The lines of the last depth printed; the answer is one of them.
      EXPECT_NE(std::find(lastLines.begin(), lastLines.end(), answer.bestmove), lastLines.end())
          << elo << " " << s.fen << " " << answer.bestmove;
      // The last depth began within the budget.
      ASSERT_FALSE(nodesOfEachDepth.empty());
      if (nodesOfEachDepth.size() >= 2) {
        EXPECT_LT(nodesOfEachDepth[nodesOfEachDepth.size() - 2], level.softNodes) << elo;
      }
    }
  }
}

TEST(LimitedStrength, TakesTheTimeOfAFullSearchAndStopsWhenTold) {
  auto engine = startEngine();
  EXPECT_EQ(engine->command("setoption name UCI_LimitStrength value true"), Lines{});
  EXPECT_EQ(engine->command("setoption name UCI_Elo value 1350"), Lines{});
  engine->send("position startpos");
  // A 25th of 10 s less the overhead: a full search of a steady position spends most of it.
  const Answer timed = goAndWait(*engine, "go wtime 10000 btime 10000");
  ASSERT_FALSE(timed.bestmove.empty());
  EXPECT_GE(timed.ms, 200);
  // An open-ended search waits for "stop" however small its budget; isready is answered meanwhile.
  EXPECT_TRUE(engine->send("go infinite"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(engine->send("isready"));
  const Lines early = engine->readUntil("readyok", 5000);
  ASSERT_FALSE(early.empty());
  EXPECT_EQ(early.back(), "readyok");
  for (const std::string& line : early) EXPECT_FALSE(startsWith(line, "bestmove")) << line;
  const Answer stopped = goAndWait(*engine, "stop", 5000);
  EXPECT_FALSE(stopped.bestmove.empty());
  // A ponder search holds its answer the same way until "ponderhit".
  EXPECT_TRUE(engine->send("go ponder wtime 1000 btime 1000"));
  const Lines pondering = engine->drain(300);
  for (const std::string& line : pondering) EXPECT_FALSE(startsWith(line, "bestmove")) << line;
  EXPECT_FALSE(goAndWait(*engine, "ponderhit", 5000).bestmove.empty());
  // A node limit beside a long clock: a full search could end at any node, so no waiting for the
  // clock's 40 s.
  const Answer limited = goAndWait(*engine, "go wtime 1000000 btime 1000000 nodes 500", 10000);
  EXPECT_FALSE(limited.bestmove.empty());
}

TEST(LimitedStrength, FullStrengthAgainWhenTurnedOffAndSeveralThreadsAnswerOnce) {
  auto engine = startEngine();
  const StrengthLevel weakest = strengthLevel(STRENGTH_MIN_ELO);
  auto searchedNodes = [&](const std::string& go) {
    engine->send("position startpos");
    const Answer answer = goAndWait(*engine, go);
    long long nodes = 0;
    bool multiPv = false;
    for (const std::string& line : answer.lines) {
      const PrintedLine printed = readPrintedLine(line);
      if (printed.nodes >= 0) nodes = printed.nodes;
      multiPv = multiPv || printed.multiPv > 0;
    }
    EXPECT_EQ(countBestmoves(answer.lines), 1);
    return std::make_pair(nodes, multiPv);
  };
  EXPECT_EQ(engine->command("setoption name uci_elo value 1000"), Lines{});  // taken as 1350
  EXPECT_EQ(engine->command("setoption name uci_limitstrength value TRUE"), Lines{});
  EXPECT_EQ(engine->command("setoption name Threads value 3"), Lines{});
  const auto weak = searchedNodes("go depth 20");
  EXPECT_LT(weak.first, 10 * weakest.softNodes);
  EXPECT_TRUE(weak.second);
  EXPECT_EQ(engine->command("setoption name UCI_LimitStrength value false"), Lines{});
  EXPECT_EQ(engine->command("setoption name Threads value 1"), Lines{});
  const auto full = searchedNodes("go depth 9");
  EXPECT_GT(full.first, 10 * weakest.softNodes);
  EXPECT_FALSE(full.second);
}

}  // namespace

// The levels were measured on the table evaluation: a limited search plays on it whatever plays
// at full strength (said once, when it leaves the net), and full strength has the net back.
TEST(LimitedStrength, PlaysOnTheTableTheLevelsWereMeasuredOn) {
  const std::string fen = "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - - 1 7";
  Lines said;
  auto depthOneScore = [&](EngineProcess& engine) {
    engine.send("position fen " + fen);
    const Answer answer = goAndWait(engine, "go depth 1");
    int score = 0;
    for (const std::string& line : answer.lines) {
      if (startsWith(line, "info string")) said.push_back(line);
      const size_t at = line.find(" score cp ");
      if (at != std::string::npos && readPrintedLine(line).multiPv <= 1)
        score = std::stoi(line.substr(at + 10));
    }
    return score;
  };
  auto table = startEngine();
  EXPECT_EQ(table->command("setoption name TableEvaluation value true"), Lines{});
  const int tableScore = depthOneScore(*table);
  auto engine = startEngine();
  EXPECT_EQ(engine->command("setoption name TableEvaluation value false"), Lines{});
  const int netScore = depthOneScore(*engine);
  ASSERT_NE(netScore, tableScore);  // the position tells the two apart
  ASSERT_EQ(said, Lines{});
  EXPECT_EQ(engine->command("setoption name UCI_LimitStrength value true"), Lines{});
  EXPECT_EQ(depthOneScore(*engine), tableScore);
  EXPECT_EQ(depthOneScore(*engine), tableScore);
  EXPECT_EQ(said,
            Lines{"info string UCI_LimitStrength: the levels play with the table evaluation"});
  said.clear();
  EXPECT_EQ(engine->command("setoption name UCI_LimitStrength value false"), Lines{});
  EXPECT_EQ(depthOneScore(*engine), netScore);
  EXPECT_EQ(said, Lines{});
}
