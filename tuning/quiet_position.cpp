#include "tuning/quiet_position.h"

#include "board/fen.h"
#include "board/movegen.h"
#include "eval/evaluate.h"
#include "search/alphabeta.h"
#include "search/constants.h"
#include "search/thread.h"

QuietReading readQuietness(const std::string& fen) {
  // The search reads the line before its root (repetitions) through a request: a line of one.
  static Board lineBoard[1];
  static PlyState lineState[1];
  static SearchRequest request;
  QuietReading reading;
  if (!setPosition(lineBoard[0], lineState[0], fen.c_str())) return reading;

  Board board = lineBoard[0];
  PlyState state = lineState[0];
  if (kingAttacked(board, state)) {
    reading.verdict = QuietVerdict::IN_CHECK;
    return reading;
  }
  MoveList moves;
  if (legalMoves(board, state, moves) == 0) {
    reading.verdict = QuietVerdict::NO_LEGAL_MOVE;
    return reading;
  }
  state.staticEval = NO_EVAL;
  reading.staticEval = Evaluate(board, state);

  request.lineBoards = lineBoard;
  request.lineStates = lineState;
  request.rootPly = 0;
  request.lastIrreversiblePly = 0;
  SearchThread& t = mainThread();
  t.request = &request;
  t.boards[0] = lineBoard[0];
  t.states[0] = lineState[0];
  t.states[0].staticEval = NO_EVAL;
  t.nodes.store(0, std::memory_order_relaxed);
  t.nodeLimit = INT64_MAX;
  stopSearch = false;
  pollRequested = false;
  reading.quiescence = quiesce(t, -ROOT_BOUND, ROOT_BOUND, 0, t.boards[0], t.states[0]);
  reading.verdict =
      reading.quiescence == reading.staticEval ? QuietVerdict::QUIET : QuietVerdict::NOISY;
  return reading;
}

const char* verdictName(QuietVerdict verdict) {
  switch (verdict) {
    case QuietVerdict::QUIET: return "quiet";
    case QuietVerdict::NOISY: return "noisy";
    case QuietVerdict::IN_CHECK: return "check";
    case QuietVerdict::NO_LEGAL_MOVE: return "nomoves";
    case QuietVerdict::BAD_FEN: return "badfen";
  }
  return "badfen";
}
