// The evaluation cache: one direct-mapped block of 8 MB, filled with zeros when allocated.
#include "eval/eval_cache.h"

#include <cstdlib>
#include <cstring>
#include <new>

EvalCacheEntry* evalCache = nullptr;
uint32_t evalCacheEpoch = 0;

constexpr size_t EVAL_CACHE_BYTES = size_t(EVAL_CACHE_ENTRIES) * sizeof(EvalCacheEntry);
static_assert(EVAL_CACHE_BYTES == 8 * 1024 * 1024, "the evaluation cache is 8 MB");

bool allocateEvalCache() {
  void* block = ::operator new(EVAL_CACHE_BYTES, std::align_val_t(64), std::nothrow);
  if (block == nullptr) return false;
  // All-zero words are a valid empty state of the atomics.
  std::memset(block, 0, EVAL_CACHE_BYTES);
  ::operator delete(evalCache, std::align_val_t(64));
  evalCache = static_cast<EvalCacheEntry*>(block);
  return true;
}

void clearEvalCache() {
  if (++evalCacheEpoch != 0) return;
  // After four billion emptyings the stamps start again: zero the memory once.
  if (evalCache) std::memset(static_cast<void*>(evalCache), 0, EVAL_CACHE_BYTES);
}
