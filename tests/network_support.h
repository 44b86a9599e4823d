// Made-up networks for the tests and the placeholder default net: seeded, so the same seed gives
// the same bytes on every machine.
#pragma once

#include <cstdint>

#include "eval/network_file.h"

// Weights drawn uniformly in small ranges, well inside every bound parseNetwork checks (the
// largest accumulator is 32 * 64 + 64, the output sum at most 255^2 * 16 * 2 * hidden).
QuantisedNetwork randomNetwork(uint32_t seed, uint32_t hidden = 256,
                               uint32_t activation = ACTIVATION_SCRELU, uint32_t buckets = 1);
