#include "tuning/net_trainer/gradient.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

inline float sigmoid(float x) { return 1.0f / (1.0f + std::exp(-x)); }

// The backward pass through one perspective's activation: delta = g * w * a'(acc); the output
// weights' gradient gets g * a(acc).
template <bool SQUARED>
void backThroughActivation(const float* __restrict acc, const float* __restrict weights, float g,
                           int n, float* __restrict delta, float* __restrict weightGrad) {
  for (int i = 0; i < n; ++i) {
    const float x = acc[i];
    // Branch-free, so that the loop vectorises: `live` is 1 inside (0, 1) and 0 outside.
    const float live = float(x > 0.0f) * float(x < 1.0f);
    const float clamped = std::min(std::max(x, 0.0f), 1.0f);
    const float slope = SQUARED ? 2.0f * x : 1.0f;
    weightGrad[i] += g * (SQUARED ? clamped * clamped : clamped);
    delta[i] = g * weights[i] * slope * live;
  }
}

void addColumns(const uint16_t* features, int count, const float* __restrict delta, int n,
                float* __restrict grad) {
  for (int k = 0; k < count; ++k) {
    float* __restrict column = grad + size_t(features[k]) * n;
    for (int i = 0; i < n; ++i) column[i] += delta[i];
  }
}

}  // namespace

float trainingTarget(const PositionRecord& position, float wdl) {
  const float scored = sigmoid(float(position.score) / TRAINER_EVAL_SCALE);
  const float result = float(position.result) * 0.5f;
  return (1.0f - wdl) * scored + wdl * result;
}

void GradientBuffer::reset(const FloatNetwork& net) {
  grad.assign(net.params.size(), 0.0f);
  for (std::vector<float>* scratch : {&accUs, &accThem, &deltaUs, &deltaThem})
    scratch->resize(size_t(net.hidden));
  lossSum = 0;
}

void accumulateGradient(const FloatNetwork& net, const PositionRecord* positions,
                        const uint32_t* order, size_t begin, size_t end, float wdl, float scale,
                        GradientBuffer& buffer) {
  const int n = net.hidden;
  float* featureGrad = buffer.grad.data();
  float* biasGrad = featureGrad + net.featureBiasAt();
  float* deltaUs = buffer.deltaUs.data();
  float* deltaThem = buffer.deltaThem.data();
  PositionFeatures features;
  double lossSum = 0;
  for (size_t k = begin; k < end; ++k) {
    const PositionRecord& position = positions[order[k] & ~MIRRORED_ENTRY];
    featuresOfRecord(position, features);
    if (order[k] & MIRRORED_ENTRY) mirrorFeatures(features);
    const int bucket = outputBucket(features.count, net.buckets);
    const float* outputWeights = net.outputWeights(bucket);
    float* outputGrad = featureGrad + net.outputWeightsAt(bucket);
    const float out = forwardNetwork(net, features, buffer.accUs.data(), buffer.accThem.data());
    const float predicted = sigmoid(out);
    const float error = predicted - trainingTarget(position, wdl);
    lossSum += double(error) * error;
    const float g = 2.0f * error * predicted * (1.0f - predicted) * scale;
    if (net.activation == ACTIVATION_SCRELU) {
      backThroughActivation<true>(buffer.accUs.data(), outputWeights, g, n, deltaUs, outputGrad);
      backThroughActivation<true>(buffer.accThem.data(), outputWeights + n, g, n, deltaThem,
                                  outputGrad + n);
    } else {
      backThroughActivation<false>(buffer.accUs.data(), outputWeights, g, n, deltaUs, outputGrad);
      backThroughActivation<false>(buffer.accThem.data(), outputWeights + n, g, n, deltaThem,
                                   outputGrad + n);
    }
    featureGrad[net.outputBiasAt(bucket)] += g;
    for (int i = 0; i < n; ++i) biasGrad[i] += deltaUs[i] + deltaThem[i];
    addColumns(features.us, features.count, deltaUs, n, featureGrad);
    addColumns(features.them, features.count, deltaThem, n, featureGrad);
  }
  buffer.lossSum += lossSum;
}

double summedLoss(const FloatNetwork& net, const PositionRecord* positions, size_t begin,
                  size_t end, float wdl, GradientBuffer& scratch) {
  scratch.accUs.resize(size_t(net.hidden));
  scratch.accThem.resize(size_t(net.hidden));
  PositionFeatures features;
  double sum = 0;
  for (size_t k = begin; k < end; ++k) {
    featuresOfRecord(positions[k], features);
    const float out = forwardNetwork(net, features, scratch.accUs.data(), scratch.accThem.data());
    const float error = sigmoid(out) - trainingTarget(positions[k], wdl);
    sum += double(error) * error;
  }
  return sum;
}
