// The search as an interface sees it: "go" lines through a pipe, the exact form of the info and
// bestmove lines, one answer per "go", the depth shortcuts, node-limited and restricted searches,
// and the search's option and developer commands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine_process.h"

namespace {

bool isNumber(const std::string& w) {
  size_t i = w[0] == '-' ? 1 : 0;
  if (i >= w.size()) return false;
  for (; i < w.size(); ++i)
    if (w[i] < '0' || w[i] > '9') return false;
  return true;
}

bool isMoveText(const std::string& w) {
  return (w.size() == 4 || (w.size() == 5 && std::string("qrnb").find(w[4]) != std::string::npos)) &&
         w[0] >= 'a' && w[0] <= 'h' && w[1] >= '1' && w[1] <= '8' && w[2] >= 'a' && w[2] <= 'h' &&
         w[3] >= '1' && w[3] <= '8';
}

// "info depth D seldepth S score (cp V [lowerbound] | mate M) nodes N nps P time T pv m1 ... "
// with the blank after every move. Returns "" when the line has that form, else what is wrong.
std::string infoLineProblem(const std::string& line) {
  if (line.empty() || line.back() != ' ') return "no blank at the end";
  std::vector<std::string> w = words(line);
  size_t i = 0;
  auto expectWord = [&](const std::string& word) { return i < w.size() && w[i++] == word; };
  auto expectNumber = [&]() { return i < w.size() && isNumber(w[i++]); };
  if (!expectWord("info") || !expectWord("depth") || !expectNumber() || !expectWord("seldepth") ||
      !expectNumber() || !expectWord("score"))
    return "bad head";
  if (i < w.size() && w[i] == "cp") {
    ++i;
    if (!expectNumber()) return "bad cp";
    if (i < w.size() && w[i] == "lowerbound") ++i;
  } else if (!expectWord("mate") || !expectNumber()) {
    return "bad score";
  }
  if (!expectWord("nodes") || !expectNumber() || !expectWord("nps") || !expectNumber() ||
      !expectWord("time") || !expectNumber() || !expectWord("pv"))
    return "bad counters";
  if (i >= w.size()) return "empty pv";
  for (; i < w.size(); ++i)
    if (!isMoveText(w[i])) return "bad pv move " + w[i];
  return "";
}

// Sends the go line and collects everything up to and including the bestmove line; then checks
// that nothing more follows before the answer to "isready".
Lines search(EngineProcess& engine, const std::string& go, int timeoutMs = 60000) {
  Lines lines;
  if (!engine.send(go)) return lines;
  while (auto line = engine.readLine(timeoutMs)) {
    lines.push_back(*line);
    if (startsWith(*line, "bestmove")) break;
  }
  EXPECT_TRUE(engine.send("isready"));
  EXPECT_EQ(engine.readLine(timeoutMs).value_or("<nothing>"), "readyok") << "after " << go;
  return lines;
}

std::string bestMoveOf(const Lines& lines) {
  if (lines.empty() || !startsWith(lines.back(), "bestmove ")) return "<none>";
  return words(lines.back())[1];
}

// The last full info line.
std::string lastInfo(const Lines& lines) {
  for (size_t i = lines.size(); i-- > 0;)
    if (startsWith(lines[i], "info depth") && lines[i].find(" pv ") != std::string::npos)
      return lines[i];
  return "";
}

std::string wordAfter(const std::string& line, const std::string& key) {
  std::vector<std::string> w = words(line);
  for (size_t i = 0; i + 1 < w.size(); ++i)
    if (w[i] == key) return w[i + 1];
  return "";
}

int deepestIteration(const Lines& lines) {
  int deepest = 0;
  for (const std::string& line : lines)
    if (startsWith(line, "info depth ")) deepest = std::max(deepest, std::stoi(wordAfter(line, "depth")));
  return deepest;
}

TEST(SearchProtocol, InfoLinesHaveTheirExactForm) {
  auto engine = startEngine();
  Lines lines = search(*engine, "go depth 5");
  ASSERT_FALSE(lines.empty());
  int full = 0;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    const std::string& line = lines[i];
    std::vector<std::string> w = words(line);
    if (w.size() == 3 && w[0] == "info" && w[1] == "depth") {
      EXPECT_GE(std::stoi(w[2]), 2) << "depth 1 has no iteration line";
      continue;
    }
    // A timer tick during a root move prints its currmove line.
    if (w.size() == 7 && w[0] == "info" && w[1] == "depth" && w[3] == "currmove") {
      EXPECT_TRUE(isNumber(w[2]) && isMoveText(w[4]) && w[5] == "currmovenumber" &&
                  isNumber(w[6]))
          << line;
      continue;
    }
    EXPECT_EQ(infoLineProblem(line), "") << line;
    ++full;
  }
  EXPECT_GE(full, 5);
  EXPECT_EQ(deepestIteration(lines), 5);
  EXPECT_TRUE(startsWith(lines.back(), "bestmove ")) << lines.back();
  std::vector<std::string> last = words(lines.back());
  ASSERT_TRUE(last.size() == 2 || last.size() == 4) << lines.back();
  EXPECT_TRUE(isMoveText(last[1]));
  if (last.size() == 4) {
    EXPECT_EQ(last[2], "ponder");
    EXPECT_TRUE(isMoveText(last[3]));
  }
  // The reported move is the first move of the last principal variation.
  EXPECT_EQ(wordAfter(lastInfo(lines), "pv"), last[1]);
}

