#include "board/perft.h"

#include <memory>

#include "board/makemove.h"
#include "board/movegen.h"

namespace {

// The line a count walks: the move of ply p is made from slot p into slot p + 1.
struct PerftLine {
  Board boards[MAX_PLY + 1];
  PlyState states[MAX_PLY + 1];
};

int64_t countFrom(PerftLine& line, int ply, int depth) {
  const Board& board = line.boards[ply];
  PlyState& state = line.states[ply];
  MoveList list;
  const bool evasions = generateNodeMoves(board, state, list, ply, MoveScoring{noHistory});
  int64_t count = 0;
  // The last ply is counted without making the moves, the whole list filtered at once.
  if (ply + 1 >= depth) {
    if (!evasions) filterLegal(board, state, list.moves, list.count);
    for (int i = 0; i < list.count; ++i) count += list.moves[i].from != NO_SQUARE;
    return count;
  }
  const LegalityView legality = legalityView(board, state);
  for (int i = 0; i < list.count; ++i) {
    Move& move = list.moves[i];
    if (move.from == NO_SQUARE) continue;
    if (!evasions && !moveIsLegal(board, state, legality, move)) continue;
    makeMove(move, board, line.boards[ply + 1], state, line.states[ply + 1]);
    count += countFrom(line, ply + 1, depth);
  }
  return count;
}

}  // namespace

int64_t perft(const Board& board, const PlyState& state, int depth) {
  if (depth > MAX_PLY) depth = MAX_PLY;
  // Left uninitialised: each slot is written before it is read, and clearing the whole line
  // would cost more than a shallow count ("divide 1" clears it once per root move).
  std::unique_ptr<PerftLine> line(new PerftLine);
  line->boards[0] = board;
  line->states[0] = state;
  return countFrom(*line, 0, depth < 1 ? 1 : depth);
}
