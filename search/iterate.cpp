#include "search/iterate.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "frontend/engine_state.h"
#include "frontend/go.h"
#include "frontend/input.h"
#include "frontend/timer.h"
#include "search/alphabeta.h"
#include "search/constants.h"
#include "search/counters.h"
#include "search/history.h"
#include "search/movecheck.h"
#include "search/node.h"
#include "search/ordering.h"
#include "search/time_control.h"
#include "search/tt.h"

MoveList rootMoves;
int rootInCheck = 0;
Move rootBestMove = NO_MOVE;
Move rootPonderMove = NO_MOVE;
int lastScore = 0;
int rootLegalMoves = 0;
bool bestMoveOwed = false;

namespace {

int64_t nodeBookmark = 0;

// Strikes out the root moves that "searchmoves" did not name, unless it named none of them.
void restrictRootMoves() {
  const GoLimits& g = goLimits;
  if (g.searchMoveCount == 0) return;
  bool anyListed = false;
  for (int i = 0; i < rootMoves.count; ++i)
    for (int k = 0; k < g.searchMoveCount; ++k)
      if (!isNoMove(rootMoves.moves[i]) && sameFromToKind(rootMoves.moves[i], g.searchMoves[k]))
        anyListed = true;
  if (!anyListed) return;
  for (int i = 0; i < rootMoves.count; ++i) {
    bool listed = false;
    for (int k = 0; k < g.searchMoveCount; ++k)
      listed = listed || sameFromToKind(rootMoves.moves[i], g.searchMoves[k]);
    if (!listed) rootMoves.moves[i].from = NO_SQUARE;
  }
}

// The reply found below the best root move, if it is a legal move after it (slot 1 still holds
// the position after the root move just searched).
Move validatedPonderMove() {
  Move reply = bestMoveAtPly[1];
  if (isNoMove(reply) || !isPseudoLegal(searchBoards[1], searchStates[1], reply)) return NO_MOVE;
  MoveList evasions;
  PlyState state = searchStates[1];
  if (generateEvasionsIfInCheck(searchBoards[1], state, evasions)) {
    for (int i = 0; i < evasions.count; ++i)
      if (!isNoMove(evasions.moves[i]) && sameFromToKind(evasions.moves[i], reply)) return reply;
    return NO_MOVE;
  }
  filterLegal(searchBoards[1], searchStates[1], &reply, 1);
  return reply;
}

void printInfoLine(int depth, int v, bool lowerbound) {
  int64_t time = elapsedMs() + 1;
  int nps = int(nodeCount * 1000 / time);
  char line[PV_TEXT_BYTES * MAX_PLY + 256];
  int length;
  if (v >= MATE_THRESHOLD) {
    length = std::snprintf(line, 256, "info depth %d seldepth %d score mate %i nodes %lli nps %i time %i pv ",
                           depth, selDepth, (MATE_BASE + 1 - v) / 2, (long long)nodeCount, nps,
                           int(time));
  } else if (v > -MATE_THRESHOLD) {
    length = std::snprintf(line, 256, "info depth %d seldepth %d score cp %i%s nodes %lli nps %i time %i pv ",
                           depth, selDepth, v, lowerbound ? " lowerbound" : "",
                           (long long)nodeCount, nps, int(time));
  } else {
    length = std::snprintf(line, 256, "info depth %d seldepth %d score mate %i nodes %lli nps %i time %i pv ",
                           depth, selDepth, -((v + MATE_BASE) / 2), (long long)nodeCount, nps,
                           int(time));
  }
  for (int i = 0; i < depth && i < MAX_PLY && pvText[i][0]; ++i)
    length += std::snprintf(line + length, sizeof line - size_t(length), "%s ", pvText[i]);
  std::snprintf(line + length, sizeof line - size_t(length), "\n");
  emitLine("%s", line);
}

// Did the last best root move prove the mate that "go mate" asked for?
bool mateLimitReached(int v) {
  const GoLimits& g = goLimits;
  return (g.goFlags & GO_MATE) && v >= MATE_THRESHOLD && (MATE_BASE + 1 - v) / 2 <= g.mate;
}

}  // namespace

void printBestMove(Move best, Move ponder) {
  if (isNoMove(best)) {
    emitLine("bestmove 0000\n");
  } else if (isNoMove(ponder)) {
    emitLine("bestmove %s\n", moveText(best).c_str());
  } else {
    emitLine("bestmove %s ponder %s\n", moveText(best).c_str(), moveText(ponder).c_str());
  }
}

void reportBestMove() {
  if (!bestMoveOwed) return;
  bestMoveOwed = false;
  printBestMove(rootBestMove, rootPonderMove);
}

