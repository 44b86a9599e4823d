// Shared set-up for the unit tests: the start-up sequence of the engine's tables, run once.
#pragma once

#include <string>
#include <vector>

#include "board/fen.h"
#include "frontend/engine.h"
#include "board/keys.h"
#include "board/movecache.h"
#include "board/tables.h"
#include "eval/derived.h"
#include "eval/eval_cache.h"
#include "eval/params.h"
#include "search/history.h"

inline void initEngineTables() {
  static bool done = false;
  if (done) return;
  done = true;
  initEngineData();
}

// Sets a position into the given records; the test fails on a rejected text.
inline bool setTestPosition(Board& board, PlyState& state, const std::string& fen) {
  initEngineTables();
  return setPosition(board, state, fen.c_str());
}

// The published perft positions: FEN and the counts by depth (index 1 = depth 1).
struct PerftCase {
  std::string fen;
  std::vector<long long> counts;
};
std::vector<PerftCase> loadPerftCases();
