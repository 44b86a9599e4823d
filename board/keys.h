// Hash keys and the engine's random-number generator (MT19937).
#pragma once

#include "board/types.h"

extern uint64_t sideKey[2];
extern uint64_t epKey[64];
extern uint64_t castleKey[4];
extern uint64_t exclusionKey;
extern uint64_t pieceKey[PIECE_CODES][64];

// Seed of the key tables; only the "rands" tool changes it.
extern uint32_t keySeed;

void initKeys();
void seedGenerator(uint32_t seed);
// The older seeding (each state word 69069 times the previous) that a draw before any seeding
// uses with seed 4357.
void seedGeneratorLegacy(uint32_t seed);
uint32_t seedFromSystem();
uint32_t nextRandom32();
uint64_t nextRandom64();

// The key of a position computed from scratch.
uint64_t computeKey(const Board& board, const PlyState& state);

// The key the position will have after `move`, computed before the move is made so that the
// table's line can be fetched while make-move works. Exact but for castling moves and moves that
// take away a castling right; those merely fetch a line that will not be used.
inline uint64_t keyAfterMove(const Board& board, const PlyState& state, Move move) {
  const int side = state.side;
  const uint8_t mover = board.squares[move.from];
  uint64_t key = board.key ^ sideKey[side] ^ sideKey[side ^ 1] ^ pieceKey[mover][move.from];
  if (state.epSquare != NO_SQUARE) key ^= epKey[state.epSquare];
  const uint8_t target = board.squares[move.to];
  if (target != EMPTY) key ^= pieceKey[target][move.to];
  if (isPromotionKind(move.kind))
    return key ^ pieceKey[codeFor(side, promotionPieceKind(move.kind))][move.to];
  key ^= pieceKey[mover][move.to];
  if (kindOf(mover) == PAWN) {
    const int step = move.to - move.from;
    if (step == 16 || step == -16) {
      key ^= epKey[move.to];
    } else if ((step & 7) != 0 && target == EMPTY) {  // en passant
      const int victim = side == WHITE ? move.to - 8 : move.to + 8;
      key ^= pieceKey[board.squares[victim]][victim];
    }
  }
  return key;
}