void startSearch() {
  searchStartMs = nowMs();
  searchBoards[0] = gameBoards[currentPly];
  searchStates[0] = gameStates[currentPly];
  clearKillersAndHistory();
  nodeCount = 0;
  nodeBookmark = 0;
  timeBudget = 0;
  stopSearch = false;
  rootSide = searchStates[0].side;
  nodeLimit = (goLimits.goFlags & GO_NODES) ? goLimits.nodes : INT64_MAX;
  pendingCurrmove[0] = 0;
  firstIterationDone = false;
  allotTime();
  armTimer();
  pollRequested = false;
  iterativeDeepening();
  disarmTimer();
}

bool searchToDepth(int depth, int64_t nodes) {
  goLimits.goFlags = GO_DEPTH;
  goLimits.depth = depth;
  goLimits.searchMoveCount = 0;
  if (nodes > 0) {
    goLimits.goFlags |= GO_NODES;
    goLimits.nodes = nodes;
  }
  bestMoveOwed = false;
  searchMode = 1;
  startSearch();
  // Typed input ends a search on the engine's own clock by setting the mode back to 0.
  const bool completed = searchMode.load() == 1 && !quitRequested;
  searchMode = 0;
  bestMoveOwed = false;
  return completed;
}

void iterativeDeepening() {
  // Step 1. A new search generation; nothing found yet.
  ++generation;
  selDepth = 0;
  iterationDepth = 1;
  rootBestMove = NO_MOVE;
  rootPonderMove = NO_MOVE;

  // Step 2. Depth 1 with the full window.
  int v = searchRoot(-ROOT_BOUND, ROOT_BOUND, 1);
  firstIterationDone = true;
  lastScore = v;
  int alpha = -ROOT_BOUND, beta = ROOT_BOUND;
  bool finished = mateLimitReached(v);
  if (rootLegalMoves == 0 && !stopSearch) {
    // Nothing to play: say why, then answer with the null move.
    if (infoOutput && rootInCheck) emitLine("info depth 0 score mate 0\n");
    if (infoOutput && !rootInCheck) emitLine("info depth 0 score cp 0\n");
    finished = true;
  }

  // Step 3. Deeper iterations with aspiration windows.
  for (iterationDepth = 2; iterationDepth <= MAX_PLY && !finished; ++iterationDepth) {
    if (stopIterating() || stopSearch) break;
    if (pollRequested) pollInput();
    if (infoOutput) emitLine("info depth %d\n", iterationDepth);
    int delta = ASPIRATION_DELTA;
    v = searchRoot(alpha, beta, iterationDepth);
    while (!stopSearch && v != ROOT_BOUND && v != -ROOT_BOUND) {
      if (v <= alpha) {
        alpha -= delta;
      } else if (v >= beta) {
        beta += delta;
      } else {
        if (iterationDepth >= ASPIRATION_MIN_DEPTH && std::abs(v) < MATE_THRESHOLD) {
          alpha = v - delta;
          beta = v + delta;
        }
        break;
      }
      delta *= 2;
      v = searchRoot(alpha, beta, iterationDepth);
    }
    lastScore = v;
    if (v == 0) clearKillersAndHistory();
    if (v == ROOT_BOUND || v == -ROOT_BOUND) break;
    if (rootMoves.count == 1 && iterationDepth == SINGLE_REPLY_DEPTH) break;
    if (mateLimitReached(v)) break;
  }

  // Step 4. Answer the "go" exactly once. An open-ended search ("infinite", "ponder") that ended
  // on its own holds its answer for "stop" (or "ponderhit"); one ended by "stop" or by input
  // (the mode is then 0) answers now, before that input runs. "quit" needs no answer.
  const bool heldOpen = searchMode.load(std::memory_order_relaxed) != 0 &&
                        (goLimits.goFlags & GO_INFINITE);
  if (!heldOpen && !quitRequested) reportBestMove();
}

