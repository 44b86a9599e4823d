// The evaluation driver: caches, fifty-move damping, the side to move, the clamped tables, the
// imbalance patterns and the "eval" command.
#include <gtest/gtest.h>

#include "eval/eval_internal.h"
#include "eval/params.h"
#include "tests/engine_process.h"
#include "tests/eval_test_support.h"

using EvalDriver = EvalTest;
using EvalCommand = EvalTest;

namespace {

std::string withClock(const std::string& fen, int clock) {
  // Every FEN here ends in " 0 1".
  return fen.substr(0, fen.size() - 3) + std::to_string(clock) + " 1";
}

// Sets `fen`, evaluates it afresh with the parameter `param` moved by `delta`, and puts the
// parameter back. Returns white's view.
int whiteEvalWith(const char* fen, int32_t& param, int delta) {
  EvalPosition p;
  EXPECT_TRUE(setEvalPosition(p, fen)) << fen;
  param += delta;
  const int score = freshWhiteEval(p.board, p.state);
  param -= delta;
  return score;
}

}  // namespace

TEST_F(EvalDriver, FiftyMoveDampingUsesArithmeticShifts) {
  struct Case {
    const char* fen;
    int clock, whiteView;
  } cases[] = {
      // Rook against knight, black ahead: -25 undamped.
      {"7r/8/8/8/8/2k5/8/K6N w - - 0 1", 50, -25},
      {"7r/8/8/8/8/2k5/8/K6N w - - 0 1", 51, -20},  // (-25 >> 1) + (-25 >> 2) = -13 - 7
      {"7r/8/8/8/8/2k5/8/K6N w - - 0 1", 60, -20},
      {"7r/8/8/8/8/2k5/8/K6N w - - 0 1", 85, -20},
      {"7r/8/8/8/8/2k5/8/K6N w - - 0 1", 86, -7},  // -25 >> 2
      {"7r/8/8/8/8/2k5/8/K6N w - - 0 1", 90, -7},
      // The same with white ahead: 12 + 6 and 25 >> 2.
      {"k6n/8/2K5/8/8/8/8/7R b - - 0 1", 60, 18},
      {"k6n/8/2K5/8/8/8/8/7R b - - 0 1", 90, 6},
      // King, bishop and knight against king, black mating: -6300 undamped.
      {"2b1n3/8/8/8/8/5k2/8/7K w - - 0 1", 0, -6300},
      {"2b1n3/8/8/8/8/5k2/8/7K w - - 0 1", 60, -3150 - 1575},
      {"2b1n3/8/8/8/8/5k2/8/7K w - - 0 1", 90, -1575},
  };
  for (const Case& c : cases) {
    const std::string fen = withClock(c.fen, c.clock);
    EXPECT_EQ(whiteEvalOf(fen), c.whiteView) << fen;
  }
  // A general position: the damped score follows from the undamped one.
  const std::string middle = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N2N2/PP2BPPP/R2QKB1R b KQ - 0 1";
  const int undamped = whiteEvalOf(middle);
  EXPECT_EQ(whiteEvalOf(withClock(middle, 60)), (undamped >> 1) + (undamped >> 2));
  EXPECT_EQ(whiteEvalOf(withClock(middle, 90)), undamped >> 2);
}

TEST_F(EvalDriver, PositionsDifferingOnlyInTheClockShareOneCacheEntry) {
  const std::string fen = "2b1n3/8/8/8/8/5k2/8/7K w - - 0 1";
  EvalPosition late;
  ASSERT_TRUE(setEvalPosition(late, withClock(fen, 60)));
  const int damped = freshWhiteEval(late.board, late.state);
  ASSERT_EQ(damped, -4725);

  EvalPosition early;
  ASSERT_TRUE(setEvalPosition(early, fen));
  ASSERT_EQ(early.board.key, late.board.key);
  early.state.staticEval = NO_EVAL;
  EXPECT_EQ(Evaluate(early.board, early.state), damped);  // white to move: white's view
  EXPECT_EQ(freshWhiteEval(early.board, early.state), -6300);
}

TEST_F(EvalDriver, StoresItsResultAndAnswersARepeatedCallFromThePly) {
  EvalPosition p;
  ASSERT_TRUE(
      setEvalPosition(p, "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4"));
  forgetEvaluation(p.board, p.state);
  const int first = Evaluate(p.board, p.state);
  EvalCacheEntry& entry = evalCache[uint32_t(p.board.key) & EVAL_CACHE_MASK];
  EXPECT_EQ(p.state.staticEval, first);
  EXPECT_EQ(entry.key, p.board.key);
  EXPECT_EQ(entry.score, first);

  // A second call on the same ply state neither reads nor writes the cache.
  entry.score = first + 1234;
  EXPECT_EQ(Evaluate(p.board, p.state), first);
  EXPECT_EQ(entry.score, first + 1234);
  entry.key = ~p.board.key;
  EXPECT_EQ(Evaluate(p.board, p.state), first);
  EXPECT_EQ(entry.key, ~p.board.key);

  // Without the ply's value the cache answers.
  entry.key = p.board.key;
  p.state.staticEval = NO_EVAL;
  EXPECT_EQ(Evaluate(p.board, p.state), first + 1234);
  entry.score = first;
}

