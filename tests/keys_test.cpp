#include "board/keys.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

struct KeySnapshot {
  uint64_t side[2], ep[64], castle[4], exclusion, piece[PIECE_CODES][64];
};

KeySnapshot takeSnapshot() {
  KeySnapshot s;
  std::memcpy(s.side, sideKey, sizeof(sideKey));
  std::memcpy(s.ep, epKey, sizeof(epKey));
  std::memcpy(s.castle, castleKey, sizeof(castleKey));
  s.exclusion = exclusionKey;
  std::memcpy(s.piece, pieceKey, sizeof(pieceKey));
  return s;
}

// The 64-bit draws of a freshly seeded std::mt19937, high half first.
std::vector<uint64_t> referenceDraws(uint32_t seed, int count) {
  std::mt19937 reference(seed);
  std::vector<uint64_t> draws;
  for (int i = 0; i < count; i++) {
    uint64_t high = reference();
    draws.push_back((high << 32) | uint32_t(reference()));
  }
  return draws;
}

TEST(Keys, TablesAreDrawnInTheirFixedOrderFromTheKeySeed) {
  ASSERT_EQ(keySeed, 82352u);
  initKeys();
  KeySnapshot first = takeSnapshot();
  nextRandom64();  // disturb the generator: building again must give the same keys
  initKeys();
  KeySnapshot second = takeSnapshot();
  EXPECT_EQ(std::memcmp(&first, &second, sizeof(KeySnapshot)), 0);
  const int total = 2 + 64 + 4 + 1 + PIECE_CODES * 64;
  std::vector<uint64_t> draws = referenceDraws(keySeed, total);
  EXPECT_EQ(sideKey[WHITE], draws[0]);
  EXPECT_EQ(sideKey[BLACK], draws[1]);
  EXPECT_EQ(epKey[0], draws[2]);
  EXPECT_EQ(epKey[63], draws[65]);
  EXPECT_EQ(castleKey[0], draws[66]);
  EXPECT_EQ(castleKey[3], draws[69]);
  EXPECT_EQ(exclusionKey, draws[70]);
  EXPECT_EQ(pieceKey[0][0], draws[71]);
  EXPECT_EQ(pieceKey[1][0], draws[71 + 64]);
  EXPECT_EQ(pieceKey[BLACK_KING][63], draws[total - 1]);
}

// The older seeding, written out plainly: state word i = 69069 * word i-1, then the standard
// twist and tempering.
TEST(Keys, LegacySeedingMatchesAPlainMersenneTwister) {
  uint32_t state[624];
  state[0] = 4357;
  for (int i = 1; i < 624; i++) state[i] = 69069u * state[i - 1];
  for (int i = 0; i < 624; i++) {
    uint32_t y = (state[i] & 0x80000000u) | (state[(i + 1) % 624] & 0x7fffffffu);
    state[i] = state[(i + 397) % 624] ^ (y >> 1) ^ ((y & 1) ? 0x9908b0dfu : 0);
  }
  seedGeneratorLegacy(4357);
  for (int i = 0; i < 5; i++) {
    uint32_t y = state[i];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    EXPECT_EQ(nextRandom32(), y) << i;
  }
}

TEST(Keys, SystemSeedIsTheSeedInUse) {
  uint32_t seed = seedFromSystem();
  uint32_t drawn = nextRandom32();
  seedGenerator(seed);
  EXPECT_EQ(nextRandom32(), drawn);
}

TEST(Keys, ComputeKeyCombinesSidePiecesCastlingAndEnPassant) {
  initKeys();
  Board board;
  std::memset(&board, 0, sizeof(board));
  std::memset(board.squares, EMPTY, sizeof(board.squares));
  PlyState state;
  std::memset(&state, 0, sizeof(state));
  state.side = WHITE;
  state.epSquare = NO_SQUARE;
  const int e1 = 4, e8 = 60, e4 = 28;
  board.squares[e1] = WHITE_KING;
  board.squares[e8] = BLACK_KING;
  board.squares[e4] = WHITE_PAWN;
  uint64_t pieces = pieceKey[WHITE_KING][e1] ^ pieceKey[BLACK_KING][e8] ^ pieceKey[WHITE_PAWN][e4];

  EXPECT_EQ(computeKey(board, state), sideKey[WHITE] ^ pieces);
  state.side = BLACK;
  EXPECT_EQ(computeKey(board, state), sideKey[BLACK] ^ pieces);
  state.epSquare = e4;
  EXPECT_EQ(computeKey(board, state), sideKey[BLACK] ^ pieces ^ epKey[e4]);
  board.castling[CASTLE_WHITE_LONG] = 1;
  board.castling[CASTLE_BLACK_SHORT] = 1;
  EXPECT_EQ(computeKey(board, state), sideKey[BLACK] ^ pieces ^ epKey[e4] ^
                                          castleKey[CASTLE_WHITE_LONG] ^
                                          castleKey[CASTLE_BLACK_SHORT]);
}

}  // namespace
