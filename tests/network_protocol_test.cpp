// The network through the real program: "EvalFile" refuses damaged files in one line and keeps
// the net it had, an empty value brings the embedded net back, "TableEvaluation" and "evalnet",
// and the three programs' one bench signature with the net playing.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <sstream>

#include "eval/network.h"
#include "eval/network_file.h"
#include "tests/engine_process.h"
#include "tests/network_support.h"
#include "tests/support.h"

namespace {

std::string bytesText(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// The answer's one line, or a note of what came instead.
std::string oneLine(const Lines& lines) {
  if (lines.size() == 1) return lines[0];
  std::string all = "<" + std::to_string(lines.size()) + " lines>";
  for (const std::string& line : lines) all += " | " + line;
  return all;
}

class EvalFileTest : public ScratchDirTest {};

}  // namespace

TEST_F(EvalFileTest, DamagedFilesAreRefusedAndTheNetInUseKeepsPlaying) {
  const std::vector<uint8_t> good = serialiseNetwork(randomNetwork(77, 64));
  std::vector<uint8_t> wrongMagic = good, wrongSize = good, corrupted = good, wrongShape = good;
  wrongMagic[1] = 'X';
  wrongSize.push_back(0);
  corrupted[5000] ^= 0x01;
  wrongShape[12] = 40;  // 40 hidden: not a multiple of 32
  std::vector<uint8_t> version = good, noBucket = good, manyBuckets = good, twoBuckets = good;
  version[4] = 9;
  noBucket[36] = 0;
  manyBuckets[36] = 9;
  twoBuckets[36] = 2;  // the size of one
  QuantisedNetwork huge = randomNetwork(78, 64);
  for (int f = 0; f < 40; ++f) huge.featureWeights[size_t(f) * 64] = 2000;  // 32 * 2000 > 32767
  struct Case {
    std::string file, bytes, reason;
  };
  const std::vector<Case> cases = {
      {"truncated.nnue", bytesText(good).substr(0, good.size() / 2), "size "},
      {"magic.nnue", bytesText(wrongMagic), "not a Corvanel network (wrong magic)"},
      {"size.nnue", bytesText(wrongSize), "size "},
      {"checksum.nnue", bytesText(corrupted), "checksum mismatch (damaged file)"},
      {"shape.nnue", bytesText(wrongShape), "unsupported architecture"},
      {"header.nnue", bytesText(good).substr(0, 30), "too short for a network header"},
      {"version.nnue", bytesText(version), "network file version 9, this program reads 1 to "},
      {"nobucket.nnue", bytesText(noBucket), "unsupported architecture"},
      {"buckets.nnue", bytesText(manyBuckets), "unsupported architecture"},
      {"twobuckets.nnue", bytesText(twoBuckets), "size "},
      {"overflow.nnue", bytesText(serialiseNetwork(huge)), "an accumulator could overflow"},
      {"missing.nnue", "", "cannot open the file"},
      {"folder.nnue", "", "not a regular file"},
  };
  for (const Case& c : cases)
    if (!c.bytes.empty()) writeFile(dir + "/" + c.file, c.bytes);
  mkdir((dir + "/folder.nnue").c_str(), 0755);
  writeFile(dir + "/good.nnue", bytesText(good));

  auto engine = startEngine();
  EXPECT_EQ(engine->command("setoption name TableEvaluation value true"), Lines{});
  const std::string embedded = oneLine(engine->command("evalnet"));
  EXPECT_TRUE(std::regex_match(embedded, std::regex(
      "network -?[0-9]+ table -?[0-9]+ \\(centipawns, white's view\\)"))) << embedded;
  EXPECT_EQ(oneLine(engine->command("setoption name EvalFile value " + dir + "/good.nnue")),
            "info string network " + dir + "/good.nnue in use (64 hidden); TableEvaluation is "
            "true, so the table plays");
  const std::string loaded = oneLine(engine->command("evalnet"));
  EXPECT_NE(loaded, embedded);
  EXPECT_EQ(engine->command("setoption name TableEvaluation value false"), Lines{});

  for (const Case& c : cases) {
    const std::string path = dir + "/" + c.file;
    const std::string answer = oneLine(engine->command("setoption name EvalFile value " + path));
    EXPECT_EQ(answer.rfind("info string EvalFile " + path + " refused: " + c.reason, 0), 0u)
        << answer;
    EXPECT_NE(answer.find("; the network in use stays " + dir + "/good.nnue"),
              std::string::npos) << answer;
    EXPECT_EQ(oneLine(engine->command("evalnet")), loaded) << c.file;
  }
  // It still plays, with the net it had.
  const std::string position = "position startpos moves e2e4 c7c5 g1f3";
  ASSERT_TRUE(engine->send(position));
  const Answer answer = goAndWait(*engine, "go depth 5");
  EXPECT_TRUE(legalIn("rnbqkbnr/pp1ppppp/8/2p5/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2",
                      answer.bestmove))
      << answer.bestmove;

  // An empty value, and "<default>", bring back the embedded net.
  EXPECT_EQ(engine->command("position startpos"), Lines{});
  // The embedded net's width, as its header gives it (bytes 12-15).
  const unsigned hidden = embeddedNetworkBytes[12] | embeddedNetworkBytes[13] << 8;
  EXPECT_EQ(oneLine(engine->command("setoption name EvalFile value")),
            "info string network <default> in use (" + std::to_string(hidden) + " hidden)");
  EXPECT_EQ(oneLine(engine->command("evalnet")), embedded);
  engine->command("setoption name EvalFile value " + dir + "/good.nnue");
  engine->command("setoption name EvalFile value <default>");
  EXPECT_EQ(oneLine(engine->command("evalnet")), embedded);
}

// The search's lines without what depends on the clock (the figures of time, currmove lines).
Lines searchLines(EngineProcess& engine, const std::string& go) {
  const Answer answer = goAndWait(engine, go);
  Lines lines;
  for (const std::string& line : answer.lines)
    if (line.find(" currmove ") == std::string::npos)
      lines.push_back(std::regex_replace(line, std::regex(" (nps|time) [0-9]+"), ""));
  return lines;
}

TEST(EvalOptions, TheTableStaysWhatEvalMeasuresAndSwitchingForgetsTheOther) {
  auto engine = startEngine();
  EXPECT_EQ(engine->command("setoption name TableEvaluation value true"), Lines{});
  const Lines table = engine->command("eval");
  EXPECT_EQ(engine->command("setoption name TableEvaluation value false"), Lines{});
  EXPECT_EQ(engine->command("eval"), table);  // "eval" is the table's, whatever plays
  EXPECT_EQ(engine->command("setoption name TableEvaluation value maybe"), Lines{});
  const Lines withNet = searchLines(*engine, "go nodes 3000");
  // Back on the table, the search is the one of a fresh engine: nothing the net stored is used.
  EXPECT_EQ(engine->command("setoption name TableEvaluation value true"), Lines{});
  const Lines again = searchLines(*engine, "go nodes 3000");
  auto fresh = startEngine();
  EXPECT_EQ(fresh->command("setoption name TableEvaluation value true"), Lines{});
  const Lines first = searchLines(*fresh, "go nodes 3000");
  EXPECT_EQ(again, first);
  EXPECT_NE(withNet, first);
}

namespace {

// "Nodes searched" of bench with the net playing, or the nodes and moves of a few fixed-depth
// searches when the program runs through `runner` (qemu's emulation of the 32-bit program).
std::string netSignature(const std::string& program, const std::string& runner = "") {
  std::unique_ptr<EngineProcess> engine =
      runner.empty() ? std::make_unique<EngineProcess>(std::vector<std::string>{}, program)
                     : std::make_unique<EngineProcess>(std::vector<std::string>{program}, runner);
  engine->readLine(120000);  // the banner
  engine->command("setoption name TableEvaluation value false", 120000);
  if (runner.empty()) {
    const Lines lines = engine->command("bench", 900000);
    return lines.size() >= 2 ? lines[lines.size() - 2] : "<no bench>";
  }
  std::string nodes;
  for (const char* position :
       {"position startpos", "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",
        "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"}) {
    engine->send(position);
    const Answer answer = goAndWait(*engine, "go depth 8", 900000);
    for (const std::string& line : answer.lines)
      if (line.rfind("info depth 8 ", 0) == 0 && line.find(" nodes ") != std::string::npos)
        nodes = line.substr(line.find(" nodes "), line.find(" nps ") - line.find(" nodes "));
    nodes += " " + answer.bestmove + ";";
  }
  return nodes;
}

#ifdef CORVANEL_X86_PATH
std::string findOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
  return "";
}
#endif

}  // namespace

