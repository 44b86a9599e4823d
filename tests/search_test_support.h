// In-process searches for the search tests: a position (and the game moves before it), a fixed
// depth, fresh tables; the result is what the root reported.
#pragma once

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "board/makemove.h"
#include "board/movetext.h"
#include "frontend/engine_state.h"
#include "frontend/go.h"
#include "search/counters.h"
#include "search/iterate.h"
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
  std::memset(originOf, NO_SQUARE, sizeof originOf);
  for (const std::string& text : moves) {
    Move m = findLegalMove(gameBoards[currentPly], gameStates[currentPly], text.c_str());
    if (isNoMove(m)) return false;
    uint8_t mover = gameBoards[currentPly].squares[m.from];
    if (m.captured != EMPTY || kindOf(mover) == PAWN) lastIrreversiblePly = currentPly;
    makeMove(m, gameBoards[currentPly], gameBoards[currentPly + 1], gameStates[currentPly],
             gameStates[currentPly + 1], currentPly);
    ++currentPly;
  }
  return true;
}

// Searches the current game position with the given flags and limits.
inline SearchOutcome searchGameLine(int depth, long long nodes = 0) {
  clearAllHashTables();
  goLimits.goFlags = GO_DEPTH;
  goLimits.depth = depth;
  goLimits.searchMoveCount = 0;
  if (nodes > 0) {
    goLimits.goFlags |= GO_NODES;
    goLimits.nodes = nodes;
  }
  infoOutput = false;
  bestMoveOwed = false;
  searchMode = 1;
  startSearch();
  searchMode = 0;
  std::string best = isNoMove(rootBestMove) ? "0000" : moveText(rootBestMove);
  return {best, lastScore, (long long)nodeCount};
}

inline SearchOutcome searchFen(const std::string& fen, int depth,
                               const std::vector<std::string>& moves = {}) {
  if (!setGameLine(fen, moves)) return {"bad position", 0, 0};
  return searchGameLine(depth);
}

// The same position with colours exchanged (board flipped top to bottom).
inline std::string mirrorFen(const std::string& fen) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start <= fen.size()) {
    size_t blank = fen.find(' ', start);
    if (blank == std::string::npos) blank = fen.size();
    fields.push_back(fen.substr(start, blank - start));
    start = blank + 1;
  }
  auto swapCase = [](std::string s) {
    for (char& c : s) c = std::isupper(static_cast<unsigned char>(c)) ? char(std::tolower(c)) : char(std::toupper(c));
    return s;
  };
  std::vector<std::string> ranks;
  start = 0;
  while (start <= fields[0].size()) {
    size_t slash = fields[0].find('/', start);
    if (slash == std::string::npos) slash = fields[0].size();
    ranks.push_back(fields[0].substr(start, slash - start));
    start = slash + 1;
  }
  std::string board;
  for (size_t i = ranks.size(); i-- > 0;) board += swapCase(ranks[i]) + (i ? "/" : "");
  std::string result = board + " " + (fields[1] == "w" ? "b" : "w");
  std::string castling = fields.size() > 2 ? fields[2] : "-";
  if (castling != "-") {
    std::string swapped = swapCase(castling), ordered;
    for (char c : std::string("KQkq"))
      if (swapped.find(c) != std::string::npos) ordered += c;
    castling = ordered;
  }
  result += " " + castling;
  std::string ep = fields.size() > 3 ? fields[3] : "-";
  if (ep != "-") ep[1] = char('1' + '8' - ep[1]);
  result += " " + ep;
  for (size_t i = 4; i < fields.size(); ++i) result += " " + fields[i];
  return result;
}

// A move text with its ranks mirrored.
inline std::string mirrorMove(std::string move) {
  move[1] = char('1' + '8' - move[1]);
  move[3] = char('1' + '8' - move[3]);
  return move;
}
