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