// Every program computes the same integers, so the searches are the same node for node.
TEST(EvalOptions, TheThreeProgramsSearchAlikeWithTheNet) {
  const std::string popcount = netSignature(CORVANEL_ENGINE_PATH);
  EXPECT_EQ(popcount.rfind("Nodes searched: ", 0), 0u) << popcount;
#ifdef CORVANEL_X64_PATH
  EXPECT_EQ(netSignature(CORVANEL_X64_PATH), popcount);
#endif
#ifdef CORVANEL_X86_PATH
  // The 32-bit program natively where the machine runs it, else under qemu's emulation.
  std::string runner;
  if (std::system("'" CORVANEL_X86_PATH "' </dev/null >/dev/null 2>&1") != 0) {
    runner = findOnPath("qemu-i386");
    if (runner.empty()) GTEST_SKIP() << "corvanel-x86 cannot run here and there is no qemu-i386";
  }
  if (runner.empty()) {
    EXPECT_EQ(netSignature(CORVANEL_X86_PATH), popcount);
  } else {
    // Emulated, the whole bench would take minutes: a few shorter searches instead.
    EXPECT_EQ(netSignature(CORVANEL_X86_PATH, runner),
              netSignature(CORVANEL_ENGINE_PATH, "/usr/bin/env"));
  }
#endif
}
