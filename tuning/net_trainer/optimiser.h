// AdamW over the network's parameter array, and the learning-rate schedule.
#pragma once

#include <cstdint>
#include <vector>

#include "tuning/net_trainer/float_network.h"

constexpr double ADAM_BETA1 = 0.9;
constexpr double ADAM_BETA2 = 0.999;
constexpr double ADAM_EPSILON = 1e-8;
// The schedule ends at this share of the starting rate.
constexpr double FINAL_RATE_SHARE = 0.1;

struct AdamState {
  std::vector<float> m, v;  // first and second moments, the parameter layout
  uint64_t step = 0;        // updates made so far

  void reset(const FloatNetwork& net);
};

// One update with the gradient, then the clipping that keeps the network exportable. Weight
// decay (decoupled, as AdamW) applies to the weights, not to the biases.
void adamStep(FloatNetwork& net, AdamState& state, const float* grad, double rate,
              double weightDecay);

// Cosine decay from `start` at step 0 to start * FINAL_RATE_SHARE at `totalSteps`.
double scheduledRate(double start, uint64_t step, uint64_t totalSteps);
