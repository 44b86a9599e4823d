#include "search/draw.h"

#include <algorithm>

#include "eval/params.h"

bool isDraw(const Board& board, const PlyState& state, int ply) {
  // Insufficient material: no pawns and at most a minor piece's worth between both sides.
  if (board.pieceCount[WHITE_PAWN] == 0 && board.pieceCount[BLACK_PAWN] == 0 &&
      board.materialEg[WHITE] + board.materialEg[BLACK] <= PieceValueEg[BISHOP - 1])
    return true;

  if (state.halfmoveClock > 99) return true;

  // Repetition: only positions with the same side to move, after the last irreversible move.
  // Slot k of the search line stands for game-line entry currentPly + k.
  int left = std::min<int>(state.halfmoveClock, state.plyCount) - 4;
  for (int k = ply - 4; left >= 0; k -= 2, left -= 2) {
    if (k >= 0) {
      if (searchBoards[k].key == board.key) return true;
      continue;
    }
    int entry = currentPly + k;
    if (entry < 0 || entry < lastIrreversiblePly) break;
    if (gameBoards[entry].key == board.key) return true;
  }
  return false;
}
