// The searching tools: "provred", "provale", "calcvar" in-process, "rands" and the missing-file
// answers of all six commands through the real program.
#include <memory>

#include "tests/engine_process.h"
#include "tests/tuning_tools_test.h"
#include "tuning/calcvar.h"
#include "tuning/test_suite.h"

namespace {

const char* const MATE_IN_ONE = "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1";  // Ra8#
const char* const HANGING_QUEEN = "4k3/8/8/3q4/8/2N5/8/4K3 w - - 0 1";   // Nxd5
const char* const START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Mate listed second (order 1), the capture first (order 0), the start position with two moves
// no engine plays.
std::string threePairFile() {
  return std::string(MATE_IN_ONE) + "\ng1h1; a1a8\n" + HANGING_QUEEN + "\nc3d5\n" + START +
         "\na2a3;h2h4\n";
}

struct Summary {
  int solved = -1, orderSum = -1, failed = -1;
  long long solvedNodes = -1, failedNodes = -1;
};

Summary summaryOf(const std::vector<std::string>& lines) {
  Summary s;
  for (const std::string& line : lines) {
    std::sscanf(line.c_str(), "numtrobats: %d  sumaordretrobat: %d  numnodestrobat: %lld",
                &s.solved, &s.orderSum, &s.solvedNodes);
    std::sscanf(line.c_str(), "numfallats: %d  numnodesnotrobat: %lld", &s.failed,
                &s.failedNodes);
  }
  return s;
}

using ProvredTest = ToolTest;

TEST_F(ProvredTest, MoveListsSplitAndOrder) {
  auto items = splitMoveList("e2e4;d2d4");
  EXPECT_EQ(items, (std::vector<std::string>{"e2e4", "d2d4"}));
  EXPECT_EQ(listedOrder(items, "d2d4"), 1);
  EXPECT_EQ(listedOrder(items, "g1f3"), -1);
  EXPECT_EQ(listedOrder(items, "d2d"), -1);  // whole items only
  EXPECT_EQ(splitMoveList("e2e4;"), (std::vector<std::string>{"e2e4", ""}));
  EXPECT_EQ(splitMoveList(" a7a8q ; b2b1n"), (std::vector<std::string>{"a7a8q", "b2b1n"}));
}

TEST_F(ProvredTest, CountsSolvedAndFailedPositions) {
  writeWholeFile(TEST_FILE, threePairFile());
  goLimits.goFlags = GO_INFINITE;  // left by an earlier "go infinite": must not matter
  type("isready\n");
  auto lines = run(commandProvred);

  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "readyok");
  EXPECT_EQ(lines[1], std::string(MATE_IN_ONE) + " 0");
  EXPECT_EQ(lines[2], std::string(HANGING_QUEEN) + " 1");
  EXPECT_EQ(lines[3], std::string(START) + " 2");
  Summary s = summaryOf(lines);
  EXPECT_EQ(s.solved, 2);
  EXPECT_EQ(s.orderSum, 1);
  EXPECT_EQ(s.failed, 1);
  EXPECT_GT(s.solvedNodes, 0);
  EXPECT_GT(s.failedNodes, s.solvedNodes);  // the open start position costs the most
  EXPECT_EQ(lines.size(), 6u);  // no info lines, no bestmove
  EXPECT_FALSE(infoOutput);
  EXPECT_EQ(currentPly, 0);

  // Each position starts from cleared tables, so a second run counts the same nodes.
  Summary again = summaryOf(run(commandProvred));
  EXPECT_EQ(again.solvedNodes, s.solvedNodes);
  EXPECT_EQ(again.failedNodes, s.failedNodes);
}

TEST_F(ProvredTest, StopEndsTheRunWithoutSummary) {
  writeWholeFile(TEST_FILE, threePairFile());
  type("stop\n");
  auto lines = run(commandProvred);
  EXPECT_EQ(lines, (std::vector<std::string>{"info string provred stopped"}));
}

