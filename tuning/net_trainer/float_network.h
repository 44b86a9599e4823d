// The trainer's network: (768 -> N) x 2 -> 1 with B output buckets in floats, its evaluation of a
// position, its initialisation, the clipping that keeps it exportable, and the quantiser that turns
// it into the integer network of eval/network_file.h.
//
// Float model, for the side to move ("us") and the other side ("them"):
//   acc_p = featureBias + sum of featureWeights[f] over p's active features
//   out   = sum over i of a(acc_us[i]) * w[i] + a(acc_them[i]) * w[N + i], plus outputBias, with
//           w and outputBias those of the position's bucket (outputBucket of its piece count)
//   a(x)  = clamp(x, 0, 1)^2 (SCReLU) or clamp(x, 0, 1) (CReLU); centipawns = out * 400.
// Quantised, the feature weights and biases are multiplied by QA = 255, the output weights by
// QB = 64 and the output bias by QA * QB, so the engine's integer formula computes the same
// centipawns up to rounding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "eval/network_file.h"
#include "tuning/training_data.h"

constexpr int TRAINER_QA = 255;
constexpr int TRAINER_QB = 64;
constexpr int TRAINER_EVAL_SCALE = 400;
// Feature weights and biases stay within this (times QA: 505, so 32 features and a bias stay far
// inside int16).
constexpr float FEATURE_WEIGHT_LIMIT = 1.98f;
// Output weights stay within this, so QA * |w * QB| <= 32767 (the 16-bit SCReLU product); their
// sum of magnitudes is held to outputWeightBudget() besides.
constexpr float OUTPUT_WEIGHT_LIMIT = 1.98f;
constexpr float OUTPUT_BIAS_LIMIT = 64.0f;  // 25,600 centipawns
constexpr int MAX_ACTIVE_FEATURES = 32;

struct FloatNetwork {
  int hidden = 0;
  int buckets = 1;
  uint32_t activation = ACTIVATION_SCRELU;
  // Every parameter in one array, in the file's order: feature weights [768][hidden] (the hidden
  // weights of feature 0 first), feature bias [hidden], output weights [buckets][2 * hidden] (side
  // to move's half first), output biases [buckets]. Optimiser and gradients use the same layout.
  std::vector<float> params;

  void resize(int hiddenSize, int outputBuckets);
  size_t featureBiasAt() const { return size_t(NETWORK_INPUTS) * hidden; }
  size_t outputWeightsAt(int bucket = 0) const {
    return featureBiasAt() + hidden + size_t(bucket) * 2 * size_t(hidden);
  }
  size_t outputBiasAt(int bucket = 0) const { return outputWeightsAt(buckets) + size_t(bucket); }
  size_t parameterCount() const { return outputBiasAt(buckets); }
  const float* featureWeights() const { return params.data(); }
  const float* featureBias() const { return params.data() + featureBiasAt(); }
  const float* outputWeights(int bucket) const { return params.data() + outputWeightsAt(bucket); }
  float outputBias(int bucket) const { return params[outputBiasAt(bucket)]; }
};

// The active features of a position: the side to move's perspective, then the other's, in the
// indexing of eval/network_file.h.
struct PositionFeatures {
  int count = 0;
  uint16_t us[MAX_ACTIVE_FEATURES];
  uint16_t them[MAX_ACTIVE_FEATURES];
};

// `squares` holds the piece codes of board/types.h (EMPTY where none); false with more than 32
// pieces.
bool featuresOfSquares(const uint8_t squares[64], int sideToMove, PositionFeatures& features);
// For a record that unpackPieces accepted.
void featuresOfRecord(const PositionRecord& position, PositionFeatures& features);
// The same position with files a..h turned into h..a. The network sees no castling rights, so a
// mirrored position is as good a training example as the one played.
void mirrorFeatures(PositionFeatures& features);

// The output (before the scale of 400) for the features; accUs and accThem receive the hidden
// accumulators before activation (hidden floats each).
float forwardNetwork(const FloatNetwork& net, const PositionFeatures& features, float* accUs,
                     float* accThem);
// Centipawns for the side to move; 0 for a board with more than 32 pieces.
double floatEvaluation(const FloatNetwork& net, const uint8_t squares[64], int sideToMove);

// Seeded random start: accumulators of a typical position spread over the activation's range.
void initialiseNetwork(FloatNetwork& net, int hidden, uint32_t activation, uint64_t seed,
                       int buckets = 1);
// The largest sum of one bucket's output weight magnitudes whose quantised form keeps the output
// sum inside int32 for SCReLU (rounding included); unbounded in practice for CReLU.
double outputWeightBudget(const FloatNetwork& net);
// Pulls every parameter back inside the limits above.
void clipNetwork(FloatNetwork& net);
// Round to nearest; the result passes networkBoundsHold for any clipped network.
QuantisedNetwork quantiseNetwork(const FloatNetwork& net);
// The float network that the quantised one computes (weights divided by their scales).
FloatNetwork dequantiseNetwork(const QuantisedNetwork& net);
