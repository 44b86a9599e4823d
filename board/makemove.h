// Copy-make: moves, null moves and the exchange scratch move, with the upkeep of slider attack
// sets and the per-ply attack summaries.
#pragma once

#include "board/types.h"

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