TEST_F(ProvredTest, MalformedTestFileIsRefusedWithItsLine) {
  writeWholeFile(TEST_FILE, std::string(START) + "\ne2e4\n" + START);
  auto lines = run(commandProvred);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "info string provred: variants16c.txt line 3: position without its line "
                       "of moves"}));
  writeWholeFile(TEST_FILE, std::string(START) + "\ne2e4\n8/8/8/8/8/8/8/8 w - - 0 1\ne2e4\n");
  lines = run(commandProvred);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("info string provred: variants16c.txt line 3: not a position", 0), 0u);
  // An empty file is a run of no positions.
  writeWholeFile(TEST_FILE, "");
  lines = run(commandProvred);
  EXPECT_EQ(lines, (std::vector<std::string>{"numtrobats: 0  sumaordretrobat: 0  numnodestrobat: 0",
                                             "numfallats: 0  numnodesnotrobat: 0"}));
}

// ---- provale ----

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t end; (end = line.find(';', start)) != std::string::npos; start = end + 1)
    fields.push_back(line.substr(start, end - start));
  fields.push_back(line.substr(start));
  return fields;
}

class ProvaleTest : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    toolLimits.testRunDepth = 3;
    writeWholeFile(TEST_FILE, std::string(MATE_IN_ONE) + "\na1a8\n" + HANGING_QUEEN + "\nc3d5\n");
  }
};

TEST_F(ProvaleTest, RecordsEachDrawnSetWithItsResult) {
  toolLimits.passes = 2;
  auto lines = run(commandProvale);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], std::string(MATE_IN_ONE) + "   0");
  auto records = splitLines(readWholeFile(PROVALE_RESULTS));
  ASSERT_EQ(records.size(), 2u);
  for (const std::string& record : records) {
    auto fields = fieldsOf(record);
    ASSERT_EQ(fields.size(), size_t(EVAL_PARAM_COUNT + 5));
    for (int i = 0; i < EVAL_PARAM_COUNT; ++i) {
      int value = std::atoi(fields[size_t(i)].c_str());
      EXPECT_GE(value, evalParams[i].min) << i;
      EXPECT_LE(value, evalParams[i].max) << i;
    }
    EXPECT_EQ(std::atoi(fields[EVAL_PARAM_COUNT].c_str()) +
                  std::atoi(fields[EVAL_PARAM_COUNT + 3].c_str()),
              2);
  }
  EXPECT_NE(records[0], records[1]);
  // The last set drawn stays in force.
  auto last = fieldsOf(records[1]);
  for (int i = 0; i < EVAL_PARAM_COUNT; ++i)
    EXPECT_EQ(*evalParams[i].var, std::atoi(last[size_t(i)].c_str())) << i;
  Summary s = summaryOf(lines);
  EXPECT_EQ(last[EVAL_PARAM_COUNT], std::to_string(s.solved));
  EXPECT_EQ(last[EVAL_PARAM_COUNT + 2], std::to_string(s.solvedNodes));
  EXPECT_EQ(last[EVAL_PARAM_COUNT + 4], std::to_string(s.failedNodes));
}

TEST_F(ProvaleTest, SetsTestedBeforeAreNotTestedAgain) {
  // With every bound closed the only set is the current one.
  for (EvalParam& p : evalParams) p.min = p.max = *p.var;
  toolLimits.passes = 1;
  run(commandProvale);
  auto first = readWholeFile(PROVALE_RESULTS);
  ASSERT_EQ(splitLines(first).size(), 1u);
  auto lines = run(commandProvale);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "info string provale: every parameter set drawn has been tested already"}));
  EXPECT_EQ(readWholeFile(PROVALE_RESULTS), first);
}

