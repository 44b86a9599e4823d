// Attack sets of rooks and bishops for any occupancy, by table lookup: the squares of the lines
// that can block (the mask) are gathered by a multiplication into an index ("magic" bitboards).
// The multipliers were found by our own seeded random search (sliders.cpp), which start-up runs
// again only for a square whose written multiplier would fail.
#pragma once

#include "board/types.h"

struct SliderTable {
  Bitboard mask;        // the squares whose occupancy matters (line ends left out)
  Bitboard multiplier;
  const Bitboard* attacks;  // this square's block of the shared table
  int shift;
  unsigned index(Bitboard occupied) const {
    return unsigned(((occupied & mask) * multiplier) >> shift);
  }
};

extern SliderTable rookTables[64];
extern SliderTable bishopTables[64];

inline Bitboard rookAttacks(int sq, Bitboard occupied) {
  const SliderTable& t = rookTables[sq];
  return t.attacks[t.index(occupied)];
}
inline Bitboard bishopAttacks(int sq, Bitboard occupied) {
  const SliderTable& t = bishopTables[sq];
  return t.attacks[t.index(occupied)];
}

// Builds both tables; needs the rays of initTables.
void initSliderTables();
