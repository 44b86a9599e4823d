// "UCI_ShowWDL": the model's figures (per mille, monotone in the score, mirrored for the other
// side, certain for mates) and the info lines as interfaces read them: every scored line carries
// a "wdl" right after its score.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <regex>

#include "search/constants.h"
#include "search/wdl_constants.h"
#include "search/wdl_model.h"
#include "tests/engine_process.h"

namespace {

void expectWellFormed(const WdlPerMille& w, const std::string& what) {
  EXPECT_EQ(w.win + w.draw + w.loss, 1000) << what;
  EXPECT_TRUE(w.win >= 0 && w.draw >= 0 && w.loss >= 0) << what;
}

TEST(WdlModel, MonotoneInTheScoreAndMirroredForTheOtherSide) {
  for (int material : {0, 4, 10, 20, 31, 45, 60, 70, 78, 90}) {
    WdlPerMille previous = wdlForScore(-MATE_THRESHOLD + 1, material);
    // Every centipawn where the figures move, coarser steps beyond.
    for (int score = -MATE_THRESHOLD + 1; score < MATE_THRESHOLD;
         score += std::abs(score) > 1000 ? 97 : 1) {
      const std::string what = std::to_string(material) + " " + std::to_string(score);
      const WdlPerMille w = wdlForScore(score, material), mirrored = wdlForScore(-score, material);
      expectWellFormed(w, what);
      EXPECT_GE(w.win, previous.win) << what;
      EXPECT_LE(w.loss, previous.loss) << what;
      EXPECT_EQ(w.win, mirrored.loss) << what;
      EXPECT_EQ(w.draw, mirrored.draw) << what;
      const WdlChances c = wdlChances(FITTED_WDL_MODEL, score, material);
      const WdlChances m = wdlChances(FITTED_WDL_MODEL, -score, material);
      EXPECT_EQ(c.win, m.loss) << what;
      previous = w;
    }
    // Far out and at mate scores the figures are certain; at equal scores both sides keep their
    // chances.
    EXPECT_EQ(wdlForScore(MATE_THRESHOLD - 1, material).win, 1000) << material;
    EXPECT_EQ(wdlForScore(MATE_BASE - 1, material).win, 1000) << material;
    EXPECT_EQ(wdlForScore(-MATE_BASE + 2, material).loss, 1000) << material;
    const WdlPerMille even = wdlForScore(0, material);
    EXPECT_EQ(even.win, even.loss) << material;
  }
  uint8_t counts[PIECE_CODES] = {};
  counts[WHITE_PAWN] = counts[BLACK_PAWN] = 8;
  counts[WHITE_KNIGHT] = counts[BLACK_KNIGHT] = counts[WHITE_BISHOP] = counts[BLACK_BISHOP] = 2;
  counts[WHITE_ROOK] = counts[BLACK_ROOK] = 2;
  counts[WHITE_QUEEN] = counts[BLACK_QUEEN] = counts[WHITE_KING] = counts[BLACK_KING] = 1;
  EXPECT_EQ(wdlMaterial(counts), 78);
  EXPECT_DOUBLE_EQ(wdlMaterialVariable(100), 1.0);  // promotions count as the start's material
  EXPECT_DOUBLE_EQ(wdlMaterialVariable(0), wdlMaterialVariable(WDL_MATERIAL_MIN));
}

TEST(WdlModel, RoundingSumsTo1000AndTreatsBothSidesAlike) {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<std::pair<double, double>> cases = {
      {0.4995, 0.5005}, {0.4996, 0.5004}, {0.0004, 0.9996}, {0.3335, 0.6665}, {0, 1}, {0, 0},
      {0.0005, 0.0005}, {0.9995, 0.0005}};
  for (int i = 0; i < 20000; ++i) {
    const double win = unit(random);
    cases.push_back({win, (1 - win) * unit(random)});
  }
  for (const auto& [win, loss] : cases) {
    const std::string what = std::to_string(win) + " " + std::to_string(loss);
    WdlChances c;
    c.win = win;
    c.loss = loss;
    c.draw = 1 - win - loss;
    const WdlPerMille w = wdlPerMille(c);
    expectWellFormed(w, what);
    EXPECT_LE(std::fabs(w.win - 1000 * win), 1.0) << what;
    EXPECT_LE(std::fabs(w.loss - 1000 * loss), 1.0) << what;
    std::swap(c.win, c.loss);
    const WdlPerMille swapped = wdlPerMille(c);
    EXPECT_EQ(swapped.win, w.loss) << what;
    EXPECT_EQ(swapped.loss, w.win) << what;
  }
}

// ---- Through a pipe ----

// What an interface takes from an info line: the score, perhaps its bound, and "wdl" with its
// three numbers straight after them, the one place python-chess (which lichess bots use) looks.
struct ScoreAndWdl {
  bool scored = false, hasWdl = false, wdlAfterScore = false;
  std::string kind;  // "cp" or "mate"
  int value = 0;
  int wdl[3] = {0, 0, 0};
};
ScoreAndWdl readScoreAndWdl(const std::string& line) {
  static const std::regex score(
      " score (cp|mate) (-?[0-9]+)( lowerbound| upperbound)?"
      "( wdl ([0-9]+) ([0-9]+) ([0-9]+))?( |$)");
  ScoreAndWdl read;
  read.hasWdl = line.find(" wdl ") != std::string::npos;
  std::smatch m;
  if (!std::regex_search(line, m, score)) return read;
  read.scored = true;
  read.kind = m[1];
  read.value = std::stoi(m[2]);
  read.wdlAfterScore = m[4].matched;
  for (int i = 0; i < 3 && m[4].matched; ++i) read.wdl[i] = std::stoi(m[5 + i]);
  return read;
}

// Every info line of a search's answer, read.
std::vector<std::pair<std::string, ScoreAndWdl>> infoLines(const Answer& answer) {
  std::vector<std::pair<std::string, ScoreAndWdl>> lines;
  for (const std::string& line : answer.lines)
    if (startsWith(line, "info ")) lines.push_back({line, readScoreAndWdl(line)});
  return lines;
}

struct Session {
  std::string position;
  std::string go;
  int material;  // the root's, for the figures of centipawn scores
};

// Off by default and when turned off again; on, every scored line has it.
TEST(WdlOutput, EveryScoredLineCarriesWdlAfterTheScoreWhenAskedFor) {
  auto engine = startEngine();
  auto expectNoWdl = [&](const std::string& what) {
    EXPECT_EQ(engine->command("setoption name MultiPV value 2"), Lines{});
    for (const char* position : {"startpos", "fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
                                 "startpos moves f2f3 e7e5 g2g4 d8h4"}) {
      engine->send(std::string("position ") + position);
      for (const auto& [line, info] : infoLines(goAndWait(*engine, "go depth 5")))
        EXPECT_FALSE(info.hasWdl) << what << ": " << line;
    }
  };
  expectNoWdl("default");
  // Option names in any letter case; a value that is neither true nor false changes nothing.
  EXPECT_EQ(engine->command("setoption name uci_showwdl value TRUE"), Lines{});
  EXPECT_EQ(engine->command("setoption name UCI_ShowWDL value maybe"), Lines{});
  const Session sessions[] = {
      {"startpos", "go depth 7", 78},
      {"fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3", "go nodes 20000",
       78},
      {"fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "go depth 4", 11},   // we mate in one
      {"fen k7/8/1K6/8/8/8/8/7R b - - 0 1", "go depth 4", 5},            // we are mated in one
      {"fen 8/8/8/4k3/8/8/3QK3/8 w - - 0 1", "go depth 8", 9},           // won, mate beyond
      {"startpos moves f2f3 e7e5 g2g4 d8h4", "go depth 3", 78},          // mated: no moves
      {"fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "go depth 3", 9},           // stalemate
  };
  for (int multiPv : {1, 3}) {
    EXPECT_EQ(engine->command("setoption name MultiPV value " + std::to_string(multiPv)), Lines{});
    for (const Session& s : sessions) {
      engine->send("position " + s.position);
      const Answer answer = goAndWait(*engine, s.go);
      ASSERT_FALSE(answer.bestmove.empty()) << s.position;
      int scored = 0;
      for (const auto& [line, info] : infoLines(answer)) {
        if (!info.scored) {
          EXPECT_FALSE(info.hasWdl) << line;
          continue;
        }
        ++scored;
        ASSERT_TRUE(info.hasWdl) << line;
        EXPECT_TRUE(info.wdlAfterScore) << line;
        const int* w = info.wdl;
        EXPECT_EQ(w[0] + w[1] + w[2], 1000) << line;
        EXPECT_TRUE(w[0] >= 0 && w[1] >= 0 && w[2] >= 0) << line;
        std::vector<int> figures(w, w + 3);
        if (info.kind == "mate") {
          EXPECT_EQ(figures, info.value > 0 ? std::vector<int>({1000, 0, 0})
                                            : std::vector<int>({0, 0, 1000})) << line;
        } else if (line == "info depth 0 score cp 0 wdl 0 1000 0") {
          // Stalemate: a certain draw.
        } else {
          const WdlPerMille want = wdlForScore(info.value, s.material);
          EXPECT_EQ(figures, std::vector<int>({want.win, want.draw, want.loss})) << line;
        }
      }
      EXPECT_GT(scored, 0) << s.position;
    }
  }
  // The mated and the stalemated root say so in one line each.
  engine->send("position startpos moves f2f3 e7e5 g2g4 d8h4");
  EXPECT_EQ(goAndWait(*engine, "go depth 3").lines,
            Lines({"info depth 0 score mate 0 wdl 0 0 1000", "bestmove 0000"}));
  engine->send("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
  EXPECT_EQ(goAndWait(*engine, "go depth 3").lines,
            Lines({"info depth 0 score cp 0 wdl 0 1000 0", "bestmove 0000"}));
  EXPECT_EQ(engine->command("setoption name UCI_ShowWDL value false"), Lines{});
  expectNoWdl("turned off");
}

}  // namespace