TEST_F(ProvaleTest, HopelessSetIsRecordedAsPassat) {
  TestRunCounts counts;
  counts.solved = 3;
  counts.solvedNodes = 600000000;
  counts.failedNodes = 400000001;
  evalParamCount = 2;
  EXPECT_EQ(provaleRecord(counts), std::to_string(*evalParams[0].var) + ";" +
                                       std::to_string(*evalParams[1].var) + ";passat\n");
  counts.failedNodes = 400000000;  // not past the limit
  counts.failed = 7;
  EXPECT_EQ(provaleRecord(counts), std::to_string(*evalParams[0].var) + ";" +
                                       std::to_string(*evalParams[1].var) +
                                       ";3;0;600000000;7;400000000\n");
  evalParamCount = EVAL_PARAM_COUNT;
}

TEST_F(ProvaleTest, StopLeavesNoRecord) {
  type("stop\n");
  auto lines = run(commandProvale);
  EXPECT_EQ(lines, (std::vector<std::string>{"info string provale stopped"}));
  EXPECT_FALSE(fileExists(PROVALE_RESULTS));
}

// ---- calcvar ----

TEST(CalcvarMoves, EquallyGoodMovesReachTwentyBelowTheBest) {
  std::vector<ScoredMove> moves = {{"a", 10}, {"b", 30}, {"c", 9}, {"d", 25}, {"e", 10}};
  EXPECT_EQ(equallyGoodMoves(moves), (std::vector<std::string>{"b", "d", "a", "e"}));
  EXPECT_EQ(equallyGoodMoves({{"a", -9000}, {"b", 40}}), (std::vector<std::string>{"b"}));
}

const char* const LOPSIDED = "4k3/8/8/8/8/8/8/QQ2K3 w - - 0 1";
const char* const ONE_REPLY = "4R2k/6pp/8/8/8/b7/8/6K1 b - - 0 1";  // only Bf8

TEST_F(ToolTest, CalcvarSkipsLopsidedAndForcedPositionsAndWritesTestFormat) {
  toolLimits.calcvarDepth = 3;
  std::string source = std::string(LOPSIDED) + "\n";
  for (int i = 0; i < 10; ++i) source += "junk\n";
  source += std::string(ONE_REPLY) + "\n";
  for (int i = 0; i < 10; ++i) source += "junk\n";
  source += std::string(START) + "\n";
  writeWholeFile(CALCVAR_SOURCE, source);
  infoOutput = true;
  auto lines = run(commandCalcvar);

  // The used lines are printed; only the last one is searched (info lines follow it).
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], LOPSIDED);
  EXPECT_EQ(lines[1], ONE_REPLY);
  EXPECT_EQ(lines[2], START);
  EXPECT_EQ(lines[3].rfind("info ", 0), 0u);

  auto written = splitLines(readWholeFile(CALCVAR_OUTPUT));
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0], START);
  ASSERT_FALSE(written[1].empty());
  EXPECT_EQ(written[1].back(), ';');
  auto moves = splitMoveList(written[1]);
  moves.pop_back();  // after the last ";"
  EXPECT_GE(moves.size(), 2u);
  for (const std::string& move : moves) {
    Board board;
    PlyState state;
    ASSERT_TRUE(setPosition(board, state, START));
    EXPECT_FALSE(isNoMove(findLegalMove(board, state, move.c_str()))) << move;
  }
  EXPECT_EQ(currentPly, 0);

  // Appending: a second run adds the same record again.
  infoOutput = false;
  run(commandCalcvar);
  EXPECT_EQ(splitLines(readWholeFile(CALCVAR_OUTPUT)).size(), 4u);
}

// ---- through the real program ----

TEST_F(ToolTest, EveryToolAnswersAMissingFileAndTheEngineStaysReady) {
  EngineProcess engine;
  ASSERT_TRUE(engine.readLine().has_value());  // banner
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"recpar", "info string recpar: cannot open punt5.txt"},
      {"millora", "info string millora: cannot run ./millora.sh (No such file or directory)"},
      {"provred", "info string provred: cannot open variants16c.txt"},
      {"provale", "info string provale: cannot open variants16c.txt"},
      {"rands", "info string rands: cannot open variants16c.txt"},
      {"calcvar", "info string calcvar: cannot open punt5.pgn"},
  };
  for (const auto& [command, message] : expected)
    EXPECT_EQ(engine.command(command), (std::vector<std::string>{message})) << command;
  ASSERT_TRUE(engine.send("isready"));
  EXPECT_EQ(engine.readLine(), std::optional<std::string>("readyok"));
  ASSERT_TRUE(engine.send("quit"));
  EXPECT_EQ(engine.waitForExit(), std::optional<int>(0));
}

