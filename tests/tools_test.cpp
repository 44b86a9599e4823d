// The tuning and test-suite tools as their users meet them, through the real program in a
// scratch directory: missing and malformed files are reported, "isready", "stop" and "quit" are
// honoured while a tool runs, and results are written whole.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>

#include "eval/params.h"
#include "tests/engine_process.h"
#include "tests/support.h"

namespace {

using Tools = ScratchDirTest;

const char* const MATE_IN_ONE = "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1";  // a1a8
const char* const HANGING_QUEEN = "4k3/8/8/3q4/8/2N5/8/4K3 w - - 0 1";   // c3d5
const char* const KIWIPETE = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// Reads until a line matches; the lines read, or empty when none came.
Lines readUntilMatch(EngineProcess& engine, const std::string& pattern) {
  Lines lines;
  while (auto line = engine.readLine()) {
    lines.push_back(*line);
    if (std::regex_match(*line, std::regex(pattern))) return lines;
  }
  return {};
}

TEST_F(Tools, MissingAndMalformedFilesAreReportedAndNothingIsDone) {
  auto engine = startEngine();
  const std::vector<std::pair<std::string, std::string>> missing = {
      {"recpar", "info string recpar: cannot open punt5.txt"},
      {"millora", "info string millora: cannot run ./millora.sh (No such file or directory)"},
      {"provred", "info string provred: cannot open variants16c.txt"},
      {"provale", "info string provale: cannot open variants16c.txt"},
      {"rands", "info string rands: cannot open variants16c.txt"},
      {"calcvar", "info string calcvar: cannot open punt5.pgn"},
      {"juntarfit", "No es pot obrir fitxer avaluacions valorsx12.txt1"},
  };
  for (const auto& [command, message] : missing)
    EXPECT_EQ(engine->command(command), Lines{message});
  writeFile("punt5.txt", std::string(START_FEN) + "\n0.2\n" + KIWIPETE + "\nabout three\n");
  writeFile("variants16c.txt", std::string(START_FEN) + "\ne2e4\n" + START_FEN);
  writeFile("punt5.pgn", "not a position\n");
  EXPECT_EQ(
      engine->command("recpar"),
      Lines{"info string recpar: punt5.txt line 4: expected the reference evaluation in pawns"});
  EXPECT_EQ(
      engine->command("provred"),
      Lines{"info string provred: variants16c.txt line 3: position without its line of moves"});
  Lines answer = engine->command("calcvar");
  ASSERT_EQ(answer.size(), 1u);
  EXPECT_TRUE(startsWith(answer[0], "info string calcvar: punt5.pgn line 1: not a position"))
      << answer[0];
  const auto entries = std::filesystem::directory_iterator(".");
  EXPECT_EQ(std::distance(begin(entries), end(entries)), 3) << "a tool wrote a file";
}

// A pass of "recpar" keeps only changes that lower the error, and its file is the whole table,
// which the engine loads again.
TEST_F(Tools, RecparWritesEachWholePassAndStopsOnStop) {
  writeFile("punt5.txt",
            std::string(START_FEN) + "\n0.2\n4k3/8/8/8/8/8/PPPP4/4K3 w - - 0 1\n3.1\n" +
                "4k3/pp6/8/8/8/8/8/4K3 b - - 0 1\n1.4\n4k3/8/8/8/8/8/8/R3K3 w - - 0 1\n5.0\n");
  auto engine = startEngine();
  ASSERT_TRUE(engine->send("recpar"));
  Lines lines = readUntilMatch(*engine, "dif: [0-9.]+  3");
  ASSERT_TRUE(engine->send("isready") && engine->send("stop"));
  const Lines rest = readUntilMatch(*engine, "info string recpar stopped");
  lines.insert(lines.end(), rest.begin(), rest.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "readyok"), lines.end());
  ASSERT_TRUE(engine->send("quit"));
  EXPECT_EQ(engine->waitForExit(), 0);
  // Each pass starts with its error, never above the last. The stop lands inside a pass, which
  // then leaves no file, or between two, when the last pass announced ran to its last step.
  int pass = 0;
  double error = 1e9;
  int lastStep[2] = {-1, -1};  // of the first pass, of the last one announced
  for (const std::string& line : lines) {
    std::smatch m;
    if (std::regex_match(line, m, std::regex("  \\*([0-9]+)\\*"))) {
      lastStep[pass > 1] = std::stoi(m[1]);
      continue;
    }
    if (!std::regex_match(line, m, std::regex("dif: ([0-9.]+)  ([0-9]+)"))) continue;
    EXPECT_LE(std::stod(m[1]), error) << line;
    error = std::stod(m[1]);
    pass = std::stoi(m[2]);
    lastStep[1] = -1;
  }
  ASSERT_GE(pass, 3);
  if (fileExists("valorsx12.txt" + std::to_string(pass))) {
    EXPECT_EQ(lastStep[1], lastStep[0]);
  }
  for (const std::string& file :
       {std::string("valorsx12.txt1"), "valorsx12.txt" + std::to_string(pass - 1)}) {
    EXPECT_EQ(splitLines(readFile(file)).size(), size_t(EVAL_PARAM_COUNT)) << file;
    std::string why;
    EXPECT_TRUE(TryLoadEvalParamFile(file.c_str(), &why)) << why;
  }
  // "juntarfit" reloads the first pass and writes it back under a new name.
  engine = startEngine();
  EXPECT_EQ(engine->command("juntarfit"), Lines{});
  EXPECT_EQ(splitLines(readFile("valorsx12.txt1999")).size(), size_t(EVAL_PARAM_COUNT));
}

