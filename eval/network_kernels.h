// The inner loops of the network, once per instruction set. Only eval/network*.cpp include this.
// Every kernel computes exactly the integers of the plain one: int16 lanes wrap alike (a net that
// passes parseNetwork never makes them wrap on a real position), and the output sums are exact.
#pragma once

#include <cstdint>

struct NetworkKernels {
  // out[i] = in[i] + sum of add[k][i] - sum of sub[k][i] for i < n (n a multiple of 32); `out`,
  // `in` and every column 64-byte aligned. Up to 2 of each for a move, any number of adds for a
  // refresh (in = the biases).
  void (*update)(int16_t* out, const int16_t* in, const int16_t* const* add, int addCount,
                 const int16_t* const* sub, int subCount, int n);
  // Sum over i < n of a(us[i]) * weights[i] + a(them[i]) * weights[n + i], where
  // a(x) = clamp(x, 0, qa), squared when `squared` (the 16-bit product a * weight times a).
  int32_t (*outputSum)(const int16_t* us, const int16_t* them, const int16_t* weights, int n,
                       int qa, bool squared);
};

extern const NetworkKernels plainKernels;
#if defined(__SSE2__)
#define CORVANEL_NETWORK_SSE2 1
extern const NetworkKernels sse2Kernels;
#endif
// AVX2 only in the popcount program, in functions of their own that run after the processor has
// said it has it. On Windows only where the assembler keeps stack spills of 32-byte vectors safe
// (the Windows stack is aligned to 16 bytes only).
#if defined(CORVANEL_HW_POPCNT) && defined(__x86_64__) && defined(__GNUC__) && \
    (!defined(_WIN32) || defined(CORVANEL_UNALIGNED_VECTOR_MOVES))
#define CORVANEL_NETWORK_AVX2 1
extern const NetworkKernels avx2Kernels;
#endif
