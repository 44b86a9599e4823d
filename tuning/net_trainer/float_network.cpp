#include "tuning/net_trainer/float_network.h"

#include <algorithm>
#include <cmath>

#include "tuning/net_trainer/random.h"

void FloatNetwork::resize(int hiddenSize, int outputBuckets) {
  hidden = hiddenSize;
  buckets = outputBuckets;
  params.assign(parameterCount(), 0.0f);
}

namespace {

inline void addFeature(PositionFeatures& features, int colour, int kind, int sq, int sideToMove) {
  const int white = (colour == WHITE ? 0 : 384) + 64 * kind + sq;
  const int black = (colour == BLACK ? 0 : 384) + 64 * kind + (sq ^ 56);
  features.us[features.count] = uint16_t(sideToMove == WHITE ? white : black);
  features.them[features.count] = uint16_t(sideToMove == WHITE ? black : white);
  ++features.count;
}

// The activation's sum against one half of the output weights, in 16 lanes added in a fixed
// order at the end: the compiler vectorises it without reordering anything of its own.
template <bool SQUARED>
float halfOutput(const float* __restrict acc, const float* __restrict weights, int n) {
  float lanes[16] = {};
  for (int i = 0; i < n; i += 16)
    for (int j = 0; j < 16; ++j) {
      float x = acc[i + j];
      x = x < 0.0f ? 0.0f : x;
      x = x > 1.0f ? 1.0f : x;
      if (SQUARED) x *= x;
      lanes[j] += x * weights[i + j];
    }
  float sum = 0.0f;
  for (float lane : lanes) sum += lane;
  return sum;
}

void accumulate(const float* __restrict weights, const float* __restrict bias,
                const uint16_t* features, int count, int n, float* __restrict acc) {
  for (int i = 0; i < n; ++i) acc[i] = bias[i];
  for (int k = 0; k < count; ++k) {
    const float* __restrict column = weights + size_t(features[k]) * n;
    for (int i = 0; i < n; ++i) acc[i] += column[i];
  }
}

}  // namespace

bool featuresOfSquares(const uint8_t squares[64], int sideToMove, PositionFeatures& features) {
  features.count = 0;
  for (int sq = 0; sq < 64; ++sq) {
    const uint8_t code = squares[sq];
    if (code == EMPTY || code == 0 || code >= PIECE_CODES) continue;
    if (features.count == MAX_ACTIVE_FEATURES) return false;
    addFeature(features, sideOfCode(code), kindOf(code) - 1, sq, sideToMove);
  }
  return true;
}

void featuresOfRecord(const PositionRecord& position, PositionFeatures& features) {
  features.count = 0;
  int n = 0;
  for (uint64_t rest = position.occupancy; rest && n < MAX_ACTIVE_FEATURES; rest &= rest - 1, ++n) {
    const int nibble = (position.pieces[n / 2] >> (4 * (n & 1))) & 0xF;
    addFeature(features, nibble >= 6 ? BLACK : WHITE, nibble % 6, __builtin_ctzll(rest),
               position.sideToMove);
  }
}

void mirrorFeatures(PositionFeatures& features) {
  for (int k = 0; k < features.count; ++k) {
    features.us[k] ^= 7;
    features.them[k] ^= 7;
  }
}

float forwardNetwork(const FloatNetwork& net, const PositionFeatures& features, float* accUs,
                     float* accThem) {
  const int n = net.hidden;
  accumulate(net.featureWeights(), net.featureBias(), features.us, features.count, n, accUs);
  accumulate(net.featureWeights(), net.featureBias(), features.them, features.count, n, accThem);
  const int bucket = outputBucket(features.count, net.buckets);
  const float* w = net.outputWeights(bucket);
  if (net.activation == ACTIVATION_SCRELU)
    return halfOutput<true>(accUs, w, n) + halfOutput<true>(accThem, w + n, n) +
           net.outputBias(bucket);
  return halfOutput<false>(accUs, w, n) + halfOutput<false>(accThem, w + n, n) +
         net.outputBias(bucket);
}

double floatEvaluation(const FloatNetwork& net, const uint8_t squares[64], int sideToMove) {
  PositionFeatures features;
  if (!featuresOfSquares(squares, sideToMove, features)) return 0;
  std::vector<float> acc(2 * size_t(net.hidden));
  return double(forwardNetwork(net, features, acc.data(), acc.data() + net.hidden)) *
         TRAINER_EVAL_SCALE;
}

