// The move-list cache: one block of fixed entries, replaced whole when the hash tables are rebuilt.
#include "board/movecache.h"

#include <cstring>
#include <new>

static_assert(sizeof(MoveCacheEntry) * MOVE_CACHE_ENTRIES == 4194304,
              "the move-list cache is 4 MB of 8192 entries");

constexpr size_t MOVE_CACHE_ALIGNMENT = 64;
constexpr size_t MOVE_CACHE_BYTES = sizeof(MoveCacheEntry) * MOVE_CACHE_ENTRIES;

bool allocateMoveListCache(MoveListCache& cache) {
  // Aligned new rather than aligned_alloc, which the Windows runtime lacks.
  void* block = ::operator new(MOVE_CACHE_BYTES, std::align_val_t(MOVE_CACHE_ALIGNMENT),
                               std::nothrow);
  if (block == nullptr) return false;  // the old block, if any, stays in service
  std::memset(block, 0, MOVE_CACHE_BYTES);
  ::operator delete(cache.entries, std::align_val_t(MOVE_CACHE_ALIGNMENT));
  cache.filled = false;
  cache.entries = static_cast<MoveCacheEntry*>(block);
  return true;
}

void clearMoveListCache(MoveListCache& cache) {
  if (cache.entries) std::memset(static_cast<void*>(cache.entries), 0, MOVE_CACHE_BYTES);
}
