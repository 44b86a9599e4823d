// The loss and its gradient over a run of positions: the trainer's hot loop. Each worker thread
// owns one GradientBuffer; the trainer adds the buffers together in a fixed order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tuning/net_trainer/float_network.h"
#include "tuning/training_data.h"

// The target for a position: (1 - wdl) * sigmoid(score / 400) + wdl * result, the result 0, 0.5
// or 1 for the side to move.
float trainingTarget(const PositionRecord& position, float wdl);

struct GradientBuffer {
  std::vector<float> grad;  // the network's parameter layout
  std::vector<float> accUs, accThem, deltaUs, deltaThem;
  double lossSum = 0;  // squared errors added so far

  // Sized for the network, gradient and loss zero.
  void reset(const FloatNetwork& net);
};

// An entry of the order: a position's index, with this bit set when it is to be seen mirrored.
constexpr uint32_t MIRRORED_ENTRY = 1u << 31;

// Adds, for the positions that order[k] names with k in [begin, end), the squared error
// (sigmoid(out) - target)^2 to buffer.lossSum and its gradient times `scale` to buffer.grad.
void accumulateGradient(const FloatNetwork& net, const PositionRecord* positions,
                        const uint32_t* order, size_t begin, size_t end, float wdl, float scale,
                        GradientBuffer& buffer);
// The summed squared error over positions [begin, end), without gradient.
double summedLoss(const FloatNetwork& net, const PositionRecord* positions, size_t begin,
                  size_t end, float wdl, GradientBuffer& scratch);