void initialiseNetwork(FloatNetwork& net, int hidden, uint32_t activation, uint64_t seed,
                       int buckets) {
  net.resize(hidden, buckets);
  net.activation = activation;
  TrainerRandom random;
  random.seed(seed, 1);
  // About 30 active features: a sum of 30 uniform draws in +-0.16 spreads with deviation ~0.5.
  for (size_t i = 0; i < net.featureBiasAt(); ++i) net.params[i] = 0.16f * random.symmetric();
  const float outputRange = 1.0f / std::sqrt(float(2 * hidden));
  for (size_t i = net.outputWeightsAt(); i < net.outputBiasAt(); ++i)
    net.params[i] = outputRange * random.symmetric();
}

double outputWeightBudget(const FloatNetwork& net) {
  const double peak =
      net.activation == ACTIVATION_SCRELU ? double(TRAINER_QA) * TRAINER_QA : double(TRAINER_QA);
  // Quantised magnitudes may each round up by half a unit: 2N halves in all.
  const double units = std::floor(double(INT32_MAX) / peak) - net.hidden;
  return units / TRAINER_QB * (1.0 - 1e-4);
}

void clipNetwork(FloatNetwork& net) {
  float* p = net.params.data();
  for (size_t i = 0; i < net.outputWeightsAt(); ++i)
    p[i] = std::clamp(p[i], -FEATURE_WEIGHT_LIMIT, FEATURE_WEIGHT_LIMIT);
  const double budget = outputWeightBudget(net);
  for (int bucket = 0; bucket < net.buckets; ++bucket) {
    const size_t begin = net.outputWeightsAt(bucket), end = net.outputWeightsAt(bucket + 1);
    double magnitude = 0;
    for (size_t i = begin; i < end; ++i) {
      p[i] = std::clamp(p[i], -OUTPUT_WEIGHT_LIMIT, OUTPUT_WEIGHT_LIMIT);
      magnitude += std::fabs(p[i]);
    }
    if (magnitude > budget) {
      const float shrink = float(budget / magnitude);
      for (size_t i = begin; i < end; ++i) p[i] *= shrink;
    }
    float& bias = p[net.outputBiasAt(bucket)];
    bias = std::clamp(bias, -OUTPUT_BIAS_LIMIT, OUTPUT_BIAS_LIMIT);
  }
}

QuantisedNetwork quantiseNetwork(const FloatNetwork& net) {
  QuantisedNetwork q;
  q.header.hidden = uint32_t(net.hidden);
  q.header.activation = net.activation;
  q.header.qa = TRAINER_QA;
  q.header.qb = TRAINER_QB;
  q.header.evalScale = TRAINER_EVAL_SCALE;
  q.header.buckets = uint32_t(net.buckets);
  auto toInt16 = [](double value) {
    return int16_t(std::clamp(std::lround(value), long(INT16_MIN), long(INT16_MAX)));
  };
  const float* p = net.params.data();
  q.featureWeights.resize(net.featureBiasAt());
  for (size_t i = 0; i < q.featureWeights.size(); ++i)
    q.featureWeights[i] = toInt16(double(p[i]) * TRAINER_QA);
  q.featureBias.resize(size_t(net.hidden));
  for (int i = 0; i < net.hidden; ++i)
    q.featureBias[i] = toInt16(double(net.featureBias()[i]) * TRAINER_QA);
  const size_t outputs = size_t(net.buckets) * 2 * size_t(net.hidden);
  q.outputWeights.resize(outputs);
  for (size_t i = 0; i < outputs; ++i)
    q.outputWeights[i] = toInt16(double(p[net.outputWeightsAt() + i]) * TRAINER_QB);
  q.outputBias.resize(size_t(net.buckets));
  for (int b = 0; b < net.buckets; ++b)
    q.outputBias[b] = int32_t(std::lround(double(net.outputBias(b)) * TRAINER_QA * TRAINER_QB));
  return q;
}

FloatNetwork dequantiseNetwork(const QuantisedNetwork& q) {
  FloatNetwork net;
  net.resize(int(q.header.hidden), int(q.header.buckets));
  net.activation = q.header.activation;
  const double qa = q.header.qa, qb = q.header.qb;
  // The engine's evaluation scale may differ from 400; the float output is in units of 400.
  const double outputScale = double(q.header.evalScale) / TRAINER_EVAL_SCALE;
  float* p = net.params.data();
  for (size_t i = 0; i < q.featureWeights.size(); ++i) p[i] = float(q.featureWeights[i] / qa);
  for (int i = 0; i < net.hidden; ++i) p[net.featureBiasAt() + i] = float(q.featureBias[i] / qa);
  for (size_t i = 0; i < q.outputWeights.size(); ++i)
    p[net.outputWeightsAt() + i] = float(q.outputWeights[i] / qb * outputScale);
  for (int b = 0; b < net.buckets; ++b)
    p[net.outputBiasAt(b)] = float(q.outputBias[b] / (qa * qb) * outputScale);
  return net;
}