// "millora" judges each trial by ./millora.sh: a stand-in answers scripted scores in turn ("fail
// N" exits with N) and keeps a copy of the table it was given.
TEST_F(Tools, MilloraKeepsOnlyBetterMatchesAndWritesThemAtOnce) {
  writeFile("millora.sh",
            "#!/bin/sh\nn=$(($(cat calls 2>/dev/null || echo 0) + 1))\necho $n > calls\ncp \"$1\" "
            "seen$n\n"
            "line=$(sed -n \"${n}p\" scores)\necho chatter\ncase \"$line\" in fail*) exit "
            "${line#fail } ;; esac\n"
            "echo \"$line\"\n");
  chmod("millora.sh", 0755);
  writeFile("scores", "0.6\nfail 3\n0.5\n");  // entry 0: +1 kept; entry 1: both ways worse
  auto engine = startEngine();
  ASSERT_TRUE(engine->send("millora"));
  Lines lines = readUntilMatch(*engine, "  \\*provant valor 2\\*");
  ASSERT_TRUE(engine->send("stop"));
  EXPECT_FALSE(readUntilMatch(*engine, "info string millora stopped").empty());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "CreateProcess failed (3)."), lines.end());
  const int pawn = std::stoi(readFile("seen1"));
  EXPECT_EQ(std::stoi(readFile("valorsx12.txt1")), pawn) << "the kept change";
  EXPECT_EQ(splitLines(readFile("valorsx12.txt1")).size(), size_t(EVAL_PARAM_COUNT));
  EXPECT_FALSE(fileExists("valorsx12.txt2")) << "a change that was not kept was written";
  EXPECT_EQ(splitLines(readFile("seen1")).size(), size_t(EVAL_PARAM_COUNT));
}

