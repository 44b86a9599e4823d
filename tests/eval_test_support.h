// Helpers of the evaluation tests: fresh evaluations that no cache answers.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "tests/test_support.h"

// Expected values are built from the parameters, so the tables must be loaded before a test
// body runs.
class EvalTest : public ::testing::Test {
 protected:
  void SetUp() override { initEngineTables(); }
};

struct EvalPosition {
  Board board;
  PlyState state;
};

// Forgets what the caches know about this position.
inline void forgetEvaluation(const Board& board, PlyState& state) {
  state.staticEval = NO_EVAL;
  EvalCacheEntry& entry = evalCache[uint32_t(board.key) & EVAL_CACHE_MASK];
  entry.key = ~board.key;  // cannot match
  entry.score = 0;
}

// Evaluates afresh and returns the score from white's view.
inline int freshWhiteEval(const Board& board, PlyState& state) {
  forgetEvaluation(board, state);
  int score = Evaluate(board, state);
  return state.side == WHITE ? score : -score;
}

inline bool setEvalPosition(EvalPosition& p, const std::string& fen) {
  return setTestPosition(p.board, p.state, fen);
}

// White's view of a FEN, evaluated afresh; a rejected FEN fails the calling test.
constexpr int REFUSED_FEN = -99999;
inline int whiteEvalOf(const std::string& fen) {
  EvalPosition p;
  const bool accepted = setEvalPosition(p, fen);
  EXPECT_TRUE(accepted) << fen;
  return accepted ? freshWhiteEval(p.board, p.state) : REFUSED_FEN;
}
