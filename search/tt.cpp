#include "search/tt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "board/keys.h"
#include "eval/eval_cache.h"
#include "search/constants.h"
#include "search/search.h"
#include "search/thread.h"

TtSlot* transpositionTable = nullptr;
uint32_t ttMask = 0;
uint64_t hashBytes = 134217728;
uint8_t generation = 0;

// The allocation behind transpositionTable (the table starts at its first 64-byte boundary).
static void* ttBlock = nullptr;

static TtSlot* alignedTable(void* block) {
  uintptr_t address = (reinterpret_cast<uintptr_t>(block) + 63) & ~uintptr_t(63);
  return reinterpret_cast<TtSlot*>(address);
}

static size_t blockSize(uint64_t bytes) {
  return size_t(bytes) + TT_SPARE_ENTRIES * sizeof(TtSlot) + 63;
}

// A zeroed block for the table. Every probe lands on a random line of it, so on Linux it is
// asked for in 2 MB pages: far fewer address-translation misses and page faults.
static void* allocateZeroed(size_t size) {
#if defined(__linux__)
  constexpr size_t LARGE_PAGE = size_t(2) << 20;
  if (size >= LARGE_PAGE) {
    const size_t rounded = (size + LARGE_PAGE - 1) / LARGE_PAGE * LARGE_PAGE;
    void* block = std::aligned_alloc(LARGE_PAGE, rounded);
    if (!block) return nullptr;
    madvise(block, rounded, MADV_HUGEPAGE);
    std::memset(block, 0, rounded);
    return block;
  }
#endif
  return std::calloc(1, size);
}

// ---- The two stored words ----
constexpr uint64_t AGE_SHIFT = 56;
constexpr uint64_t AGE_MASK = uint64_t(0xFF) << AGE_SHIFT;

// Emptying the table is a step of its epoch: an entry stamped with another epoch (in the high six
// bits of its bound byte) reads as an empty one. Only when the epochs run out is the memory
// zeroed, so that a new game or a bench position does not have to wait for gigabytes of stores.
// Written only while no search runs.
constexpr uint8_t TABLE_EPOCHS = 64;
static uint8_t tableEpoch = 0;  // zeroed memory carries epoch 0

static uint32_t digest(uint64_t data) {
  data &= ~AGE_MASK;
  return uint32_t(data) ^ uint32_t(data >> 32);
}

static uint64_t packData(const TtEntry& e) {
  const uint8_t boundByte = uint8_t(e.bound | tableEpoch << 2);
  return uint64_t(uint16_t(e.value)) | uint64_t(uint16_t(e.depth)) << 16 |
         uint64_t(uint16_t(e.evaluation)) << 32 | uint64_t(boundByte) << 48 |
         uint64_t(e.age) << AGE_SHIFT;
}

static void write(TtSlot& slot, const TtEntry& e) {
  const uint64_t data = packData(e);
  slot.head.store(uint64_t(e.check ^ digest(data)) << 32 | moveBits(e.move),
                  std::memory_order_relaxed);
  slot.data.store(data, std::memory_order_relaxed);
}

static TtEntry read(const TtSlot& slot) {
  const uint64_t head = slot.head.load(std::memory_order_relaxed);
  const uint64_t data = slot.data.load(std::memory_order_relaxed);
  const uint8_t boundByte = uint8_t(data >> 48);
  if ((boundByte >> 2) != tableEpoch) return TtEntry{};  // emptied: as if zeroed
  TtEntry e;
  e.check = uint32_t(head >> 32) ^ digest(data);
  const uint32_t move = uint32_t(head);
  std::memcpy(&e.move, &move, sizeof move);
  e.value = int16_t(uint16_t(data));
  e.depth = int16_t(uint16_t(data >> 16));
  e.evaluation = int16_t(uint16_t(data >> 32));
  e.bound = uint8_t(boundByte & 3);
  e.age = uint8_t(data >> AGE_SHIFT);
  return e;
}

// Allocates a zeroed table of `bytes`; on success installs it and frees the previous block.
// All-zero words read as an empty entry.
static bool installTable(uint64_t bytes) {
  uint64_t entries = bytes / sizeof(TtSlot);
  // The index mask is 32 bits wide, so a table holds at most 2^32 entries.
  if (entries == 0 || entries > (uint64_t(1) << 32) || blockSize(bytes) < bytes) return false;
  void* block = allocateZeroed(blockSize(bytes));
  if (!block) return false;
  std::free(ttBlock);
  ttBlock = block;
  transpositionTable = alignedTable(block);
  ttMask = uint32_t(entries - 1);
  hashBytes = bytes;
  generation = 0;
  tableEpoch = 0;
  return true;
}

