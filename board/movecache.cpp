// The move-list cache: one block of fixed entries, replaced whole when the hash tables are rebuilt.
#include "board/movecache.h"

#include <cstdlib>
#include <cstring>
#include <new>

static_assert(sizeof(MoveCacheEntry) * MOVE_CACHE_ENTRIES == 4194304,
              "the move-list cache is 4 MB of 8192 entries");

constexpr size_t MOVE_CACHE_ALIGNMENT = 64;

// Owned by this file; read and filled by generateMoves.
MoveCacheEntry* moveListCache = nullptr;
bool moveListCacheFilled = false;

bool allocateMoveListCache() {
  const size_t bytes = sizeof(MoveCacheEntry) * MOVE_CACHE_ENTRIES;
  void* block = ::operator new(bytes, std::align_val_t(MOVE_CACHE_ALIGNMENT), std::nothrow);
  if (block == nullptr) return false;  // the old block, if any, stays in service
  std::memset(block, 0, bytes);
  ::operator delete(moveListCache, std::align_val_t(MOVE_CACHE_ALIGNMENT));
  moveListCacheFilled = false;
  moveListCache = static_cast<MoveCacheEntry*>(block);
  return true;
}
