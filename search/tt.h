// The transposition table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/types.h"

constexpr uint8_t BOUND_UPPER = 0, BOUND_LOWER = 1, BOUND_EXACT = 2;

struct TtEntry {
  uint32_t check;  // high 32 bits of the key; 0 = empty
  Move move;
  uint8_t bound;
  uint8_t age;
  int16_t value;
  int16_t depth;
  int16_t evaluation;
};
static_assert(sizeof(TtEntry) == 16, "a table entry is 16 bytes");

extern TtEntry* transpositionTable;  // 64-byte aligned, mask + 1 + 3 spare entries
extern uint32_t ttMask;
extern uint64_t hashBytes;

inline void ttPrefetch(uint64_t key) {
  if (transpositionTable) __builtin_prefetch(&transpositionTable[uint32_t(key) & ttMask]);
}

// Draws the keys and allocates the three hash tables (transposition table of hashBytes, evaluation
// cache, move-list cache). At start-up a failed allocation ends the process with code 1.
void initHashTables();