int searchRoot(int alpha, int beta, int depth) {
  Board& board = searchBoards[0];
  PlyState& state = searchStates[0];
  Board& child = searchBoards[1];
  PlyState& childState = searchStates[1];

  // Step 1. Empty principal variation.
  pvText[0][0] = 0;
  int currmoveNumber = 1;

  // Step 2. Depth 1 generates the root moves, kept for every later iteration.
  if (depth == 1) {
    rootInCheck = 0;
    if (kingAttacked(board, state)) {
      int direction = 0, checkerSquare = NO_SQUARE;
      const SideCodes& enemy = state.side == WHITE ? blackCodes : whiteCodes;
      rootInCheck = findCheckers(board, state, enemy, board.kingSquare[state.side], 1, direction,
                                 checkerSquare);
      if (rootInCheck)
        generateEvasions(board, state, rootMoves, direction, checkerSquare, rootInCheck >= 2);
    }
    if (!rootInCheck) generateMoves(board, state, rootMoves, 0);
    restrictRootMoves();
    rootLegalMoves = 0;
  } else {
    // Step 3. The previous best first, then by the subtree sizes of the last iteration.
    for (int i = 0; i < rootMoves.count; ++i)
      if (sameFromToKind(rootMoves.moves[i], bestMoveAtPly[0]))
        rootMoves.scores[i] = ROOT_PREVIOUS_BEST;
    for (int i = 1; i < rootMoves.count; ++i) {
      Move m = rootMoves.moves[i];
      int64_t s = rootMoves.scores[i];
      int k = i - 1;
      for (; k >= 0 && rootMoves.scores[k] < s; --k) {
        rootMoves.moves[k + 1] = rootMoves.moves[k];
        rootMoves.scores[k + 1] = rootMoves.scores[k];
      }
      rootMoves.moves[k + 1] = m;
      rootMoves.scores[k + 1] = s;
    }
  }

  // Step 4. The moves.
  int searched = 0;
  bool raised = false;
  for (int i = 0; i < rootMoves.count; ++i) {
    // Step 4.1. Legality.
    if (isNoMove(rootMoves.moves[i])) continue;
    if (!rootInCheck) {
      filterLegal(board, state, &rootMoves.moves[i], 1);
      if (isNoMove(rootMoves.moves[i])) continue;
    }
    const Move move = rootMoves.moves[i];
    if (depth == 1) ++rootLegalMoves;

    // Step 4.2. The first legal move is always there to play.
    if (isNoMove(rootBestMove)) rootBestMove = move;

    // Step 4.3. Park the currmove line.
    std::snprintf(pendingCurrmove, sizeof pendingCurrmove,
                  "info depth %d currmove %s currmovenumber %d\n", depth, moveText(move).c_str(),
                  currmoveNumber);
    ++currmoveNumber;

    // Step 4.4 and 4.5. Make and score the move.
    makeMove(move, board, child, state, childState, 0);
    int v;
    if (depth >= 2 && i != 0) {
      v = -searchNode(-alpha - 1, -alpha, 1, ROOT_CHILD_PV_INDEX, true, NODE_NONPV, depth,
                      NO_EXCLUSION, child, childState);
      if (v > alpha)
        v = -searchNode(-beta, -alpha, 1, ROOT_CHILD_PV_INDEX, true, NODE_PV, depth, NO_EXCLUSION,
                        child, childState);
    } else {
      v = -searchNode(-beta, -alpha, 1, ROOT_CHILD_PV_INDEX, true, NODE_PV, depth, NO_EXCLUSION,
                      child, childState);
    }

    // Step 4.6. Put the origin back; a stopped iteration is discarded.
    originOf[move.to] = savedOrigin[0];
    if (stopSearch) return 0;

    // Step 4.7. Subtree size orders the next iteration.
    rootMoves.scores[i] = nodeCount - nodeBookmark;
    nodeBookmark = nodeCount;
    ++searched;

    // Step 4.8.
    if (v <= alpha) continue;

    // Step 4.9. New best move: report it.
    bestMoveAtPly[0] = move;
    rootBestMove = move;
    moveToText(move, pvText[0]);
    std::memcpy(pvText[1], pvText[ROOT_CHILD_PV_INDEX], size_t(MAX_PLY - 1) * PV_TEXT_BYTES);
    rootPonderMove = validatedPonderMove();
    if (selDepth < depth) selDepth = depth;
    if (infoOutput) printInfoLine(depth, v, v >= beta);
    selDepth = 0;

    // "go mate": a proved mate short enough ends the search with this move.
    if (mateLimitReached(v)) {
      stopSearch = true;
      return v;
    }

    // Step 4.10.
    if (v > beta) return v;
    ttStore(v, 0, depth, board.key, BOUND_UPPER, bestMoveAtPly[0], state.staticEval);
    alpha = v;
    raised = true;
  }

  // Step 5. The iteration's result; the bound says what it is.
  if (searched > 0) {
    uint8_t bound = !raised ? BOUND_UPPER : alpha >= beta ? BOUND_LOWER : BOUND_EXACT;
    ttStore(alpha, 0, depth, board.key, bound, bestMoveAtPly[0], state.staticEval);
    return alpha;
  }
  int v = rootInCheck ? -ROOT_BOUND : 0;
  ttStore(v, 0, depth, board.key, BOUND_EXACT, bestMoveAtPly[0], state.staticEval);
  return v;
}
