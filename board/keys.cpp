// Hash keys and the process-wide MT19937 generator that draws them. The keys depend only on
// keySeed, so the same seed gives the same keys in every run.
#include "board/keys.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>

uint64_t sideKey[2];
uint64_t epKey[64];
uint64_t castleKey[4];
uint64_t exclusionKey;
uint64_t pieceKey[PIECE_CODES][64];

uint32_t keySeed = 82352;

namespace {

// Written by initKeys and the tuning tools, all on the main thread.
std::mt19937 generator;
bool generatorSeeded = false;

constexpr uint32_t LEGACY_SEED = 4357;

}  // namespace

void seedGenerator(uint32_t seed) {
  generator.seed(seed);
  generatorSeeded = true;
}

void seedGeneratorLegacy(uint32_t seed) {
  // The older seeding fills the state words by a linear congruence. The engine's textual form
  // loads them as they are: the 624 words, then (as libstdc++ also writes it) the position 624,
  // so that the next draw starts with a twist, as after the standard seeding.
  std::ostringstream words;
  uint32_t word = seed;
  for (int i = 0; i < 624; i++) {
    words << word << ' ';
    word = 69069u * word;
  }
  words << 624;
  std::istringstream in(words.str());
  in >> generator;
  generatorSeeded = true;
}

uint32_t nextRandom32() {
  if (!generatorSeeded) seedGeneratorLegacy(LEGACY_SEED);
  return uint32_t(generator());
}

uint64_t nextRandom64() {
  uint64_t high = nextRandom32();
  uint64_t low = nextRandom32();
  return (high << 32) | low;
}

uint32_t seedFromSystem() {
  // /dev/urandom never blocks, unlike /dev/random on older kernels; the bytes are as good here.
  uint32_t seed = 0;
  size_t got = 0;
  unsigned char bytes[4];
  std::FILE* device = std::fopen("/dev/urandom", "rb");
  if (!device) device = std::fopen("/dev/urandom", "rb");
  if (device) {
    std::setvbuf(device, nullptr, _IONBF, 0);
    while (got < 4) {
      size_t n = std::fread(bytes + got, 1, 4 - got, device);
      if (n == 0) break;
      got += n;
    }
    std::fclose(device);
  }
  if (got == 4) {
    std::memcpy(&seed, bytes, 4);
  } else {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    seed = uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  }
  seedGenerator(seed);
  return seed;
}

void initKeys() {
  seedGenerator(keySeed);
  for (uint64_t& key : sideKey) key = nextRandom64();
  for (uint64_t& key : epKey) key = nextRandom64();
  for (uint64_t& key : castleKey) key = nextRandom64();
  exclusionKey = nextRandom64();
  for (auto& byCode : pieceKey)
    for (uint64_t& key : byCode) key = nextRandom64();
}

uint64_t computeKey(const Board& board, const PlyState& state) {
  uint64_t key = sideKey[state.side & 1];
  for (int right = 0; right < 4; right++)
    if (board.castling[right]) key ^= castleKey[right];
  if (state.epSquare < 64) key ^= epKey[state.epSquare];
  for (int sq = 0; sq < 64; sq++) {
    uint8_t code = board.squares[sq];
    if (code != 0 && code != EMPTY && code < PIECE_CODES) key ^= pieceKey[code][sq];
  }
  return key;
}
