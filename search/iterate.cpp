#include "search/iterate.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "board/makemove.h"
#include "board/movegen.h"
#include "search/alphabeta.h"
#include "search/constants.h"
#include "search/host.h"
#include "search/movecheck.h"
#include "search/node.h"
#include "search/ordering.h"
#include "search/picker.h"
#include "search/report.h"
#include "search/tablebase.h"
#include "search/time_control.h"
#include "search/tt.h"

GoLimits mainLimits;

namespace {

// The main thread's MultiPV lines of the last complete iteration, best first.
struct MultiPvLine {
  Move move;
  int score;
  Move row[MAX_PLY];
};
MultiPvLine multiPvLines[MAX_MULTI_PV];

bool reportsInfo(const SearchThread& t) { return t.index == 0 && t.request->printInfo; }

// Strikes out the root moves that "searchmoves" did not name, unless it named none of them.
void restrictRootMoves(SearchThread& t) {
  const GoLimits& g = t.request->limits;
  MoveList& rootMoves = t.rootMoves;
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

// The share of the last iteration's nodes that the best move took. A move that needed most of
// the effort to stay best has settled; one chosen among rivals searched almost as deeply has not.
double bestMoveNodeShare(const SearchThread& t) {
  const MoveList& rootMoves = t.rootMoves;
  int64_t all = 0, best = 0;
  for (int i = 0; i < rootMoves.count; ++i) {
    if (isNoMove(rootMoves.moves[i])) continue;
    all += rootMoves.scores[i];
    if (sameMove(rootMoves.moves[i], t.rootBestMove)) best = rootMoves.scores[i];
  }
  return all > 0 ? double(best) / double(all) : 1.0;
}

// The reply found below the best root move, if it is a legal move after it (slot 1 still holds
// the position after the root move just searched).
Move validatedPonderMove(SearchThread& t) {
  Move reply = t.bestMoveAtPly[1];
  if (isNoMove(reply) || !isPseudoLegal(t.boards[1], t.states[1], reply)) return NO_MOVE;
  MoveList evasions;
  PlyState state = t.states[1];
  if (generateEvasionsIfInCheck(t.boards[1], state, evasions)) {
    for (int i = 0; i < evasions.count; ++i)
      if (!isNoMove(evasions.moves[i]) && sameFromToKind(evasions.moves[i], reply)) return reply;
    return NO_MOVE;
  }
  filterLegal(t.boards[1], t.states[1], &reply, 1);
  return reply;
}

// Did the last best root move prove the mate that "go mate" asked for? (Main thread.)
bool mateLimitReached(const SearchThread& t, int v) {
  const GoLimits& g = mainLimits;
  return t.index == 0 && (g.goFlags & GO_MATE) && v >= MATE_THRESHOLD &&
         (MATE_BASE + 1 - v) / 2 <= g.mate;
}

// A root move already settled as an earlier MultiPV line of this iteration.
bool inEarlierLine(const SearchThread& t, Move move) {
  for (int k = 0; k < t.multiPvDone; ++k)
    if (sameFromToKind(t.multiPvMoves[k], move)) return true;
  return false;
}

// Helper threads leave out some depths, each in its own rhythm, so that the threads spread over
// neighbouring depths instead of all searching the same tree.
bool helperSkipsDepth(const SearchThread& t, int depth) {
  if (t.index == 0) return false;
  const int slot = (t.index - 1) % 20;
  const int run = slot < 2 ? 1 : slot < 6 ? 2 : slot < 12 ? 3 : 4;  // depths searched, then skipped
  const int phase = slot < 2 ? slot : slot < 6 ? slot - 2 : slot < 12 ? slot - 6 : slot - 12;
  return ((depth + phase) / run) % 2 != 0;
}

// One iteration of MultiPV: each line searches the root moves the earlier lines left, with a
// full window; the lines are then printed best first.
int searchMultiPv(SearchThread& t, int depth, int lines) {
  // The lines share one selective depth: the deepest of the whole iteration.
  t.selDepth = 0;
  int settled = 0;
  for (; settled < lines; ++settled) {
    t.multiPvDone = settled;
    const int v = searchRoot(t, -ROOT_BOUND, ROOT_BOUND, depth);
    if (stopSearch.load(std::memory_order_relaxed)) break;
    if (isNoMove(t.bestMoveAtPly[0]) || inEarlierLine(t, t.bestMoveAtPly[0])) break;
    MultiPvLine& line = multiPvLines[settled];
    line.move = t.multiPvMoves[settled] = t.bestMoveAtPly[0];
    line.score = t.multiPvScores[settled] = v;
    std::memcpy(line.row, t.pv, sizeof line.row);
  }
  t.multiPvDone = 0;
  if (stopSearch.load(std::memory_order_relaxed) || settled == 0) return 0;
  std::stable_sort(multiPvLines, multiPvLines + settled,
                   [](const MultiPvLine& a, const MultiPvLine& b) { return a.score > b.score; });
  t.rootBestMove = t.bestMoveAtPly[0] = multiPvLines[0].move;
  for (int k = 0; k < settled; ++k) {
    PrintedPv pv;
    buildPrintedPv(t, multiPvLines[k].row, depth, NO_MOVE, pv);
    const Move reply = pv.length > 1 ? pv.moves[1] : NO_MOVE;
    if (k == 0) t.rootPonderMove = reply;
    t.completedLines[k] = {multiPvLines[k].move, reply, multiPvLines[k].score};
    if (reportsInfo(t)) printScoreLine(t, depth, multiPvLines[k].score, false, k + 1, pv);
  }
  t.completedLineCount = settled;
  return multiPvLines[0].score;
}

}  // namespace

void iterativeDeepening(SearchThread& t) {
  const bool isMain = t.index == 0;
  const int multiPv = isMain ? t.request->multiPv : 1;

  // Step 1. Nothing found yet (the table generation was advanced before the threads started).
  t.selDepth = 0;
  t.iterationDepth = 1;
  t.rootBestMove = NO_MOVE;
  t.rootPonderMove = NO_MOVE;
  t.multiPvDone = 0;
  t.completedLineCount = 0;

  // Step 2. Depth 1 with the full window.
  int v = searchRoot(t, -ROOT_BOUND, ROOT_BOUND, 1);
  // With MultiPV asked for, every iteration goes line by line, even when fewer moves are legal.
  const int lines = std::min(multiPv, t.rootLegalMoves);
  const bool multiLine = multiPv > 1 && lines > 0;
  if (multiLine && !stopSearch.load(std::memory_order_relaxed)) v = searchMultiPv(t, 1, lines);
  if (isMain) firstIterationDone = true;
  if (!stopSearch.load(std::memory_order_relaxed)) t.completedDepth = 1;
  t.lastScore = v;
  int alpha = -ROOT_BOUND, beta = ROOT_BOUND;
  bool finished = mateLimitReached(t, v);
  if (t.rootLegalMoves == 0 && !stopSearch.load(std::memory_order_relaxed)) {
    // Nothing to play: say why, then answer with the null move.
    if (reportsInfo(t)) printNoMoveLine(t, t.rootInCheck != 0);
    finished = true;
  }

  // Step 3. Deeper iterations with aspiration windows. The main thread judges after each one how
  // much of its clock budget the search deserves: more while the best move keeps changing or the
  // score falls, less when the same move stays best.
  Move lastBest = t.rootBestMove;
  double instability = 0;
  int previousScore = v;
  for (t.iterationDepth = 2; t.iterationDepth <= MAX_PLY && !finished; ++t.iterationDepth) {
    if (isMain) {
      if (stopIterating(mainLimits, t.iterationDepth, totalNodes()) || stopSearch) break;
      if (pollRequested.load(std::memory_order_relaxed)) {
        pollRequested.store(false, std::memory_order_relaxed);
        pollHost();
      }
    } else {
      if (stopSearch.load(std::memory_order_relaxed)) break;
      if (helperSkipsDepth(t, t.iterationDepth)) continue;
    }
    if (reportsInfo(t)) emitSearchLine("info depth %d\n", t.iterationDepth);
    if (multiLine) {
      v = searchMultiPv(t, t.iterationDepth, lines);
    } else {
      int delta = ASPIRATION_DELTA;
      v = searchRoot(t, alpha, beta, t.iterationDepth);
      while (!stopSearch.load(std::memory_order_relaxed) && v != ROOT_BOUND && v != -ROOT_BOUND) {
        // A mate (or a table's win) outside the window opens that side fully: widening step by
        // step towards it would only repeat the same search a dozen times.
        if (v <= alpha) {
          alpha =
              v <= -TABLEBASE_WIN_THRESHOLD ? -ROOT_BOUND : std::max(alpha - delta, -ROOT_BOUND);
        } else if (v >= beta) {
          beta =
              v >= TABLEBASE_WIN_THRESHOLD ? ROOT_BOUND : std::min(beta + delta, int(ROOT_BOUND));
        } else {
          if (t.iterationDepth >= ASPIRATION_MIN_DEPTH && std::abs(v) < MATE_THRESHOLD) {
            alpha = v - delta;
            beta = v + delta;
          }
          break;
        }
        delta *= 2;
        v = searchRoot(t, alpha, beta, t.iterationDepth);
      }
    }
    t.lastScore = v;
    if (!stopSearch.load(std::memory_order_relaxed)) {
      t.completedDepth = t.iterationDepth;
      if (isMain) {
        if (!sameMove(t.rootBestMove, lastBest)) instability += 1.0;
        lastBest = t.rootBestMove;
        const double fall = std::clamp((previousScore - v) / 120.0, -0.3, 0.8);
        const double unsettled = multiLine ? 1.0 : 1.0 + 1.2 * (0.7 - bestMoveNodeShare(t));
        setTimeScale((0.75 + instability) * (1.0 + fall) * unsettled);
        instability *= 0.6;
        previousScore = v;
      }
    }
    if (v == ROOT_BOUND || v == -ROOT_BOUND) break;
    if (t.rootMoves.count == 1 && t.iterationDepth == SINGLE_REPLY_DEPTH) break;
    if (mateLimitReached(t, v)) break;
  }
}

int searchRoot(SearchThread& t, int alpha, int beta, int depth) {
  Board& board = t.boards[0];
  PlyState& state = t.states[0];
  Board& child = t.boards[1];
  PlyState& childState = t.states[1];
  MoveList& rootMoves = t.rootMoves;
  // Later MultiPV lines keep the list and report nothing of their own.
  const bool firstLine = t.multiPvDone == 0;
  const bool printsBest = reportsInfo(t) && t.request->multiPv <= 1;

  // Step 1. Empty principal variation.
  t.pv[0] = NO_MOVE;
  int currmoveNumber = 1;

  // Step 2. Depth 1 generates the root moves, kept for every later iteration.
  if (depth == 1 && firstLine) {
    t.rootInCheck = 0;
    if (kingAttacked(board, state)) {
      CheckDirection direction = DIR_NONE;
      int checkerSquare = NO_SQUARE;
      const SideCodes& enemy = state.side == WHITE ? blackCodes : whiteCodes;
      t.rootInCheck = findCheckers(board, state, enemy, board.kingSquare[state.side], 1,
                                   direction, checkerSquare);
      if (t.rootInCheck)
        generateEvasions(board, state, rootMoves, direction, checkerSquare, t.rootInCheck >= 2,
                         noHistory);
    }
    if (!t.rootInCheck) generateMoves(board, state, rootMoves, 0, moveScoring(t));
    restrictRootMoves(t);
    if (tablebaseRoot.ranked) keepTablebaseBestMoves(rootMoves);
    t.rootLegalMoves = 0;
  } else if (depth > 1) {
    // Step 3. The previous best first, then by the subtree sizes of the last iteration.
    for (int i = 0; i < rootMoves.count; ++i)
      if (sameFromToKind(rootMoves.moves[i], t.bestMoveAtPly[0]))
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
  bool first = true;  // the first move searched gets the full window
  t.stack(2)->cutoffCount = 0;  // the root's grandchildren count their cut-offs afresh
  for (int i = 0; i < rootMoves.count; ++i) {
    // Step 4.1. Legality.
    if (isNoMove(rootMoves.moves[i])) continue;
    if (!t.rootInCheck) {
      filterLegal(board, state, &rootMoves.moves[i], 1);
      if (isNoMove(rootMoves.moves[i])) continue;
    }
    const Move move = rootMoves.moves[i];
    if (!firstLine && inEarlierLine(t, move)) continue;
    if (depth == 1 && firstLine) ++t.rootLegalMoves;

    // Step 4.2. The first legal move is always there to play.
    if (isNoMove(t.rootBestMove)) t.rootBestMove = move;

    // Step 4.3. Park the currmove line.
    if (reportsInfo(t)) parkCurrmove(depth, move, currmoveNumber);
    ++currmoveNumber;

    // Step 4.4 and 4.5. Make and score the move: the first with the full window, the others
    // with a null window first (late quiet ones a ply shallower), again in full if they beat alpha.
    const bool quietMove = !isTactical(move);
    StackEntry* ss = t.stack(0);
    ss->move = move;
    ss->piece = board.squares[move.from];
    ss->continuation = &t.history.continuation[ss->piece][move.to];
    makeMove(move, board, child, state, childState);
    prefetchPosition(child.key);
    const bool checking = kingAttacked(child, childState);
    int v;
    if (depth >= 2 && !(firstLine ? i == 0 : first)) {
      const int reduced =
          depth >= 3 && searched >= 3 && quietMove && !checking ? depth - 2 : depth - 1;
      v = -searchNode(t, -alpha - 1, -alpha, reduced, 1, true, NODE_NONPV, child, childState);
      if (v > alpha && reduced < depth - 1)
        v = -searchNode(t, -alpha - 1, -alpha, depth - 1, 1, false, NODE_NONPV, child, childState);
      if (v > alpha)
        v = -searchNode(t, -beta, -alpha, depth - 1, 1, false, NODE_PV, child, childState);
    } else {
      v = -searchNode(t, -beta, -alpha, depth - 1, 1, false, NODE_PV, child, childState);
    }
    first = false;

    // Step 4.6. A stopped iteration is discarded.
    if (stopSearch.load(std::memory_order_relaxed)) return 0;

    // Step 4.7. Subtree size orders the next iteration.
    const int64_t nodes = t.nodes.load(std::memory_order_relaxed);
    rootMoves.scores[i] = nodes - t.nodeBookmark;
    t.nodeBookmark = nodes;
    ++searched;

    // Step 4.8.
    if (v <= alpha) continue;

    // Step 4.9. New best move: report it.
    t.bestMoveAtPly[0] = move;
    t.pv[0] = move;
    std::memcpy(&t.pv[1], &t.pv[pvRowStart(1)], size_t(MAX_PLY - 1) * sizeof(Move));
    if (firstLine) {
      t.rootBestMove = move;
      t.rootPonderMove = validatedPonderMove(t);
    }
    if (t.selDepth < depth) t.selDepth = depth;
    if (printsBest) {
      PrintedPv pv;
      buildPrintedPv(t, t.pv, depth, t.rootPonderMove, pv);
      printScoreLine(t, depth, v, v >= beta, 0, pv);
      t.selDepth = 0;
    }

    // "go mate": a proved mate short enough ends the search with this move.
    if (firstLine && mateLimitReached(t, v)) {
      stopSearch = true;
      return v;
    }

    // Step 4.10. A fail-high ends the iteration; otherwise the root holds at least this score.
    if (v >= beta) return v;
    ttStore(v, 0, depth, board.key, BOUND_LOWER, t.bestMoveAtPly[0], state.staticEval);
    alpha = v;
    raised = true;
  }

  // Step 5. The iteration's result; the bound says what it is.
  if (searched > 0) {
    uint8_t bound = !raised ? BOUND_UPPER : alpha >= beta ? BOUND_LOWER : BOUND_EXACT;
    ttStore(alpha, 0, depth, board.key, bound, t.bestMoveAtPly[0], state.staticEval);
    return alpha;
  }
  int v = t.rootInCheck ? -ROOT_BOUND : 0;
  ttStore(v, 0, depth, board.key, BOUND_EXACT, t.bestMoveAtPly[0], state.staticEval);
  return v;
}
