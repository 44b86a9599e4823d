// Copy-make: moves, null moves and the exchange scratch move, with the upkeep of slider attack
// sets and the per-ply attack summaries.
#pragma once

#include <cstddef>
#include <cstring>

#include "board/types.h"

// The copy of copy-make: every field up to the slider slots, then only the slots in use.
inline void copyBoard(Board& child, const Board& parent) {
  std::memcpy(&child, &parent, offsetof(Board, sliderAttacks));
  constexpr uint8_t SLIDER_OF_GROUP[6] = {WHITE_BISHOP, BLACK_BISHOP, WHITE_ROOK,
                                          BLACK_ROOK,   WHITE_QUEEN,  BLACK_QUEEN};
  for (int group = 0; group < 6; ++group)
    std::memcpy(child.sliderAttacks[group], parent.sliderAttacks[group],
                parent.pieceCount[SLIDER_OF_GROUP[group]] * sizeof(Bitboard));
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
