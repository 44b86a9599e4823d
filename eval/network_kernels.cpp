// The network's inner loops: plain C++, SSE2 and AVX2. A move changes one column pair (a quiet
// move), three (a capture, en passant, a promotion) or four (castling), and those cases get loops
// of their own, so that copying the parent and applying the columns is one pass over memory.
#include "eval/network_kernels.h"

#if defined(CORVANEL_NETWORK_SSE2) || defined(CORVANEL_NETWORK_AVX2)
#include <immintrin.h>
#endif

namespace {

// ---- Plain C++ ----

void plainUpdate(int16_t* out, const int16_t* in, const int16_t* const* add, int addCount,
                 const int16_t* const* sub, int subCount, int n) {
  if (addCount == 1 && subCount == 1) {
    const int16_t *a = add[0], *s = sub[0];
    for (int i = 0; i < n; ++i) out[i] = int16_t(in[i] + a[i] - s[i]);
    return;
  }
  for (int i = 0; i < n; ++i) {
    int value = in[i];
    for (int k = 0; k < addCount; ++k) value += add[k][i];
    for (int k = 0; k < subCount; ++k) value -= sub[k][i];
    out[i] = int16_t(value);  // wraps as a 16-bit lane does
  }
}

int32_t plainOutputSum(const int16_t* us, const int16_t* them, const int16_t* weights, int n,
                       int qa, bool squared) {
  int32_t sum = 0;
  for (int half = 0; half < 2; ++half) {
    const int16_t* values = half == 0 ? us : them;
    const int16_t* w = weights + half * n;
    for (int i = 0; i < n; ++i) {
      const int32_t a = values[i] < 0 ? 0 : values[i] > qa ? qa : values[i];
      sum += squared ? a * w[i] * a : a * w[i];
    }
  }
  return sum;
}

// ---- SSE2 ----

#if defined(CORVANEL_NETWORK_SSE2)

inline __m128i load8(const int16_t* p) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}
inline void store8(int16_t* p, __m128i v) { _mm_store_si128(reinterpret_cast<__m128i*>(p), v); }

void sse2Update(int16_t* out, const int16_t* in, const int16_t* const* add, int addCount,
                const int16_t* const* sub, int subCount, int n) {
  if (addCount == 1 && subCount == 1) {
    const int16_t *a = add[0], *s = sub[0];
    for (int i = 0; i < n; i += 8)
      store8(out + i, _mm_sub_epi16(_mm_add_epi16(load8(in + i), load8(a + i)), load8(s + i)));
  } else if (addCount == 1 && subCount == 2) {
    const int16_t *a = add[0], *s0 = sub[0], *s1 = sub[1];
    for (int i = 0; i < n; i += 8)
      store8(out + i, _mm_sub_epi16(_mm_sub_epi16(_mm_add_epi16(load8(in + i), load8(a + i)),
                                                  load8(s0 + i)),
                                    load8(s1 + i)));
  } else if (addCount == 2 && subCount == 2) {
    const int16_t *a0 = add[0], *a1 = add[1], *s0 = sub[0], *s1 = sub[1];
    for (int i = 0; i < n; i += 8) {
      const __m128i plus = _mm_add_epi16(load8(a0 + i), load8(a1 + i));
      const __m128i minus = _mm_add_epi16(load8(s0 + i), load8(s1 + i));
      store8(out + i, _mm_sub_epi16(_mm_add_epi16(load8(in + i), plus), minus));
    }
  } else {
    for (int i = 0; i < n; i += 8) {
      __m128i value = load8(in + i);
      for (int k = 0; k < addCount; ++k) value = _mm_add_epi16(value, load8(add[k] + i));
      for (int k = 0; k < subCount; ++k) value = _mm_sub_epi16(value, load8(sub[k] + i));
      store8(out + i, value);
    }
  }
}

int32_t sse2OutputSum(const int16_t* us, const int16_t* them, const int16_t* weights, int n,
                      int qa, bool squared) {
  const __m128i zero = _mm_setzero_si128(), top = _mm_set1_epi16(int16_t(qa));
  __m128i sum = _mm_setzero_si128();
  for (int half = 0; half < 2; ++half) {
    const int16_t* values = half == 0 ? us : them;
    const int16_t* w = weights + half * n;
    if (squared) {
      for (int i = 0; i < n; i += 8) {
        const __m128i a = _mm_min_epi16(_mm_max_epi16(load8(values + i), zero), top);
        sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_mullo_epi16(a, load8(w + i)), a));
      }
    } else {
      for (int i = 0; i < n; i += 8) {
        const __m128i a = _mm_min_epi16(_mm_max_epi16(load8(values + i), zero), top);
        sum = _mm_add_epi32(sum, _mm_madd_epi16(a, load8(w + i)));
      }
    }
  }
  sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
  sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
  return _mm_cvtsi128_si32(sum);
}

