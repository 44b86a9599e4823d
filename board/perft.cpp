#include "board/perft.h"

#include "board/makemove.h"
#include "board/movegen.h"
#include "search/counters.h"

void perft(const Board& board, PlyState& state, int ply) {
  MoveList list;
  const bool evasions = generateNodeMoves(board, state, list, ply);
  // The last ply is counted without making the moves, the whole list filtered at once.
  if (ply >= iterationDepth) {
    if (!evasions) filterLegal(board, state, list.moves, list.count);
    for (int i = 0; i < list.count; ++i) nodeCount += list.moves[i].from != NO_SQUARE;
    return;
  }
  Board& childBoard = searchBoards[ply + 1];
  PlyState& childState = searchStates[ply + 1];
  for (int i = 0; i < list.count; ++i) {
    Move& move = list.moves[i];
    if (move.from == NO_SQUARE) continue;
    if (!evasions) {
      filterLegal(board, state, &move, 1);
      if (move.from == NO_SQUARE) continue;
    }
    makeMove(move, board, childBoard, state, childState, ply);
    perft(childBoard, childState, ply + 1);
    originOf[move.to] = savedOrigin[ply];
  }
}
