// Bit counting and scanning. The popcount deliverable counts with the processor instruction;
// the others count in software so they run on any x86.
#pragma once

#include "board/types.h"

inline int popCount(Bitboard b) {
#ifdef CORVANEL_HW_POPCNT
  return __builtin_popcountll(b);
#else
  b = b - ((b >> 1) & 0x5555555555555555ULL);
  b = (b & 0x3333333333333333ULL) + ((b >> 2) & 0x3333333333333333ULL);
  b = (b + (b >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return int((b * 0x0101010101010101ULL) >> 56);
#endif
}

// Lowest and highest set bit; b must not be 0.
inline int lowestBit(Bitboard b) { return __builtin_ctzll(b); }
inline int highestBit(Bitboard b) { return 63 - __builtin_clzll(b); }

inline int popLowestBit(Bitboard& b) {
  int sq = lowestBit(b);
  b &= b - 1;
  return sq;
}

inline Bitboard bitOf(int sq) { return Bitboard(1) << sq; }
