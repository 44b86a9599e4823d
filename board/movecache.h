// Recently generated move lists, keyed by the position key (filled by generateMoves while the
// search is shallow).
#pragma once

#include "board/types.h"

constexpr int MOVE_CACHE_ENTRIES = 8192;
constexpr int MOVE_CACHE_MOVES = 123;

struct MoveCacheEntry {
  Move moves[MOVE_CACHE_MOVES];
  uint16_t count;
  alignas(8) uint64_t key;  // aligned alike on 32-bit builds, so an entry is 512 bytes everywhere
  uint16_t threat;
};

extern MoveCacheEntry* moveListCache;
// False while no list has been stored since the block was allocated: probes can then be skipped.
extern bool moveListCacheFilled;

// Allocates (4 MB, zero-filled, 64-byte aligned) replacing the previous block. Returns false when
// the memory cannot be had; the previous block then stays.
bool allocateMoveListCache();
