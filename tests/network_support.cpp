#include "tests/network_support.h"

#include <random>

namespace {

// Uniform in [-limit, limit] from the generator's raw words alone (the library's distributions
// may differ between standard libraries).
int16_t draw(std::mt19937& random, int limit) {
  return int16_t(int(random() % uint32_t(2 * limit + 1)) - limit);
}

}  // namespace

QuantisedNetwork randomNetwork(uint32_t seed, uint32_t hidden, uint32_t activation,
                               uint32_t buckets) {
  std::mt19937 random(seed);
  QuantisedNetwork net;
  net.header.hidden = hidden;
  net.header.activation = activation;
  net.header.buckets = buckets;
  net.featureWeights.resize(size_t(NETWORK_INPUTS) * hidden);
  for (int16_t& w : net.featureWeights) w = draw(random, 64);
  net.featureBias.resize(hidden);
  for (int16_t& b : net.featureBias) b = draw(random, 64);
  net.outputWeights.resize(buckets * 2 * size_t(hidden));
  for (int16_t& w : net.outputWeights) w = draw(random, 16);
  net.outputBias.resize(buckets);
  for (int32_t& b : net.outputBias) b = draw(random, 2000);
  return net;
}
