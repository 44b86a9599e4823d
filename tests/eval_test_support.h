// Helpers of the evaluation tests: fresh evaluations that no cache answers, and the
// colour-flipped mirror of a position.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
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

inline char swapCase(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return std::isupper(u) ? char(std::tolower(u)) : char(std::toupper(u));
}

// The same position with the board turned upside down and the colours exchanged: side to move,
// castling rights and en-passant square follow.
inline std::string mirrorFen(const std::string& fen) {
  std::istringstream in(fen);
  std::string placement, side = "w", castling = "-", ep = "-", halfmove = "0", fullmove = "1";
  in >> placement >> side >> castling >> ep >> halfmove >> fullmove;
  std::vector<std::string> ranks;
  std::string rank;
  for (char c : placement + "/") {
    if (c == '/') {
      ranks.push_back(rank);
      rank.clear();
    } else {
      rank += swapCase(c);
    }
  }
  std::string flipped;
  for (auto it = ranks.rbegin(); it != ranks.rend(); ++it)
    flipped += (flipped.empty() ? "" : "/") + *it;
  std::string rights;
  for (char c : castling) rights += swapCase(c);
  if (ep.size() == 2) ep[1] = ep[1] == '3' ? '6' : '3';
  return flipped + (side == "w" ? " b " : " w ") + rights + " " + ep + " " + halfmove + " " +
         fullmove;
}