const char* const KIWIPETE = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// Typed while the program runs a test file: "isready" is answered and "stop" ends the run after
// the position being searched, with no summary; "quit" ends a tool that never returns, and no
// half-made record is left.
TEST_F(ToolTest, RunningToolsAnswerIsreadyAndStopOnStopOrQuit) {
  std::string file;
  for (int i = 0; i < 8; ++i) file += std::string(KIWIPETE) + "\ne2a6\n";
  writeWholeFile(TEST_FILE, file);
  {
    EngineProcess engine;
    ASSERT_TRUE(engine.readLine().has_value());
    ASSERT_TRUE(engine.send("provred"));
    EXPECT_EQ(engine.readLine(), std::optional<std::string>(std::string(KIWIPETE) + " 0"));
    ASSERT_TRUE(engine.send("isready"));
    ASSERT_TRUE(engine.send("stop"));
    auto lines = engine.readUntil("info string provred stopped");
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(containsLine(lines, "readyok"));
    for (const std::string& line : lines) EXPECT_EQ(line.find("numtrobats"), std::string::npos);
    EXPECT_LT(lines.size(), 8u);
    ASSERT_TRUE(engine.send("quit"));
    EXPECT_EQ(engine.waitForExit(), std::optional<int>(0));
  }
  {
    EngineProcess engine;
    ASSERT_TRUE(engine.readLine().has_value());
    ASSERT_TRUE(engine.send("provale"));
    EXPECT_EQ(engine.readLine(), std::optional<std::string>(""));
    EXPECT_EQ(engine.readLine(), std::optional<std::string>(std::string(KIWIPETE) + "   0"));
    ASSERT_TRUE(engine.send("quit"));
    EXPECT_EQ(engine.waitForExit(), std::optional<int>(0));
    EXPECT_FALSE(fileExists(PROVALE_RESULTS));
  }
}

TEST_F(ToolTest, RandsRecordsSeedsUntilQuit) {
  writeWholeFile(TEST_FILE, "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1\ne1d2\n");
  EngineProcess engine;
  ASSERT_TRUE(engine.readLine().has_value());
  ASSERT_TRUE(engine.send("rands"));
  std::vector<std::pair<long long, long long>> printed;
  while (printed.size() < 3) {
    auto line = engine.readLine();
    ASSERT_TRUE(line.has_value());
    long long seed = -1, nodes = -1;
    if (std::sscanf(line->c_str(), "%lld numnodes: %lld", &seed, &nodes) == 2)
      printed.push_back({seed, nodes});
    else
      EXPECT_EQ(*line, "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1 0");
  }
  ASSERT_TRUE(engine.send("quit"));
  EXPECT_EQ(engine.waitForExit(), std::optional<int>(0));

  auto records = splitLines(readWholeFile(RANDS_RESULTS));
  ASSERT_GE(records.size(), printed.size());
  for (size_t i = 0; i < records.size(); ++i) {
    long long seed = -1, zero = -1, nodes = -1;
    char tail = 0;
    ASSERT_EQ(std::sscanf(records[i].c_str(), "%lld;%lld;%lld%c", &seed, &zero, &nodes, &tail), 3)
        << records[i];
    EXPECT_EQ(records[i], std::to_string(seed) + ";0;" + std::to_string(nodes));
    EXPECT_GE(seed, 0);
    EXPECT_LT(seed, 99999);
    EXPECT_GT(nodes, 0);
    if (i < printed.size()) {
      EXPECT_EQ(seed, printed[i].first);
      EXPECT_EQ(nodes, printed[i].second);
    }
  }
}

}  // namespace
