// Recently generated move lists, keyed by the position key. The main search thread owns one and
// fills it while its iterations are shallow; other callers generate without a cache.
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

struct MoveListCache {
  MoveCacheEntry* entries = nullptr;  // 4 MB block, or null before allocation
  bool filled = false;  // false while no list has been stored: probes can then be skipped
};

// Allocates (4 MB, zero-filled, 64-byte aligned) replacing the previous block. Returns false when
// the memory cannot be had; the previous block then stays.
bool allocateMoveListCache(MoveListCache& cache);
// Forgets every stored list, keeping the block.
void clearMoveListCache(MoveListCache& cache);
