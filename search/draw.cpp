#include "search/draw.h"

#include <algorithm>

#include "eval/params.h"

bool isDraw(const SearchThread& t, const Board& board, const PlyState& state, int ply) {
  // Insufficient material: no pawns and at most a minor piece's worth between both sides.
  if (board.pieceCount[WHITE_PAWN] == 0 && board.pieceCount[BLACK_PAWN] == 0 &&
      board.materialEg[WHITE] + board.materialEg[BLACK] <= PieceValueEg[BISHOP - 1])
    return true;

  if (state.halfmoveClock > 99) return true;

  // Repetition: only positions with the same side to move, after the last irreversible move.
  // Slot k of the search line stands for game-line entry rootPly + k.
  const SearchRequest& line = *t.request;
  int left = std::min<int>(state.halfmoveClock, state.plyCount) - 4;
  for (int k = ply - 4; left >= 0; k -= 2, left -= 2) {
    if (k >= 0) {
      if (t.boards[k].key == board.key) return true;
      continue;
    }
    int entry = line.rootPly + k;
    if (entry < 0 || entry < line.lastIrreversiblePly) break;
    if (line.lineBoards[entry].key == board.key) return true;
  }
  return false;
}
