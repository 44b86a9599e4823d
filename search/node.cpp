#include "search/node.h"

#include <cstring>

#include "board/movetext.h"
#include "frontend/input.h"

char pvText[PV_TABLE_ENTRIES][PV_TEXT_BYTES];
Move bestMoveAtPly[MAX_PLY + 1];
Move lastCutoffMove = NO_MOVE;
char pendingCurrmove[96];
int selDepth = 0;
int64_t nodeLimit = INT64_MAX;

void pollFromSearch() {
  if (infoOutput && pendingCurrmove[0]) {
    emitLine("%s", pendingCurrmove);
    pendingCurrmove[0] = 0;
  }
  pollInput();
  // Input that ends a search on the engine's clock leaves the mode at 0.
  if (searchMode.load(std::memory_order_relaxed) == 0)
    stopSearch.store(true, std::memory_order_relaxed);
}

bool generateEvasionsIfInCheck(const Board& board, PlyState& state, MoveList& list) {
  if (!kingAttacked(board, state)) return false;
  int side = state.side;
  int direction = 0, checkerSquare = NO_SQUARE;
  const SideCodes& enemy = side == WHITE ? blackCodes : whiteCodes;
  int checkers = findCheckers(board, state, enemy, board.kingSquare[side], 1, direction,
                              checkerSquare);
  if (checkers == 0) return false;
  generateEvasions(board, state, list, direction, checkerSquare, checkers >= 2);
  return true;
}

void writePv(int pvIndex, int ply, Move move) {
  moveToText(move, pvText[pvIndex]);
  int childIndex = pvIndex + MAX_PLY - ply;
  std::memcpy(pvText[pvIndex + 1], pvText[childIndex], size_t(MAX_PLY - 1 - ply) * PV_TEXT_BYTES);
}
