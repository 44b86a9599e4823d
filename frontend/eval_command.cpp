// "eval": the static evaluation of the current game position, always from white's view.
#include "board/types.h"
#include "eval/evaluate.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"

void commandEval() {
  Board& board = gameBoards[currentPly];
  PlyState& state = gameStates[currentPly];
  int score = Evaluate(board, state);
  if (state.side == BLACK) score = -score;
  emitLine("%i\n", score);
}
