// The evaluation cache: direct-mapped, 8 MB, one entry per low-key index.
#pragma once

#include <cstdint>

// Aligned to 8 so that an entry takes 16 bytes on 32-bit builds as well (8 MB in all).
struct alignas(8) EvalCacheEntry {
  uint64_t key;   // full position key
  int32_t score;  // value for the side to move, exactly as Evaluate returned it
};

constexpr uint32_t EVAL_CACHE_ENTRIES = 524288;
constexpr uint32_t EVAL_CACHE_MASK = 0x7FFFF;

extern EvalCacheEntry* evalCache;

// Allocates a new zero-filled, 64-byte aligned block and releases the old one. Returns false
// (old block kept) when the memory cannot be had, after printing the failure message; the
// caller ends the process.
bool allocateEvalCache();
