#include "search/tt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/keys.h"
#include "board/movecache.h"
#include "eval/eval_cache.h"
#include "search/constants.h"
#include "search/history.h"

TtEntry* transpositionTable = nullptr;
uint32_t ttMask = 0;
uint64_t hashBytes = 134217728;
uint8_t generation = 0;

// The allocation behind transpositionTable (the table starts at its first 64-byte boundary).
static void* ttBlock = nullptr;

static TtEntry* alignedTable(void* block) {
  uintptr_t address = (reinterpret_cast<uintptr_t>(block) + 63) & ~uintptr_t(63);
  return reinterpret_cast<TtEntry*>(address);
}

static size_t blockSize(uint64_t bytes) {
  return size_t(bytes) + TT_SPARE_ENTRIES * sizeof(TtEntry) + 63;
}

// Allocates a zeroed table of `bytes`; on success installs it and frees the previous block.
static bool installTable(uint64_t bytes) {
  uint64_t entries = bytes / sizeof(TtEntry);
  // The index mask is 32 bits wide, so a table holds at most 2^32 entries.
  if (entries == 0 || entries > (uint64_t(1) << 32) || blockSize(bytes) < bytes) return false;
  void* block = std::calloc(1, blockSize(bytes));
  if (!block) return false;
  std::free(ttBlock);
  ttBlock = block;
  transpositionTable = alignedTable(block);
  ttMask = uint32_t(entries - 1);
  hashBytes = bytes;
  generation = 0;
  return true;
}

void initHashTables() {
  initKeys();
  if (!installTable(hashBytes)) std::exit(1);
  if (!allocateEvalCache()) {
    std::printf("Error en assignar %d MB per la hash de avaluacions.\n", 8);
    std::fflush(stdout);
    std::exit(1);
  }
  if (!allocateMoveListCache()) {
    std::printf("Error en assignar %d MB per la hash de llista de moviments.\n", 4);
    std::fflush(stdout);
    std::exit(1);
  }
}

bool rebuildHashTables(uint64_t bytes) {
  if (!installTable(bytes)) return false;
  initKeys();
  // The caches keep their previous blocks when a new one cannot be had; then they are emptied
  // in place so that the result is the same.
  if (!allocateEvalCache() && evalCache)
    std::memset(static_cast<void*>(evalCache), 0, EVAL_CACHE_ENTRIES * sizeof(EvalCacheEntry));
  if (!allocateMoveListCache() && moveListCache)
    std::memset(static_cast<void*>(moveListCache), 0,
                MOVE_CACHE_ENTRIES * sizeof(MoveCacheEntry));
  return true;
}

void clearForNewGame() {
  if (transpositionTable)
    std::memset(static_cast<void*>(transpositionTable), 0,
                (size_t(ttMask) + 1 + TT_SPARE_ENTRIES) * sizeof(TtEntry));
  generation = 0;
  if (evalCache) std::memset(static_cast<void*>(evalCache), 0, 8);
  clearKillersAndHistory();
}

void clearAllHashTables() {
  clearForNewGame();
  if (evalCache)
    std::memset(static_cast<void*>(evalCache), 0, EVAL_CACHE_ENTRIES * sizeof(EvalCacheEntry));
  if (moveListCache)
    std::memset(static_cast<void*>(moveListCache), 0,
                MOVE_CACHE_ENTRIES * sizeof(MoveCacheEntry));
}

int ttValueToStore(int value, int ply) {
  if (value >= TT_MATE_THRESHOLD) return value + ply - 1;
  if (value <= -TT_MATE_THRESHOLD) return value - ply + 1;
  return value;
}

int ttValueFromStore(int value, int ply) {
  if (value >= TT_MATE_THRESHOLD) return value - ply + 1;
  if (value <= -TT_MATE_THRESHOLD) return value + ply - 1;
  return value;
}

TtEntry* ttProbe(uint64_t key) {
  uint32_t check = uint32_t(key >> 32);
  // An empty entry never matches, even a key whose high half is zero.
  if (check == 0 || !transpositionTable) return nullptr;
  TtEntry* bucket = &transpositionTable[uint32_t(key) & ttMask];
  for (uint32_t i = 0; i < TT_BUCKET; ++i)
    if (bucket[i].check == check) return &bucket[i];
  return nullptr;
}

static void writeEntry(TtEntry& entry, uint32_t check, int value, int depth, uint8_t bound,
                       Move move, int evaluation) {
  entry.check = check;
  entry.depth = int16_t(depth);
  entry.bound = bound;
  entry.value = int16_t(value);
  entry.move = move;
  entry.age = generation;
  entry.evaluation = int16_t(evaluation);
}

void ttStore(int value, int ply, int depth, uint64_t key, uint8_t bound, Move move,
             int evaluation) {
  if (!transpositionTable) return;
  value = ttValueToStore(value, ply);
  uint32_t check = uint32_t(key >> 32);
  TtEntry* bucket = &transpositionTable[uint32_t(key) & ttMask];
  TtEntry* victim = bucket;
  for (uint32_t i = 0; i < TT_BUCKET; ++i) {
    TtEntry& entry = bucket[i];
    if (entry.check == check && check != 0) {
      if (entry.depth > depth) {
        // A deeper result stays; it only counts as used by this search.
        entry.age = generation;
        if (!isNoMove(move) && isNoMove(entry.move)) entry.move = move;
        return;
      }
      if (isNoMove(move)) move = entry.move;
      writeEntry(entry, check, value, depth, bound, move, evaluation);
      return;
    }
    if (entry.check == 0) {
      writeEntry(entry, check, value, depth, bound, move, evaluation);
      return;
    }
    int preference = 0;
    if (victim->age == generation) preference += 2;
    if (entry.age == generation || entry.bound == BOUND_EXACT) preference -= 2;
    if (entry.depth < victim->depth) preference += 1;
    if (preference >= 1) victim = &entry;
  }
  writeEntry(*victim, check, value, depth, bound, move, evaluation);
}
