#include "search/node.h"

#include <cstring>

#include "search/host.h"
#include "search/report.h"

void pollFromSearch(SearchThread& t) {
  if (t.index != 0) return;
  pollRequested.store(false, std::memory_order_relaxed);
  flushPendingCurrmove();
  pollHost();
}

bool generateEvasionsIfInCheck(const Board& board, PlyState& state, MoveList& list) {
  if (!kingAttacked(board, state)) return false;
  int side = state.side;
  CheckDirection direction = DIR_NONE;
  int checkerSquare = NO_SQUARE;
  const SideCodes& enemy = side == WHITE ? blackCodes : whiteCodes;
  int checkers = findCheckers(board, state, enemy, board.kingSquare[side], 1, direction,
                              checkerSquare);
  if (checkers == 0) return false;
  generateEvasions(board, state, list, direction, checkerSquare, checkers >= 2, noHistory);
  return true;
}

void writePv(SearchThread& t, int pvIndex, int ply, Move move) {
  t.pv[pvIndex] = move;
  int childIndex = pvIndex + MAX_PLY - ply;
  std::memcpy(&t.pv[pvIndex + 1], &t.pv[childIndex], size_t(MAX_PLY - 1 - ply) * sizeof(Move));
}
