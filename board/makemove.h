// Copy-make: moves, null moves and the exchange scratch move, with the upkeep of slider attack
// sets and the per-ply attack summaries.
#pragma once

#include <cstddef>

#include "board/types.h"

// The copy of copy-make: every field up to the slider slots, then only the slots in use. Plain
// word loops: the compiler keeps them in vector registers, where a string-copy instruction would
// pay its start-up cost on every group.
inline void copyBoard(Board& child, const Board& parent) {
  constexpr size_t WORDS = offsetof(Board, sliderAttacks) / sizeof(uint64_t);
  static_assert(offsetof(Board, sliderAttacks) % sizeof(uint64_t) == 0, "slots on a word boundary");
  uint64_t* to = reinterpret_cast<uint64_t*>(&child);
  const uint64_t* from = reinterpret_cast<const uint64_t*>(&parent);
  for (size_t i = 0; i < WORDS; ++i) to[i] = from[i];
  constexpr uint8_t SLIDER_OF_GROUP[6] = {WHITE_BISHOP, BLACK_BISHOP, WHITE_ROOK,
                                          BLACK_ROOK,   WHITE_QUEEN,  BLACK_QUEEN};
  for (int group = 0; group < 6; ++group) {
    const int count = parent.pieceCount[SLIDER_OF_GROUP[group]];
    for (int i = 0; i < count; ++i) child.sliderAttacks[group][i] = parent.sliderAttacks[group][i];
  }
}

// Makes `move` (pseudo-legal for the parent's side to move) from the parent records into the
// child records.
void makeMove(Move move, const Board& parent, Board& child, const PlyState& parentState,
              PlyState& childState);
void makeNullMove(const Board& parent, Board& child, const PlyState& parentState,
                  PlyState& childState);

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
