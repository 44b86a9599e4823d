// The evaluation cache: direct-mapped, 8 MB, one entry per low-key index, shared by all search
// threads.
#pragma once

#include <atomic>
#include <cstdint>

// Two words that any thread may write at any time. `check` holds the key XOR `data`, so an entry
// torn by two simultaneous writers fails the test instead of giving another position's score.
struct alignas(16) EvalCacheEntry {
  std::atomic<uint64_t> check;
  std::atomic<uint64_t> data;  // the score for the side to move (low half), the epoch (high half)
};

constexpr uint32_t EVAL_CACHE_ENTRIES = 524288;
constexpr uint32_t EVAL_CACHE_MASK = 0x7FFFF;

extern EvalCacheEntry* evalCache;
// Emptying the cache steps its epoch: entries of an earlier epoch never match. Written only while
// no search runs.
extern uint32_t evalCacheEpoch;

// Allocates a new zero-filled, 64-byte aligned block and releases the old one. Returns false
// (old block kept) when the memory cannot be had; the caller says so.
bool allocateEvalCache();
// Forgets every stored evaluation.
void clearEvalCache();

// Starts fetching the entry of `key` (for a position about to be evaluated).
inline void prefetchEvalCache(uint64_t key) {
  if (evalCache) __builtin_prefetch(&evalCache[uint32_t(key) & EVAL_CACHE_MASK]);
}

inline bool probeEvalCache(const EvalCacheEntry& entry, uint64_t key, int& score) {
  const uint64_t data = entry.data.load(std::memory_order_relaxed);
  if ((entry.check.load(std::memory_order_relaxed) ^ data) != key) return false;
  if (uint32_t(data >> 32) != evalCacheEpoch) return false;
  score = int32_t(uint32_t(data));
  return true;
}

inline void storeEvalCache(EvalCacheEntry& entry, uint64_t key, int score) {
  const uint64_t data = uint64_t(evalCacheEpoch) << 32 | uint32_t(score);
  entry.check.store(key ^ data, std::memory_order_relaxed);
  entry.data.store(data, std::memory_order_relaxed);
}