TEST(SearchProtocol, MateScoresForBothSides) {
  auto engine = startEngine();
  engine->send("position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1");
  Lines mating = search(*engine, "go depth 4");
  EXPECT_EQ(wordAfter(lastInfo(mating), "mate"), "1") << lastInfo(mating);
  EXPECT_EQ(bestMoveOf(mating), "d1d8");
  EXPECT_EQ(infoLineProblem(lastInfo(mating)), "");

  engine->send("position fen k7/8/1K6/8/8/8/8/7R b - - 0 1");
  Lines mated = search(*engine, "go depth 4");
  EXPECT_EQ(wordAfter(lastInfo(mated), "mate"), "-1") << lastInfo(mated);
  EXPECT_EQ(bestMoveOf(mated), "a8b8");
}

TEST(SearchProtocol, RootWithoutLegalMoves) {
  auto engine = startEngine();
  engine->send("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
  EXPECT_EQ(search(*engine, "go depth 6"), (Lines{"info depth 0 score cp 0", "bestmove 0000"}));
  engine->send("position startpos moves f2f3 e7e5 g2g4 d8h4");
  EXPECT_EQ(search(*engine, "go depth 6"), (Lines{"info depth 0 score mate 0", "bestmove 0000"}));
}

TEST(SearchProtocol, DepthShortcuts) {
  auto engine = startEngine();
  EXPECT_EQ(deepestIteration(search(*engine, "9")), 9);
  EXPECT_EQ(deepestIteration(search(*engine, "100")), 10);
  // "22" is no shortcut: nothing is searched and nothing printed.
  EXPECT_EQ(engine->command("22"), Lines{});
}

TEST(SearchProtocol, OneBestmovePerGoAndNoneWithoutGo) {
  auto engine = startEngine();
  EXPECT_EQ(engine->command("stop"), Lines{});
  Lines first = search(*engine, "go depth 3");
  EXPECT_EQ(std::count_if(first.begin(), first.end(),
                          [](const std::string& l) { return startsWith(l, "bestmove"); }),
            1);
  // The search has answered; "stop" has nothing left to answer.
  EXPECT_EQ(engine->command("stop"), Lines{});
  EXPECT_EQ(engine->command("stop"), Lines{});
  search(*engine, "go depth 2");
  EXPECT_EQ(engine->command("stop"), Lines{});
}

TEST(SearchProtocol, NodeLimitedSearchesAreReproducible) {
  const std::string position =
      "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
  std::string results[2];
  for (std::string& result : results) {
    auto engine = startEngine();
    engine->send(position);
    Lines lines = search(*engine, "go nodes 30000");
    std::string info = lastInfo(lines);
    EXPECT_LE(std::stoll(wordAfter(info, "nodes")), 30001) << info;
    result = bestMoveOf(lines) + " " + wordAfter(info, "score") + " " + wordAfter(info, "cp") +
             " " + wordAfter(info, "nodes") + " pv " + info.substr(info.find(" pv ") + 4);
  }
  EXPECT_EQ(results[0], results[1]);
  EXPECT_NE(results[0].rfind("<none>", 0), 0u);
}

TEST(SearchProtocol, SearchmovesPlaysOnlyListedMoves) {
  auto engine = startEngine();
  const std::string listed[] = {"a2a3", "h2h3"};
  Lines lines = search(*engine, "go depth 5 searchmoves a2a3 h2h3");
  EXPECT_TRUE(bestMoveOf(lines) == listed[0] || bestMoveOf(lines) == listed[1]) << bestMoveOf(lines);
  for (const std::string& line : lines) {
    std::string first = wordAfter(line, "pv");
    if (!first.empty()) {
      EXPECT_TRUE(first == listed[0] || first == listed[1]) << line;
    }
  }
  // The back-rank mate is not among the listed moves, so none is reported.
  engine->send("position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1");
  Lines restricted = search(*engine, "go depth 4 searchmoves d1d2 g1f1");
  EXPECT_TRUE(bestMoveOf(restricted) == "d1d2" || bestMoveOf(restricted) == "g1f1");
  EXPECT_EQ(wordAfter(lastInfo(restricted), "score"), "cp") << lastInfo(restricted);
}

TEST(SearchProtocol, MateLimitStopsOnceTheMateIsProved) {
  auto engine = startEngine();
  engine->send("position fen r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1");
  Lines lines = search(*engine, "go mate 2");
  EXPECT_EQ(wordAfter(lastInfo(lines), "mate"), "2");
  EXPECT_EQ(bestMoveOf(lines), "d5f6");
}

TEST(SearchProtocol, HashOptionsAndNewGame) {
  auto engine = startEngine();
  EXPECT_EQ(engine->command("setoption name Hash value 100"), Lines{"Not power of two"});
  EXPECT_EQ(engine->command("setoption name hash value 16"), Lines{});
  EXPECT_EQ(engine->command("setoption name Clear Hash"), Lines{});
  EXPECT_EQ(engine->command("setoption name Ponder value true"), Lines{});
  EXPECT_EQ(engine->command("setoption name Threads value 1"), Lines{});
  EXPECT_EQ(engine->command("setoption name clear hash"), Lines{});
  EXPECT_EQ(engine->command("setoption name Move Overhead value none"), Lines{});
  // More than the table's index can address: refused, the old table stays.
  Lines huge = engine->command("setoption name Hash value 131072");
  ASSERT_EQ(huge.size(), 1u);
  EXPECT_TRUE(isInfoString(huge[0])) << huge[0];
  EXPECT_EQ(engine->command("ucinewgame"), Lines{});
  EXPECT_EQ(bestMoveOf(search(*engine, "go depth 4")).size(), 4u);
}

TEST(SearchProtocol, SeeCommand) {
  auto engine = startEngine();
  engine->send("position fen 4k3/8/4p3/3p4/8/8/8/3RK3 w - - 0 1");
  EXPECT_EQ(engine->command("SEE d1d5"), Lines{"-387"});
  EXPECT_EQ(engine->command("SEE d1d4"), Lines{"0"});
  engine->send("position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(engine->command("SEE a7a8q"), Lines{"0"});
  // A move that is not legal here is refused, whatever its squares hold.
  for (const char* bad : {"SEE z9", "SEE a7a8", "SEE e1e3", "SEE e8d8", "SEE a7a8x", "SEE"}) {
    Lines answer = engine->command(bad);
    ASSERT_EQ(answer.size(), 1u) << bad;
    EXPECT_TRUE(isInfoString(answer[0])) << answer[0];
  }
  engine->send("position startpos");
  EXPECT_TRUE(isInfoString(engine->command("SEE h2f5").at(0)));
}

TEST(SearchProtocol, BenchIsReproducible) {
  std::string totals[2];
  for (std::string& total : totals) {
    auto engine = startEngine();
    Lines lines = engine->command("bench", 120000);
    ASSERT_GE(lines.size(), 30u);
    EXPECT_TRUE(startsWith(lines[lines.size() - 2], "Nodes searched: ")) << lines[lines.size() - 2];
    EXPECT_TRUE(startsWith(lines.back(), "Nodes/second: ")) << lines.back();
    total = lines[lines.size() - 2];
    // The game position is back: the start position's moves.
    EXPECT_EQ(engine->command("perft 1"), Lines{"20"});
  }
  EXPECT_EQ(totals[0], totals[1]);
}

}  // namespace