TEST_F(EvalDriver, SetUpEvaluatesTheNewPositionOnce) {
  EvalPosition p;
  ASSERT_TRUE(setEvalPosition(p, "4k3/8/8/8/8/8/4P3/4K3 b - - 0 1"));
  EXPECT_NE(p.state.staticEval, NO_EVAL);
  EXPECT_EQ(p.state.staticEval, -freshWhiteEval(p.board, p.state));
}

TEST_F(EvalDriver, DevelopmentBeyondTheTableCountsAsTen) {
  // King without rights on e1 behind blocking bishops, corner knights and rooks: far more than
  // ten undeveloped structures for white.
  const char* fen = "3rr1k1/pppq1ppp/2n2n2/3pp3/8/3BB3/PPPPPPPP/RNBBKBNR w - - 0 1";
  EvalPosition p;
  ASSERT_TRUE(setEvalPosition(p, fen));
  freshWhiteEval(p.board, p.state);
  EXPECT_LE(developmentCount, -11);
  const int base = whiteEvalWith(fen, DevelopmentPenalty[10], 0);
  EXPECT_LT(whiteEvalWith(fen, DevelopmentPenalty[10], 1000), base - 500);
}

TEST_F(EvalDriver, CentrePawnsBeyondTheTableCountAsEight) {
  // Twelve pawns on the d- and e-files; white has a rook more than black has bishops and rooks.
  const char* fen = "4k3/3pp3/3pp3/3pp3/3PP3/3PP3/3PP3/R3K3 w - - 0 1";
  const int base = whiteEvalWith(fen, LongRangeByCentrePawns[8], 0);
  EXPECT_NE(whiteEvalWith(fen, LongRangeByCentrePawns[8], 100), base);
}

TEST_F(EvalDriver, ImbalancePatterns) {
  struct Case {
    int qw, rw, bw, nw, qb, rb, bb, nb, pattern;
  } cases[] = {
      {1, 2, 2, 1, 1, 2, 1, 1, 1},  // a bishop more
      {0, 0, 0, 2, 0, 0, 0, 1, 2},  // a knight more
      {0, 1, 0, 1, 0, 2, 0, 0, 3},  // knight for rook
      {1, 0, 1, 0, 1, 1, 0, 0, 4},  // bishop for rook
      {0, 0, 1, 1, 0, 1, 0, 0, 5},  // bishop and knight for rook
      {1, 1, 2, 0, 0, 2, 2, 1, 6},  // queen for rook and knight
      {1, 0, 0, 2, 0, 1, 1, 2, 7},  // queen for rook and bishop, white without bishop
      {1, 0, 1, 0, 0, 1, 2, 0, 8},  // the same, white keeping one bishop against two
      {1, 0, 2, 0, 0, 2, 1, 1, 9},  // queen for two rooks, equal minor count
      {0, 0, 1, 0, 0, 0, 2, 0, 10}, {0, 2, 0, 0, 0, 1, 0, 1, 12}, {0, 2, 0, 1, 1, 1, 0, 0, 15},
      {0, 1, 1, 0, 1, 0, 0, 0, 16}, {0, 2, 1, 0, 1, 0, 1, 0, 18}, {0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, 1, 0, 0, 0, 0, 1, 0},  // bishop for knight: no pattern
      {1, 0, 2, 0, 0, 2, 0, 1, 0},  // queen for two rooks, minor counts differ
      {0, 0, 2, 0, 0, 0, 0, 0, 0},  // two bishops more
  };
  for (const Case& c : cases)
    EXPECT_EQ(imbalancePattern(c.qw, c.rw, c.bw, c.nw, c.qb, c.rb, c.bb, c.nb), c.pattern)
        << c.qw << c.rw << c.bw << c.nw << " against " << c.qb << c.rb << c.bb << c.nb;
}

TEST_F(EvalDriver, ImbalanceTermReadsItsRowByPawnDifference) {
  // A bishop against three pawns, pure end game: the end-game value for d = 3 enters whole.
  const char* bishop = "4k3/ppppp3/ppp5/8/8/8/PPPPP3/2B1K3 w - - 0 1";
  const int base = whiteEvalWith(bishop, ImbalanceBishop[6 + 3], 0);
  EXPECT_EQ(whiteEvalWith(bishop, ImbalanceBishop[6 + 3], 100), base - 100);
  EXPECT_EQ(whiteEvalOf(mirrorFen(bishop)), -base);
  // Three knights are outside the patterns: no imbalance term at all (read as counts they
  // would pass for a bishop more).
  const char* knights = "4k3/pppppppp/8/8/8/8/8/1NN1KN2 w - - 0 1";
  const int withKnights = whiteEvalWith(knights, ImbalanceKnight[0], 0);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(whiteEvalWith(knights, ImbalanceKnight[i], 100), withKnights);
    EXPECT_EQ(whiteEvalWith(knights, ImbalanceBishop[i], 100), withKnights);
  }
}

TEST_F(EvalCommand, PrintsWhitesView) {
  const std::string fen = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 5 4";
  const int expected = whiteEvalOf(fen);
  EngineProcess engine;
  ASSERT_TRUE(engine.readLine().has_value());  // banner
  EXPECT_EQ(engine.command("eval"), std::vector<std::string>{std::to_string(TempoMg)});
  EXPECT_EQ(engine.command("position fen " + fen + "\neval"),
            std::vector<std::string>{std::to_string(expected)});
  EXPECT_EQ(engine.command("position startpos moves e2e4 e7e5\neval"),
            std::vector<std::string>{std::to_string(whiteEvalOf(
                std::string("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2")))});
}
