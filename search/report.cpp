#include "search/report.h"

#include <algorithm>
#include <cstdio>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "search/constants.h"
#include "search/host.h"
#include "search/movecheck.h"
#include "search/syzygy.h"
#include "search/tablebase.h"
#include "search/ordering.h"
#include "search/time_control.h"
#include "search/tt.h"
#include "search/wdl_model.h"

namespace {

constexpr size_t INFO_LINE_BYTES = 6 * MAX_PLY + 256;
char pendingCurrmove[96];  // main search thread only
// When the last line with "hashfull" was printed (nowMs; a ponderhit restarts the search's own
// clock); main thread only.
int64_t lastHashfullMs = 0;
constexpr int64_t HASHFULL_INTERVAL_MS = 1000;

// "nodes N nps P hashfull H time T", the counters every report line carries, with "tbhits N"
// before the time while endgame tables are loaded.
void formatCounters(char* text, size_t size) {
  const int64_t time = elapsedMs() + 1;
  const int64_t nodes = totalNodes();
  char tbHits[40] = "";
  if (syzygyLargest() > 0)
    std::snprintf(tbHits, sizeof tbHits, " tbhits %lli", (long long)totalTbHits());
  std::snprintf(text, size, "nodes %lli nps %lli hashfull %d%s time %lli", (long long)nodes,
                (long long)(nodes * 1000 / time), ttHashfull(), tbHits, (long long)time);
  lastHashfullMs = nowMs();
}

// Is `move` legal in the position? (Table moves may come from another position's key.)
bool isLegalHere(const Board& board, PlyState state, Move move) {
  if (isNoMove(move) || !isPseudoLegal(board, state, move)) return false;
  MoveList list;
  const int count = legalMoves(board, state, list);
  for (int i = 0; i < count; ++i)
    if (sameFromToKind(list.moves[i], move)) return true;
  return false;
}

}  // namespace

void parkCurrmove(int depth, Move move, int number) {
  std::snprintf(pendingCurrmove, sizeof pendingCurrmove,
                "info depth %d currmove %s currmovenumber %d\n", depth, moveText(move).c_str(),
                number);
}

void clearPendingCurrmove() {
  pendingCurrmove[0] = 0;
  lastHashfullMs = nowMs();
}

void flushPendingCurrmove() {
  if (pendingCurrmove[0]) {
    emitSearchLine("%s", pendingCurrmove);
    pendingCurrmove[0] = 0;
  }
  // A deep iteration may print no score line for a long while; the interface still hears how
  // far the search has got and how full the table is at least once a second.
  const SearchThread& main = mainThread();
  if (!main.request || !main.request->printInfo) return;
  if (nowMs() - lastHashfullMs < HASHFULL_INTERVAL_MS) return;
  char counters[160];
  formatCounters(counters, sizeof counters);
  emitSearchLine("info %s\n", counters);
}

void buildPrintedPv(const SearchThread& t, const Move* row, int depth, Move reply,
                    PrintedPv& out) {
  out.length = 0;
  for (int i = 0; i < depth && i < MAX_PLY && !isNoMove(row[i]); ++i)
    out.moves[out.length++] = row[i];
  if (out.length == 1 && !isNoMove(reply)) out.moves[out.length++] = reply;
  // The table may hold lines from deeper searches; a line as long as the depth is plenty.
  const int longest = std::max(depth, out.length);

  // Walk the line on scratch records, then go on with the table's moves from its end. A
  // position met before (in the game since its last irreversible move, or earlier on the line)
  // is a draw to the search, and so is one the fifty-move rule has reached: the line ends with
  // the move that gets there.
  Board boards[2];
  PlyState states[2];
  boards[0] = t.boards[0];
  states[0] = t.states[0];
  uint64_t seen[MAX_PLY + 1];
  seen[0] = boards[0].key;
  const SearchRequest& game = *t.request;
  auto repeats = [&](uint64_t key, int onLine) {
    for (int k = 0; k < onLine; ++k)
      if (seen[k] == key) return true;
    for (int ply = game.rootPly - 1; ply >= 0 && ply >= game.lastIrreversiblePly; --ply)
      if (game.lineBoards[ply].key == key) return true;
    return false;
  };
  int at = 0;
  for (int i = 0; i < longest; ++i) {
    Move move;
    if (i < out.length) {
      move = out.moves[i];
      // The row is the search's own; it is legal by construction, but a stale entry must not
      // print an impossible line.
      if (!isLegalHere(boards[at], states[at], move)) {
        out.length = i;
        return;
      }
    } else {
      TtEntry entry;
      if (!ttProbe(boards[at].key, entry) || !isLegalHere(boards[at], states[at], entry.move))
        return;
      move = entry.move;
      out.moves[out.length++] = move;
    }
    makeMove(move, boards[at], boards[at ^ 1], states[at], states[at ^ 1]);
    at ^= 1;
    if (states[at].halfmoveClock > 99 || repeats(boards[at].key, i + 1)) {
      out.length = i + 1;
      return;
    }
    seen[i + 1] = boards[at].key;
  }
}

void printNoMoveLine(const SearchThread& t, bool mated) {
  const char* wdl = !t.request->showWdl ? "" : mated ? " wdl 0 0 1000" : " wdl 0 1000 0";
  emitSearchLine("info depth 0 score %s%s\n", mated ? "mate 0" : "cp 0", wdl);
}

void printScoreLine(const SearchThread& t, int depth, int v, bool lowerbound, int multiPv,
                    const PrintedPv& pv) {
  char counters[160];
  formatCounters(counters, sizeof counters);
  // Where the tables rank the root, their verdict is the score (a mate the search found says more).
  const int shown = reportedRootScore(v);
  if (shown != v) lowerbound = false;
  v = shown;
  char multi[24] = "";
  if (multiPv > 0) std::snprintf(multi, sizeof multi, " multipv %d", multiPv);
  char score[32];
  if (v >= MATE_THRESHOLD)
    std::snprintf(score, sizeof score, "mate %i", (MATE_BASE + 1 - v) / 2);
  else if (v > -MATE_THRESHOLD)
    std::snprintf(score, sizeof score, "cp %i%s", v, lowerbound ? " lowerbound" : "");
  else
    std::snprintf(score, sizeof score, "mate %i", -((v + MATE_BASE) / 2));
  // Win/draw/loss figures follow the score and its bound, where interfaces look for them. The
  // material is the root's: every line of one search speaks of the same position.
  char wdl[32] = "";
  if (t.request->showWdl) {
    const WdlPerMille figures = wdlForScore(v, wdlMaterial(t.boards[0].pieceCount));
    std::snprintf(wdl, sizeof wdl, " wdl %d %d %d", figures.win, figures.draw, figures.loss);
  }
  char line[INFO_LINE_BYTES];
  int length = std::snprintf(line, sizeof line,
                             "info depth %d seldepth %d%s score %s%s %s pv ", depth, t.selDepth,
                             multi, score, wdl, counters);
  for (int i = 0; i < pv.length; ++i) {
    char text[6];
    moveToText(pv.moves[i], text);
    length += std::snprintf(line + length, sizeof line - size_t(length), "%s ", text);
  }
  std::snprintf(line + length, sizeof line - size_t(length), "\n");
  emitSearchLine("%s", line);
}
