#include "tuning/calcvar.h"

#include <cstdlib>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "eval/evaluate.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "search/tt.h"
#include "tuning/tool_support.h"

namespace {

const char* const TOOL = "calcvar";

// Scores every legal move of game-line entry 0 by a search of the position after it. False when
// "stop" or "quit" ended the work.
bool scoreMoves(const MoveList& legal, std::vector<ScoredMove>& scored) {
  scored.clear();
  for (int i = 0; i < legal.count; ++i) {
    const Move move = legal.moves[i];
    bool stopped = false;
    SearchResult result;
    do {
      currentPly = 0;
      makeMove(move, gameBoards[0], gameBoards[1], gameStates[0], gameStates[1]);
      if (toolSearch(TOOL, 1, toolLimits.calcvarDepth, stopped, result)) break;
    } while (!stopped);
    if (stopped) return false;
    scored.push_back({moveText(move), -result.score});
  }
  return true;
}

}  // namespace

std::vector<std::string> equallyGoodMoves(std::vector<ScoredMove> moves) {
  // Insertion sort: equal scores keep the generation order, as the root's sort does.
  for (size_t i = 1; i < moves.size(); ++i) {
    ScoredMove m = moves[i];
    size_t k = i;
    for (; k > 0 && moves[k - 1].score < m.score; --k) moves[k] = moves[k - 1];
    moves[k] = m;
  }
  std::vector<std::string> good;
  for (const ScoredMove& m : moves) {
    if (m.score < moves[0].score - CALCVAR_MARGIN) break;
    good.push_back(m.text);
  }
  return good;
}

void commandCalcvar() {
  std::vector<std::string> lines, used;
  if (!readToolFile(TOOL, CALCVAR_SOURCE, lines)) return;
  for (size_t i = 0; i < lines.size(); i += CALCVAR_LINE_STRIDE) {
    std::string reason;
    if (!fenAccepted(lines[i], &reason)) {
      reportBadLine(TOOL, CALCVAR_SOURCE, i, "not a position (" + reason + ")");
      return;
    }
    used.push_back(lines[i]);
  }

  for (const std::string& fen : used) {
    if (toolStopRequested(TOOL)) break;
    emitLine("%s\n", fen.c_str());
    setToolPosition(fen);
    if (std::abs(Evaluate(gameBoards[0], gameStates[0])) > CALCVAR_MAX_EVAL) continue;
    // Every cache emptied, so a position's scores do not depend on the positions before it.
    clearAllHashTables();
    MoveList legal;
    if (legalMoves(gameBoards[0], gameStates[0], legal) < 2) continue;
    std::vector<ScoredMove> scored;
    if (!scoreMoves(legal, scored)) break;
    std::vector<std::string> good = equallyGoodMoves(scored);
    if (good.size() < 2) continue;
    std::string record = fen + "\n";
    for (const std::string& move : good) record += move + ";";
    if (!appendRecord(CALCVAR_OUTPUT, record + "\n"))
      emitLine("info string %s: cannot write %s\n", TOOL, CALCVAR_OUTPUT);
  }
  // The game line ends at the position of the last line read, not at one of its children.
  currentPly = 0;
}
