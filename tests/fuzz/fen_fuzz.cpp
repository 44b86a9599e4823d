// libFuzzer target: arbitrary text given to the FEN reader (the first line), then the rest as a
// move list played on what it accepted. Whatever the reader accepts must survive everything
// that may meet it: move generation, make-move, the evaluation, exchange values, a short perft,
// and a round trip through its own FEN text. Broken invariants stop the run like a crash.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "board/fen.h"
#include "board/keys.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "eval/evaluate.h"
#include "frontend/engine.h"
#include "search/exchange.h"
#include "search/tt.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// Evaluation, exchange values of every capture, a two-ply count, and the FEN round trip.
void exercise(const Board& board, PlyState& state) {
  require(board.key == computeKey(board, state));
  const int score = Evaluate(board, state);
  require(score >= -EVAL_SCORE_LIMIT && score <= EVAL_SCORE_LIMIT);
  MoveList list;
  const int count = legalMoves(board, state, list);
  for (int i = 0; i < count; ++i)
    if (list.moves[i].captured != EMPTY) staticExchange(board, state, list.moves[i]);
  perft(board, state, 2);
  Board again;
  PlyState againState;
  require(setPosition(again, againState, boardToFen(board, state).c_str()));
  require(again.key == board.key);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  hashBytes = 1 << 20;
  initEngineData();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const size_t newline = text.find('\n');
  static Board boards[2];
  static PlyState states[2];
  if (!setPosition(boards[0], states[0], text.substr(0, newline).c_str())) return 0;
  exercise(boards[0], states[0]);
  if (newline == std::string::npos) return 0;
  std::istringstream moves(text.substr(newline + 1));
  int at = 0;
  for (std::string word; moves >> word;) {
    const Move move = findLegalMove(boards[at], states[at], word.c_str());
    if (isNoMove(move)) break;
    makeMove(move, boards[at], boards[at ^ 1], states[at], states[at ^ 1]);
    at ^= 1;
    exercise(boards[at], states[at]);
  }
  return 0;
}
