// Copy-make: moves, null moves and the exchange scratch move, with the upkeep of slider attack
// sets and the per-ply attack summaries.
#pragma once

#include <cstddef>

#include "board/sliders.h"
#include "board/types.h"

// The copy of copy-make: every field up to the slider slots, then only the slots in use. The
// fixed part is copied in 16-byte blocks, fully unrolled; each slot group copies its first two
// slots as one block whatever its count (slots past the count mean nothing, so copying them is
// harmless), and only a third or later slot, which takes promotions, goes one by one.
inline void copyBoard(Board& child, const Board& parent) {
  constexpr size_t FIXED = offsetof(Board, sliderAttacks);
  static_assert(FIXED % sizeof(uint64_t) == 0, "slots on a word boundary");
  char* to = reinterpret_cast<char*>(&child);
  const char* from = reinterpret_cast<const char*>(&parent);
#pragma GCC unroll 64
  for (size_t offset = 0; offset + 16 <= FIXED; offset += 16)
    __builtin_memcpy(to + offset, from + offset, 16);
  if (FIXED % 16 != 0) __builtin_memcpy(to + FIXED - 8, from + FIXED - 8, 8);
#pragma GCC unroll 6
  for (int group = 0; group < 6; ++group) {
    __builtin_memcpy(&child.sliderAttacks[group][0], &parent.sliderAttacks[group][0], 16);
    const int count = parent.pieceCount[SLIDER_OF_GROUP[group]];
    for (int i = 2; i < count; ++i) child.sliderAttacks[group][i] = parent.sliderAttacks[group][i];
  }
}

// Makes `move` (pseudo-legal for the parent's side to move) from the parent records into the
// child records.
void makeMove(Move move, const Board& parent, Board& child, const PlyState& parentState,
              PlyState& childState);
void makeNullMove(const Board& parent, Board& child, const PlyState& parentState,
                  PlyState& childState);

// The attack set of a bishop, rook or queen `code` on `sq`.
inline Bitboard sliderAttacksFrom(uint8_t code, int sq, Bitboard occupied) {
  const uint8_t kind = kindOf(code);
  Bitboard attacks = 0;
  if (kind != BISHOP) attacks |= rookAttacks(sq, occupied);
  if (kind != ROOK) attacks |= bishopAttacks(sq, occupied);
  return attacks;
}
void computeSliderAttacks(Board& board, int sq, uint8_t code);
void computeAttackSummaries(const Board& board, PlyState& state);

// The attack set of the slider with `code` at list position `index`.
inline Bitboard& sliderSlot(Board& board, uint8_t code, int index) {
  return board.sliderAttacks[sliderGroup(code)][index];
}
inline Bitboard sliderSlot(const Board& board, uint8_t code, int index) {
  return board.sliderAttacks[sliderGroup(code)][index];
}
// The attack set of whatever piece stands on `sq` (slider slot or fixed table).
Bitboard attacksOfPieceOn(const Board& board, int sq);