#endif

// ---- AVX2: only ever called after the processor has said it has it ----

#if defined(CORVANEL_NETWORK_AVX2)
#define AVX2 __attribute__((target("avx2")))

AVX2 inline __m256i load16(const int16_t* p) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
}
AVX2 inline void store16(int16_t* p, __m256i v) {
  _mm256_store_si256(reinterpret_cast<__m256i*>(p), v);
}

AVX2 void avx2Update(int16_t* out, const int16_t* in, const int16_t* const* add, int addCount,
                     const int16_t* const* sub, int subCount, int n) {
  if (addCount == 1 && subCount == 1) {
    const int16_t *a = add[0], *s = sub[0];
    for (int i = 0; i < n; i += 16)
      store16(out + i,
              _mm256_sub_epi16(_mm256_add_epi16(load16(in + i), load16(a + i)), load16(s + i)));
  } else if (addCount == 1 && subCount == 2) {
    const int16_t *a = add[0], *s0 = sub[0], *s1 = sub[1];
    for (int i = 0; i < n; i += 16) {
      const __m256i minus = _mm256_add_epi16(load16(s0 + i), load16(s1 + i));
      store16(out + i, _mm256_sub_epi16(_mm256_add_epi16(load16(in + i), load16(a + i)), minus));
    }
  } else if (addCount == 2 && subCount == 2) {
    const int16_t *a0 = add[0], *a1 = add[1], *s0 = sub[0], *s1 = sub[1];
    for (int i = 0; i < n; i += 16) {
      const __m256i plus = _mm256_add_epi16(load16(a0 + i), load16(a1 + i));
      const __m256i minus = _mm256_add_epi16(load16(s0 + i), load16(s1 + i));
      store16(out + i, _mm256_sub_epi16(_mm256_add_epi16(load16(in + i), plus), minus));
    }
  } else {
    for (int i = 0; i < n; i += 16) {
      __m256i value = load16(in + i);
      for (int k = 0; k < addCount; ++k) value = _mm256_add_epi16(value, load16(add[k] + i));
      for (int k = 0; k < subCount; ++k) value = _mm256_sub_epi16(value, load16(sub[k] + i));
      store16(out + i, value);
    }
  }
}

AVX2 int32_t avx2OutputSum(const int16_t* us, const int16_t* them, const int16_t* weights, int n,
                           int qa, bool squared) {
  const __m256i zero = _mm256_setzero_si256(), top = _mm256_set1_epi16(int16_t(qa));
  __m256i sum = _mm256_setzero_si256();
  for (int half = 0; half < 2; ++half) {
    const int16_t* values = half == 0 ? us : them;
    const int16_t* w = weights + half * n;
    if (squared) {
      for (int i = 0; i < n; i += 16) {
        const __m256i a = _mm256_min_epi16(_mm256_max_epi16(load16(values + i), zero), top);
        sum = _mm256_add_epi32(sum, _mm256_madd_epi16(_mm256_mullo_epi16(a, load16(w + i)), a));
      }
    } else {
      for (int i = 0; i < n; i += 16) {
        const __m256i a = _mm256_min_epi16(_mm256_max_epi16(load16(values + i), zero), top);
        sum = _mm256_add_epi32(sum, _mm256_madd_epi16(a, load16(w + i)));
      }
    }
  }
  __m128i half = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
  half = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0x4E));
  half = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0xB1));
  return _mm_cvtsi128_si32(half);
}

#undef AVX2
#endif

}  // namespace

const NetworkKernels plainKernels = {plainUpdate, plainOutputSum};
#if defined(CORVANEL_NETWORK_SSE2)
const NetworkKernels sse2Kernels = {sse2Update, sse2OutputSum};
#endif
#if defined(CORVANEL_NETWORK_AVX2)
const NetworkKernels avx2Kernels = {avx2Update, avx2OutputSum};
#endif
