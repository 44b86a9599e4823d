// Syzygy endgame tables through the real program: the scores the tables prove, a won ending
// converted within the fifty-move rule, the options' edge cases and the "tbhits" count. The 3- and
// 4-piece tables come from the shared data folder beside the project (or CORVANEL_SYZYGY_PATH);
// without them, or in a program built without the tables, these tests are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "board/makemove.h"
#include "tests/engine_process.h"
#include "tests/support.h"

namespace {

std::string tablePath() {
  if (const char* path = std::getenv("CORVANEL_SYZYGY_PATH")) return path;
  return CORVANEL_SOURCE_DIR "/../shared/data/syzygy";
}

// Skips the test unless the program reads tables and the 3- and 4-piece set is there.
#ifdef CORVANEL_SYZYGY
#define REQUIRE_TABLES()                                                                        \
  do {                                                                                          \
    for (const char* file : {"/KRvK.rtbw", "/KRvK.rtbz", "/KQvKR.rtbw", "/KRvKP.rtbz"}) {       \
      if (!fileExists(tablePath() + file)) {                                                    \
        GTEST_SKIP() << "no Syzygy tables in " << tablePath() << " (set CORVANEL_SYZYGY_PATH)"; \
      }                                                                                         \
    }                                                                                           \
  } while (0)
#else
#define REQUIRE_TABLES() GTEST_SKIP() << "this program is built without Syzygy tablebases"
#endif

// The last score of a search's info lines, in centipawns; a mate in n counts as 10000 - n
// (negative when mated); nothing when no line had a score.
std::optional<int> lastScore(const Lines& lines) {
  static const std::regex score(" score (cp|mate) (-?[0-9]+)");
  std::optional<int> found;
  for (const std::string& line : lines) {
    std::smatch m;
    if (!std::regex_search(line, m, score)) continue;
    const int value = std::stoi(m[2]);
    found = m[1] == "cp" ? value : value > 0 ? 10000 - value : -10000 - value;
  }
  return found;
}

// The largest "tbhits" of the lines; -1 when no line had the field.
long long lastTbHits(const Lines& lines) {
  static const std::regex hits(" tbhits ([0-9]+) ");
  long long found = -1;
  for (const std::string& line : lines) {
    std::smatch m;
    if (std::regex_search(line, m, hits)) found = std::max(found, std::stoll(m[1]));
  }
  return found;
}

// Scores the tables prove: a win scores 9860 (table wins lie from 9732 to 9860, below every mate).
constexpr int TABLE_WIN = 9860;
constexpr int TABLE_BAND = 9732;
int classOf(int score) {
  return score >= TABLE_BAND ? 2 : score <= -TABLE_BAND ? -2 : score == 0 ? 0 : score > 0 ? 1 : -1;
}

struct Known {
  const char* fen;
  int wdl;  // for the side to move: 2 win, 0 draw, -2 loss
};
// Facts of the endgames (the moves and verdicts checked against the tables by hand).
const std::vector<Known> KNOWN = {
    {"8/8/8/4k3/8/8/8/3QK3 w - - 0 1", 2},          // KQvK
    {"8/8/8/4k3/8/8/8/3QK3 b - - 0 1", -2},
    {"8/8/8/3k4/8/8/8/3K3R w - - 0 1", 2},          // KRvK
    {"8/8/8/3k4/8/8/8/3K3R b - - 0 1", -2},
    {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", 2},         // KPvK, the king on the sixth ahead of its pawn
    {"4k3/8/4K3/4P3/8/8/8/8 b - - 0 1", -2},
    {"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", 2},         // KPvK: the opposition decides
    {"4k3/8/8/8/8/8/4P3/4K3 b - - 0 1", 0},
    {"4k3/8/4P3/8/8/8/8/4K3 w - - 0 1", 0},         // KPvK: the pawn is lost or blockaded
    {"4k3/8/4P3/8/8/8/8/4K3 b - - 0 1", 0},
    {"8/8/8/8/8/1k6/2p5/K6R w - - 0 1", 2},         // KRvKP: the rook stops the pawn
    {"8/8/8/8/8/1k6/2p5/K6R b - - 0 1", -2},
    {"6K1/8/8/8/8/8/1kp5/7R w - - 0 1", 0},         // KRvKP: the rook must give itself up
    {"6K1/8/8/8/8/8/1kp5/7R b - - 0 1", 0},
    {"8/1r6/8/3k4/8/8/8/2Q1K3 w - - 0 1", 2},       // KQvKR
    {"8/1r6/8/3k4/8/8/8/2Q1K3 b - - 0 1", -2},
    {"8/8/8/4k3/8/8/8/2BNK3 w - - 0 1", 2},         // KBNvK
    {"8/8/8/4k3/8/8/8/2BNK3 b - - 0 1", -2},
    {"8/4p3/8/3k4/8/3K4/4P3/8 w - - 0 1", 0},       // KPvKP
    {"8/4p3/8/3k4/8/3K4/4P3/8 b - - 0 1", 0},
    {"8/8/8/p7/8/8/7P/k1K5 w - - 0 1", 0},
    {"8/8/8/p7/8/8/7P/k1K5 b - - 0 1", 0},
};

// One search of each known position; returns the lines of each answer.
std::vector<Lines> searchKnown(EngineProcess& engine, const std::string& go) {
  std::vector<Lines> answers;
  for (const Known& k : KNOWN) {
    EXPECT_TRUE(engine.send(std::string("position fen ") + k.fen));
    Answer answer = goAndWait(engine, go);
    EXPECT_FALSE(answer.bestmove.empty()) << k.fen;
    answers.push_back(answer.lines);
  }
  return answers;
}

std::string setPath(const std::string& path) { return "setoption name SyzygyPath value " + path; }

}  // namespace

TEST(Tablebases, KnownEndingsScoreAsTheTablesSayOnlyWithTables) {
  REQUIRE_TABLES();
  auto engine = startEngine();
  // Without tables no score lies in the tables' band and no line counts probes.
  std::vector<Lines> answers = searchKnown(*engine, "go depth 6");
  for (size_t i = 0; i < KNOWN.size(); ++i) {
    const int score = lastScore(answers[i]).value_or(99999);
    EXPECT_TRUE(std::abs(score) < TABLE_BAND || std::abs(score) >= 9871)
        << KNOWN[i].fen << " " << score;
    EXPECT_EQ(lastTbHits(answers[i]), -1) << KNOWN[i].fen;
  }
  // A folder that does not exist changes nothing.
  EXPECT_EQ(engine->command(setPath("/nonexistent/syzygy")),
            Lines{"info string SyzygyPath /nonexistent/syzygy: no such folder; the tablebases in "
                  "use stay none"});
  EXPECT_EQ(lastTbHits(searchKnown(*engine, "go depth 2")[0]), -1);

  const Lines loaded = engine->command(setPath(tablePath()));
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_TRUE(std::regex_match(loaded[0], std::regex("info string SyzygyPath .*: [0-9]+ WDL and "
                                                     "[0-9]+ DTZ tables, up to 4 pieces")))
      << loaded[0];
  answers = searchKnown(*engine, "go depth 6");
  for (size_t i = 0; i < KNOWN.size(); ++i) {
    const std::optional<int> score = lastScore(answers[i]);
    ASSERT_TRUE(score) << KNOWN[i].fen;
    // A proved mate may stand for the win; a draw is exactly 0; a table's win is 9860.
    if (std::abs(*score) < 9871) {
      EXPECT_EQ(*score, KNOWN[i].wdl / 2 * TABLE_WIN) << KNOWN[i].fen;
    }
    EXPECT_EQ(classOf(*score), KNOWN[i].wdl) << KNOWN[i].fen << " " << *score;
    // The root's moves were ranked: one probe at least for each.
    EXPECT_GE(lastTbHits(answers[i]), 1) << KNOWN[i].fen;
  }
}

TEST(Tablebases, OptionEdgeCases) {
  REQUIRE_TABLES();
  const std::string kbn = "position fen 8/8/8/4k3/8/8/8/2BNK3 w - - 0 1";
  auto engine = startEngine();
  auto scoreNow = [&] {
    EXPECT_TRUE(engine->send(kbn));
    return lastScore(goAndWait(*engine, "go depth 4").lines).value_or(99999);
  };
  // Empty, "<empty>" and no value at all: no tables, without a word.
  EXPECT_EQ(engine->command("setoption name SyzygyPath value"), Lines{});
  EXPECT_EQ(engine->command("setoption name SyzygyPath value <empty>"), Lines{});
  EXPECT_EQ(engine->command("setoption name SyzygyPath"), Lines{});
  EXPECT_NE(scoreNow(), TABLE_WIN);

  // A folder without tables is refused and changes nothing.
  const std::string empty = CORVANEL_SOURCE_DIR "/tests/data";
  EXPECT_EQ(engine->command(setPath(empty)),
            Lines{"info string SyzygyPath " + empty +
                  ": no tablebase files there; the tablebases in use stay none"});
  EXPECT_NE(scoreNow(), TABLE_WIN);

  // Names in any letter case; the tables then play.
  EXPECT_EQ(engine->command("setoption name syzygypath value " + tablePath()).size(), 1u);
  EXPECT_EQ(scoreNow(), TABLE_WIN);
  // A bad path afterwards leaves the loaded tables in use, and says so.
  EXPECT_EQ(engine->command(setPath("/nonexistent")),
            Lines{"info string SyzygyPath /nonexistent: no such folder; the tablebases in use "
                  "stay " + tablePath()});
  EXPECT_EQ(engine->command(setPath(empty + ":/nonexistent")).size(), 1u);
  EXPECT_EQ(scoreNow(), TABLE_WIN);
  // Several folders, one of them missing, load the tables of the others.
  EXPECT_EQ(engine->command(setPath("/nonexistent:" + tablePath())).size(), 1u);
  EXPECT_EQ(scoreNow(), TABLE_WIN);

  // Fewer pieces than the position has: the tables are not asked.
  EXPECT_EQ(engine->command("setoption name SyzygyProbeLimit value 3"), Lines{});
  EXPECT_NE(scoreNow(), TABLE_WIN);
  EXPECT_EQ(engine->command("setoption name SyzygyProbeLimit value 99"), Lines{});  // at most 7
  EXPECT_EQ(scoreNow(), TABLE_WIN);

  // A win beyond the fifty-move rule (48 plies to the next capture with the clock at 60) is a
  // draw by the rule, and a win without it.
  const std::string late = "position fen k7/8/8/8/8/8/2BN4/7K w - - 60 1";
  EXPECT_TRUE(engine->send(late));
  EXPECT_EQ(lastScore(goAndWait(*engine, "go depth 4").lines), 2);
  EXPECT_EQ(engine->command("setoption name Syzygy50MoveRule value false"), Lines{});
  EXPECT_TRUE(engine->send(late));
  EXPECT_EQ(lastScore(goAndWait(*engine, "go depth 4").lines), TABLE_WIN);
  EXPECT_EQ(engine->command("setoption name Syzygy50MoveRule value true"), Lines{});

  // Off again, and back on: the tables are dropped and loaded anew.
  EXPECT_EQ(engine->command("setoption name SyzygyPath value <empty>"), Lines{});
  EXPECT_NE(scoreNow(), TABLE_WIN);
  EXPECT_EQ(engine->command(setPath(tablePath())).size(), 1u);
  EXPECT_EQ(scoreNow(), TABLE_WIN);
}

// A position of five pieces: the root is beyond the tables, the captures below it are not.
TEST(Tablebases, ProbesBelowTheRootAreCounted) {
  REQUIRE_TABLES();
  const std::string fivePieces = "position fen 8/8/3k4/8/2r5/8/2P1K3/2R5 w - - 0 1";
  auto engine = startEngine();
  EXPECT_EQ(engine->command(setPath(tablePath())).size(), 1u);
  auto hits = [&](const std::string& go) {
    EXPECT_TRUE(engine->send(fivePieces));
    return lastTbHits(goAndWait(*engine, go).lines);
  };
  EXPECT_GT(hits("go depth 8"), 0);
  // Too little depth left everywhere, or too few pieces allowed: nothing is probed.
  EXPECT_EQ(engine->command("setoption name SyzygyProbeDepth value 100"), Lines{});
  EXPECT_EQ(hits("go depth 8"), 0);
  EXPECT_EQ(engine->command("setoption name SyzygyProbeDepth value 1"), Lines{});
  EXPECT_EQ(engine->command("setoption name SyzygyProbeLimit value 0"), Lines{});
  EXPECT_EQ(hits("go depth 8"), 0);
  // Two threads probe side by side.
  EXPECT_EQ(engine->command("setoption name SyzygyProbeLimit value 7"), Lines{});
  EXPECT_EQ(engine->command("setoption name Threads value 2"), Lines{});
  EXPECT_GT(hits("go depth 10"), 0);
}

// The engine plays both sides of a won KRvK from a position whose fifty-move clock leaves 60
// plies, with a few hundred nodes a move: the tables' ranking must mate in time.
TEST(Tablebases, WonEndingIsMatedWithinTheFiftyMoveRule) {
  REQUIRE_TABLES();
  initEngineTables();
  const std::string start = "8/8/8/3k4/8/8/8/3K3R w - - 70 1";
  auto engine = startEngine();
  EXPECT_EQ(engine->command(setPath(tablePath())).size(), 1u);
  Position game(start);
  Board board = game.board;
  PlyState state = game.state;
  std::string moves;
  bool mated = false;
  for (int ply = 0; ply < 80 && !mated; ++ply) {
    ASSERT_LT(state.halfmoveClock, 100) << "fifty-move draw after" << moves;
    EXPECT_TRUE(engine->send("position fen " + start + " moves" + moves));
    const Answer answer = goAndWait(*engine, "go nodes 100");
    ASSERT_FALSE(answer.bestmove.empty()) << moves;
    const Move move = findLegalMove(board, state, answer.bestmove.c_str());
    ASSERT_FALSE(isNoMove(move)) << answer.bestmove << " after" << moves;
    Board child;
    PlyState childState;
    makeMove(move, board, child, state, childState);
    board = child;
    state = childState;
    moves += " " + answer.bestmove;
    MoveList list;
    mated = legalMoves(board, state, list) == 0 && kingAttacked(board, state);
  }
  EXPECT_TRUE(mated) << moves;
}
