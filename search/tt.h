// The transposition table.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "board/types.h"

constexpr uint8_t BOUND_UPPER = 0, BOUND_LOWER = 1, BOUND_EXACT = 2;

// A copy of one table entry.
struct TtEntry {
  uint32_t check;  // high 32 bits of the key; 0 = empty
  Move move;
  uint8_t bound;
  uint8_t age;
  int16_t value;
  int16_t depth;
  int16_t evaluation;
};

// An entry as stored: two words that every search thread reads and writes without a lock.
// `head` holds the move and the key check XOR a digest of `data` (all of it but the age), so an
// entry torn by two simultaneous writers reads as another position's and is never used.
struct TtSlot {
  std::atomic<uint64_t> head;  // check ^ digest (high half), move (low half)
  std::atomic<uint64_t> data;  // value, depth, evaluation, bound, age
};
static_assert(sizeof(TtSlot) == 16, "a table entry is 16 bytes");

extern TtSlot* transpositionTable;  // 64-byte aligned, mask + 1 + 3 spare entries
extern uint32_t ttMask;
extern uint64_t hashBytes;

inline void ttPrefetch(uint64_t key) {
  if (transpositionTable) __builtin_prefetch(&transpositionTable[uint32_t(key) & ttMask]);
}

// Draws the keys and allocates the three hash tables (transposition table of hashBytes, evaluation
// cache, move-list cache). At start-up a failed allocation ends the process with code 1.
void initHashTables();

// ---- Search side of the table ----

// Counter of searches; entries of the running search carry it in `age`. Written by the main
// thread before the helpers start.
extern uint8_t generation;

// A bucket is the four entries starting at a key's index; it may start at the last index, so the
// table keeps this many entries behind the last one.
constexpr uint32_t TT_BUCKET = 4;
constexpr uint32_t TT_SPARE_ENTRIES = TT_BUCKET - 1;

// A copy of the first entry of the key's bucket holding the key; false when there is none.
// `slot`, when given, receives where it is stored, for ttMarkUsed.
bool ttProbe(uint64_t key, TtEntry& entry, TtSlot** slot = nullptr);
// The entry counts as used by the running search (its age becomes the generation).
void ttMarkUsed(TtSlot* slot);
void ttStore(int value, int ply, int depth, uint64_t key, uint8_t bound, Move move, int evaluation);

// Per mille of the table used by the running search (entries of its generation), estimated from
// the first 1000 entries as interfaces expect for "hashfull".
int ttHashfull();

// Mate scores are kept relative to the node that stores them.
int ttValueToStore(int value, int ply);
int ttValueFromStore(int value, int ply);

// "ucinewgame": empties the table, restarts the generation, invalidates the evaluation cache and
// forgets killers and history.
void clearForNewGame();
// Empties all three tables without reallocating (bench and tests: a fresh start).
void clearAllHashTables();
// Replaces the three tables by empty ones of `bytes` for the transposition table. The new blocks
// are obtained before the old ones are released; on failure the old tables stay and false is
// returned.
bool rebuildHashTables(uint64_t bytes);
