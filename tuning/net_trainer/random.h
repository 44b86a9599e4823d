// The trainer's random numbers: xoshiro256** seeded through splitmix64. Written out here rather
// than taken from <random> so that a seed gives the same numbers with every compiler and library,
// and so that the state is four words a checkpoint can store.
#pragma once

#include <cstdint>

inline uint64_t splitMix64(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

struct TrainerRandom {
  uint64_t s[4] = {1, 2, 3, 4};

  // `stream` separates generators drawn from one seed (initialisation, shuffling).
  void seed(uint64_t seed, uint64_t stream) {
    uint64_t state = seed ^ (stream * 0xD1B54A32D192ED03ull);
    for (uint64_t& word : s) word = splitMix64(state);
  }
  uint64_t next() {
    const uint64_t result = rotl(s[1] * 5, 7) * 9;
    const uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotl(s[3], 45);
    return result;
  }
  // Uniform in [0, bound), bound > 0 (the high half of a 128-bit product).
  uint64_t below(uint64_t bound) { return uint64_t((unsigned __int128)next() * bound >> 64); }
  // Uniform in [-1, 1).
  float symmetric() { return float(int64_t(next() >> 40) - (int64_t(1) << 23)) / float(1 << 23); }

 private:
  static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
};
