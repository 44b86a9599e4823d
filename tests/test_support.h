// Shared set-up for the unit tests: the start-up sequence of the engine's tables, run once.
#pragma once

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "frontend/engine.h"
#include "board/keys.h"
#include "board/movecache.h"
#include "board/tables.h"
#include "eval/derived.h"
#include "eval/eval_cache.h"
#include "eval/params.h"

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

// The move is legal in the position (the null move "0000" only when there is no legal move).
inline bool legalIn(const std::string& fen, const std::string& move) {
  Board board;
  PlyState state;
  if (!setTestPosition(board, state, fen)) return false;
  MoveList list;
  int legal = legalMoves(board, state, list);
  if (move == "0000") return legal == 0;
  return !isNoMove(findLegalMove(board, state, move.c_str()));
}