TEST_F(Tools, TestSuitesCountAnswerIsreadyAndStopOrQuit) {
  writeFile("variants16c.txt", std::string(MATE_IN_ONE) + "\ng1h1; a1a8\n" + HANGING_QUEEN +
                                   "\nc3d5\n" + START_FEN + "\na2a3;h2h4\n");
  auto engine = startEngine();
  ASSERT_TRUE(engine->send("provred"));
  Lines run = readUntilMatch(*engine, "numfallats.*");
  ASSERT_EQ(run.size(), 5u);
  EXPECT_EQ(Lines(run.begin(), run.begin() + 3),
            (Lines{std::string(MATE_IN_ONE) + " 0", std::string(HANGING_QUEEN) + " 1",
                   std::string(START_FEN) + " 2"}));
  EXPECT_TRUE(std::regex_match(
      run[3], std::regex("numtrobats: 2  sumaordretrobat: 1  numnodestrobat: [1-9][0-9]*")));
  EXPECT_TRUE(std::regex_match(run[4], std::regex("numfallats: 1  numnodesnotrobat: [1-9][0-9]*")));
  std::string file;
  for (int i = 0; i < 8; ++i) file += std::string(KIWIPETE) + "\ne2a6\n";
  writeFile("variants16c.txt", file);
  engine = startEngine();
  ASSERT_TRUE(engine->send("provred"));
  EXPECT_EQ(engine->readLine(), std::optional<std::string>(std::string(KIWIPETE) + " 0"));
  ASSERT_TRUE(engine->send("isready") && engine->send("stop"));
  Lines lines = readUntilMatch(*engine, "info string provred stopped");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "readyok"), lines.end());
  EXPECT_LT(lines.size(), 8u);
  for (const std::string& line : lines) EXPECT_FALSE(startsWith(line, "numtrobats")) << line;
  // "provale" and "rands" run until told: each record whole, none half-made at "quit".
  writeFile("variants16c.txt", std::string(MATE_IN_ONE) + "\na1a8\n");
  for (const char* tool : {"provale", "rands"}) {
    engine = startEngine();
    ASSERT_TRUE(engine->send(tool));
    ASSERT_FALSE(readUntilMatch(*engine, "(numfallats|[0-9]+ numnodes).*").empty()) << tool;
    ASSERT_FALSE(readUntilMatch(*engine, "(numfallats|[0-9]+ numnodes).*").empty()) << tool;
    ASSERT_TRUE(engine->send("quit"));
    EXPECT_EQ(engine->waitForExit(), 0);
  }
  const Lines sets = splitLines(readFile("valprov63movpas.txt"));
  ASSERT_GE(sets.size(), 2u);
  for (const std::string& set : sets)
    EXPECT_TRUE(std::regex_match(set, std::regex("(-?[0-9]+;){457}(1;0;[0-9]+;0;0|passat)")))
        << set;
  const Lines seeds = splitLines(readFile("randseed2.txt"));
  ASSERT_GE(seeds.size(), 2u);
  for (const std::string& seed : seeds)
    EXPECT_TRUE(std::regex_match(seed, std::regex("[0-9]+;0;[1-9][0-9]*"))) << seed;
}

TEST_F(Tools, CalcvarAppendsEquallyGoodMovesInTheTestFormat) {
  // Lines 1, 12, 23, ... are used: a lopsided position, one with a single reply, a drawn ending.
  std::string source = "4k3/8/8/8/8/8/8/QQ2K3 w - - 0 1\n" + std::string(10, '\n');
  source += "4R2k/6pp/8/8/8/b7/8/6K1 b - - 0 1\n" + std::string(10, '\n') +
            "k7/8/K7/P7/8/8/8/8 w - - 0 1\n";
  writeFile("punt5.pgn", source);
  auto engine = startEngine();
  ASSERT_TRUE(engine->send("calcvar"));
  ASSERT_FALSE(readUntilMatch(*engine, "k7/8/K7/P7/8/8/8/8 w - - 0 1").empty());
  for (int i = 0; i < 600 && !fileExists("calcvar.txt"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(engine->send("quit"));
  EXPECT_EQ(engine->waitForExit(), 0);
  EXPECT_EQ(splitLines(readFile("calcvar.txt")),
            (Lines{"k7/8/K7/P7/8/8/8/8 w - - 0 1", "a6b6;a6b5;"}));
}

}  // namespace
