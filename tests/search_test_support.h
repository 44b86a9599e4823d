// In-process searches for the search tests: a position (and the game moves before it), a fixed
// depth, fresh tables; the result is what the root reported.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "board/makemove.h"
#include "board/movetext.h"
#include "frontend/engine_state.h"
#include "frontend/search_commands.h"
#include "search/tt.h"
#include "tests/test_support.h"

struct SearchOutcome {
  std::string best;  // coordinate text, "0000" for none
  int score;
  long long nodes;
};

inline void ensureSearchTables() {
  initEngineTables();
  static bool done = false;
  if (done) return;
  done = true;
  hashBytes = 16 * 1048576;
  rebuildHashTables(hashBytes);
}

// Sets the game line: the FEN, then the moves as a "position ... moves" line would.
inline bool setGameLine(const std::string& fen, const std::vector<std::string>& moves) {
  ensureSearchTables();
  if (!setPosition(gameBoards[0], gameStates[0], fen.c_str())) return false;
  currentPly = 0;
  lastIrreversiblePly = 0;
  for (const std::string& text : moves) {
    Move m = findLegalMove(gameBoards[currentPly], gameStates[currentPly], text.c_str());
    if (isNoMove(m)) return false;
    uint8_t mover = gameBoards[currentPly].squares[m.from];
    if (m.captured != EMPTY || kindOf(mover) == PAWN) lastIrreversiblePly = currentPly;
    makeMove(m, gameBoards[currentPly], gameBoards[currentPly + 1], gameStates[currentPly],
             gameStates[currentPly + 1]);
    ++currentPly;
  }
  return true;
}

// Searches the current game position with the given flags and limits.
inline SearchOutcome searchGameLine(int depth, long long nodes = 0) {
  clearAllHashTables();
  SearchResult result;
  searchForCommand(currentPly, depth, nodes, result);
  std::string best = isNoMove(result.best) ? "0000" : moveText(result.best);
  return {best, result.score, (long long)result.nodes};
}

inline SearchOutcome searchFen(const std::string& fen, int depth,
                               const std::vector<std::string>& moves = {}) {
  if (!setGameLine(fen, moves)) return {"bad position", 0, 0};
  return searchGameLine(depth);
}

// A move text with its ranks mirrored.
inline std::string mirrorMove(std::string move) {
  move[1] = char('1' + '8' - move[1]);
  move[3] = char('1' + '8' - move[3]);
  return move;
}
