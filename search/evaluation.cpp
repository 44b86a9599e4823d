#include "search/evaluation.h"

#include <cassert>

#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/network.h"
#include "search/thread.h"
#include "search/tt.h"

namespace {

// Written only while no search runs (the front end's options); read by every search thread.
bool tableSelected = true;

// The network's scores share the evaluation cache with the table's under keys of their own (the
// game line's positions put the table's scores there whatever is selected). The salt leaves the
// low half alone: that picks the slot, and the search's prefetch of a child's slot must be the
// slot probed here.
constexpr uint64_t NETWORK_CACHE_SALT = 0x6A09E667ULL << 32;
static_assert(uint32_t(NETWORK_CACHE_SALT) == 0, "the salt must not move an entry's slot");

bool accumulatorCurrent(const SearchThread& t, int ply) {
  return t.accumulatorValid[ply] && t.accumulatorKeys[ply] == t.boards[ply].key;
}

void markCurrent(SearchThread& t, int ply) {
  t.accumulatorValid[ply] = true;
  t.accumulatorKeys[ply] = t.boards[ply].key;
}

// The accumulator of ply `ply`: back to the nearest ply whose accumulator still belongs to its
// board (the root's always does within a search), then forward move by move. Equal keys mean
// equal piece placement, so an accumulator left by an earlier visit of the same position counts.
const Accumulator& accumulatorAt(SearchThread& t, int ply) {
  int from = ply;
  while (from > 0 && !accumulatorCurrent(t, from)) --from;
  if (!accumulatorCurrent(t, from)) {
    refreshAccumulator(t.boards[from], t.accumulators[from]);
    markCurrent(t, from);
  }
  for (int p = from + 1; p <= ply; ++p) {
    updateAccumulator(t.accumulators[p - 1], t.states[p], t.accumulators[p]);
    markCurrent(t, p);
  }
  return t.accumulators[ply];
}

}  // namespace

bool tableEvaluationInUse() { return tableSelected; }

bool useTableEvaluation(bool table) {
  if (!table && !networkInstalled()) return false;
  if (table != tableSelected) clearAllHashTables();
  tableSelected = table;
  return true;
}

void networkChanged() {
  if (!tableSelected) clearAllHashTables();
}

void prepareEvaluation(SearchThread& t) {
  for (bool& valid : t.accumulatorValid) valid = false;
  if (tableSelected) return;
  refreshAccumulator(t.boards[0], t.accumulators[0]);
  markCurrent(t, 0);
  t.states[0].staticEval = NO_EVAL;
  staticEvaluation(t, 0, t.boards[0], t.states[0]);
}

int staticEvaluation(SearchThread& t, int ply, const Board& board, PlyState& state) {
  if (tableSelected) return Evaluate(board, state);
  assert(&board == &t.boards[ply]);
  // Set for this ply already, or taken from the transposition table (whose evaluations are the
  // network's: a change of evaluation empties it).
  if (state.staticEval != NO_EVAL) return state.staticEval;
  const uint64_t key = board.key ^ NETWORK_CACHE_SALT;
  EvalCacheEntry* entry = evalCache ? &evalCache[uint32_t(key) & EVAL_CACHE_MASK] : nullptr;
  int cached;
  if (entry && probeEvalCache(*entry, key, cached)) return state.staticEval = cached;
  const int score = networkEvaluation(accumulatorAt(t, ply), board, state);
  state.staticEval = score;
  if (entry) storeEvalCache(*entry, key, score);
  return score;
}
