#include "search/tablebase.h"

#include <algorithm>
#include <cstdlib>

#include "search/constants.h"
#include "search/ordering.h"

static_assert(TABLEBASE_WIN_THRESHOLD >= TT_MATE_THRESHOLD && TABLEBASE_WIN < MATE_THRESHOLD &&
                  TABLEBASE_WIN - MAX_PLY >= TABLEBASE_WIN_THRESHOLD,
              "table wins lie between the evaluations and the mates, corrected for distance");

SyzygyOptions syzygyOptions;
TablebaseRoot tablebaseRoot;

namespace {

// Has a position of the game repeated since its last capture or pawn move?
bool gameHasRepeated(const SearchRequest& request) {
  for (int i = request.rootPly; i >= request.lastIrreversiblePly && i >= 0; --i)
    for (int k = i - 2; k >= request.lastIrreversiblePly && k >= 0; k -= 2)
      if (request.lineBoards[k].key == request.lineBoards[i].key) return true;
  return false;
}

bool sameRankedMove(Move ranked, Move move) {
  const uint8_t kind = isPromotionKind(move.kind) ? move.kind : MOVE_NORMAL;
  return ranked.from == move.from && ranked.to == move.to && ranked.kind == kind;
}

// The rank of a root move; false when the tables did not list it (an illegal move).
bool rankOf(Move move, int& rank) {
  const SyzygyRootRanking& r = tablebaseRoot.ranking;
  for (int i = 0; i < r.count; ++i)
    if (sameRankedMove(r.moves[i], move)) {
      rank = r.ranks[i];
      return true;
    }
  return false;
}

}  // namespace

int prepareTablebaseRoot(const SearchRequest& request, const Board& root, const PlyState& state) {
  TablebaseRoot& tb = tablebaseRoot;
  tb.ranked = false;
  tb.score = 0;
  tb.probePieces = 0;
  const int largest = syzygyLargest();
  if (largest == 0) return 0;
  const int limit = std::min(largest, syzygyOptions.probeLimit);
  tb.probePieces = limit;
  if (piecesOnBoard(root) > limit) return 0;
  if (!rankSyzygyRoot(root, state, gameHasRepeated(request), syzygyOptions.rule50, tb.ranking))
    return 0;
  tb.ranked = true;
  // The best rank among the moves the search may play ("searchmoves" naming any of them).
  const GoLimits& g = request.limits;
  auto listed = [&](Move ranked) {
    for (int k = 0; k < g.searchMoveCount; ++k)
      if (sameRankedMove(ranked, g.searchMoves[k])) return true;
    return false;
  };
  bool anyListed = false;
  for (int i = 0; i < tb.ranking.count; ++i) anyListed = anyListed || listed(tb.ranking.moves[i]);
  bool first = true;
  for (int i = 0; i < tb.ranking.count; ++i) {
    if (anyListed && !listed(tb.ranking.moves[i])) continue;
    tb.bestRank = first ? tb.ranking.ranks[i] : std::max(tb.bestRank, tb.ranking.ranks[i]);
    first = false;
  }
  const int wdl = syzygyRankWdl(tb.bestRank, syzygyOptions.rule50);
  tb.score = tablebaseScore(wdl, 0);
  // Distances to zero rank the moves exactly: the search only has to choose among equals. With
  // win/draw/loss alone, probes below keep a won root making progress.
  if (tb.ranking.byDtz || wdl <= 0) tb.probePieces = 0;
  return tb.ranking.count;
}

void keepTablebaseBestMoves(MoveList& rootMoves) {
  bool anyRanked = false;
  int best = 0;
  for (int i = 0; i < rootMoves.count; ++i) {
    int rank;
    if (isNoMove(rootMoves.moves[i]) || !rankOf(rootMoves.moves[i], rank)) continue;
    best = anyRanked ? std::max(best, rank) : rank;
    anyRanked = true;
  }
  if (!anyRanked) return;
  for (int i = 0; i < rootMoves.count; ++i) {
    int rank;
    if (!isNoMove(rootMoves.moves[i]) && (!rankOf(rootMoves.moves[i], rank) || rank < best))
      rootMoves.moves[i].from = NO_SQUARE;
  }
}

int tablebaseScore(int wdl, int ply) {
  if (!syzygyOptions.rule50) wdl *= 2;
  if (wdl >= 2) return TABLEBASE_WIN - ply;
  if (wdl <= -2) return -TABLEBASE_WIN + ply;
  return wdl * TABLEBASE_CURSED;
}

int reportedRootScore(int searched) {
  if (!tablebaseRoot.ranked || std::abs(searched) >= MATE_THRESHOLD) return searched;
  return tablebaseRoot.score;
}
