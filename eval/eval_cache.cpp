// The evaluation cache: one direct-mapped block of 8 MB, filled with zeros when allocated.
#include "eval/eval_cache.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

EvalCacheEntry* evalCache = nullptr;

bool allocateEvalCache() {
  constexpr size_t bytes = size_t(EVAL_CACHE_ENTRIES) * sizeof(EvalCacheEntry);
  static_assert(bytes == 8 * 1024 * 1024, "the evaluation cache is 8 MB");
  void* block = ::operator new(bytes, std::align_val_t(64), std::nothrow);
  if (block == nullptr) {
    std::printf("Error en assignar %i MB per la hash de avaluacions.\n", int(bytes >> 20));
    std::fflush(stdout);
    return false;
  }
  std::memset(block, 0, bytes);
  ::operator delete(evalCache, std::align_val_t(64));
  evalCache = static_cast<EvalCacheEntry*>(block);
  return true;
}