static void emptyTable() {
  if (!transpositionTable) return;
  if (++tableEpoch < TABLE_EPOCHS) return;
  std::memset(static_cast<void*>(transpositionTable), 0,
              (size_t(ttMask) + 1 + TT_SPARE_ENTRIES) * sizeof(TtSlot));
  tableEpoch = 0;
}

void initHashTables() {
  initKeys();
  if (!installTable(hashBytes)) {
    // Ending without a word would leave the interface guessing why the engine died.
    std::printf("Error en assignar %llu MB per la hash.\n", (unsigned long long)(hashBytes >> 20));
    std::fflush(stdout);
    std::exit(1);
  }
  if (!allocateEvalCache()) {
    std::printf("Error en assignar %d MB per la hash de avaluacions.\n", 8);
    std::fflush(stdout);
    std::exit(1);
  }
  if (!allocateMoveListCache(mainThread().moveCache)) {
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
  if (!allocateEvalCache()) clearEvalCache();
  if (!allocateMoveListCache(mainThread().moveCache)) clearMoveListCache(mainThread().moveCache);
  return true;
}

void clearForNewGame() {
  emptyTable();
  generation = 0;
  if (evalCache) std::memset(static_cast<void*>(evalCache), 0, 8);
  clearSearchHistory();
}

void clearAllHashTables() {
  clearForNewGame();
  clearEvalCache();
  clearMoveListCache(mainThread().moveCache);
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

int ttHashfull() {
  if (!transpositionTable) return 0;
  const uint32_t sample = ttMask < 999 ? ttMask + 1 : 1000;
  uint32_t used = 0;
  for (uint32_t i = 0; i < sample; ++i) {
    const TtEntry entry = read(transpositionTable[i]);
    if (entry.check != 0 && entry.age == generation) ++used;
  }
  return int(used * 1000 / sample);
}

bool ttProbe(uint64_t key, TtEntry& entry, TtSlot** slot) {
  uint32_t check = uint32_t(key >> 32);
  // An empty entry never matches, even a key whose high half is zero.
  if (check == 0 || !transpositionTable) return false;
  TtSlot* bucket = &transpositionTable[uint32_t(key) & ttMask];
  for (uint32_t i = 0; i < TT_BUCKET; ++i) {
    entry = read(bucket[i]);
    if (entry.check == check) {
      if (slot) *slot = &bucket[i];
      return true;
    }
  }
  return false;
}

void ttMarkUsed(TtSlot* slot) {
  const uint64_t data = slot->data.load(std::memory_order_relaxed);
  slot->data.store((data & ~AGE_MASK) | uint64_t(generation) << AGE_SHIFT,
                   std::memory_order_relaxed);
}

static void writeEntry(TtSlot& slot, uint32_t check, int value, int depth, uint8_t bound,
                       Move move, int evaluation) {
  TtEntry entry;
  entry.check = check;
  entry.depth = int16_t(depth);
  entry.bound = bound;
  entry.value = int16_t(value);
  entry.move = move;
  entry.age = generation;
  entry.evaluation = int16_t(evaluation);
  write(slot, entry);
}

void ttStore(int value, int ply, int depth, uint64_t key, uint8_t bound, Move move,
             int evaluation) {
  if (!transpositionTable) return;
  value = ttValueToStore(value, ply);
  uint32_t check = uint32_t(key >> 32);
  TtSlot* bucket = &transpositionTable[uint32_t(key) & ttMask];
  TtEntry entries[TT_BUCKET];
  for (uint32_t i = 0; i < TT_BUCKET; ++i) entries[i] = read(bucket[i]);
  uint32_t victim = 0;
  for (uint32_t i = 0; i < TT_BUCKET; ++i) {
    TtEntry& entry = entries[i];
    if (entry.check == check && check != 0) {
      if (entry.depth > depth) {
        // A deeper result stays; it only counts as used by this search.
        entry.age = generation;
        if (!isNoMove(move) && isNoMove(entry.move)) entry.move = move;
        write(bucket[i], entry);
        return;
      }
      if (isNoMove(move)) move = entry.move;
      writeEntry(bucket[i], check, value, depth, bound, move, evaluation);
      return;
    }
    if (entry.check == 0) {
      writeEntry(bucket[i], check, value, depth, bound, move, evaluation);
      return;
    }
    int preference = 0;
    if (entries[victim].age == generation) preference += 2;
    if (entry.age == generation || entry.bound == BOUND_EXACT) preference -= 2;
    if (entry.depth < entries[victim].depth) preference += 1;
    if (preference >= 1) victim = i;
  }
  writeEntry(bucket[victim], check, value, depth, bound, move, evaluation);
}
