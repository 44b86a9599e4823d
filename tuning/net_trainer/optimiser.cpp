#include "tuning/net_trainer/optimiser.h"

#include <cmath>

void AdamState::reset(const FloatNetwork& net) {
  m.assign(net.params.size(), 0.0f);
  v.assign(net.params.size(), 0.0f);
  step = 0;
}

namespace {

void update(float* __restrict w, float* __restrict m, float* __restrict v,
            const float* __restrict g, size_t begin, size_t end, float rate, float decay,
            float correction1, float correction2) {
  const float b1 = float(ADAM_BETA1), b2 = float(ADAM_BETA2), eps = float(ADAM_EPSILON);
  for (size_t i = begin; i < end; ++i) {
    m[i] = b1 * m[i] + (1.0f - b1) * g[i];
    v[i] = b2 * v[i] + (1.0f - b2) * g[i] * g[i];
    const float mHat = m[i] / correction1, vHat = v[i] / correction2;
    w[i] -= rate * (mHat / (std::sqrt(vHat) + eps) + decay * w[i]);
  }
}

}  // namespace

void adamStep(FloatNetwork& net, AdamState& state, const float* grad, double rate,
              double weightDecay) {
  ++state.step;
  const float correction1 = float(1.0 - std::pow(ADAM_BETA1, double(state.step)));
  const float correction2 = float(1.0 - std::pow(ADAM_BETA2, double(state.step)));
  const float r = float(rate), decay = float(weightDecay);
  float* w = net.params.data();
  float* m = state.m.data();
  float* v = state.v.data();
  update(w, m, v, grad, 0, net.featureBiasAt(), r, decay, correction1, correction2);
  update(w, m, v, grad, net.featureBiasAt(), net.outputWeightsAt(), r, 0, correction1, correction2);
  update(w, m, v, grad, net.outputWeightsAt(), net.outputBiasAt(), r, decay, correction1,
         correction2);
  update(w, m, v, grad, net.outputBiasAt(), net.params.size(), r, 0, correction1, correction2);
  clipNetwork(net);
}

double scheduledRate(double start, uint64_t step, uint64_t totalSteps) {
  constexpr double PI = 3.14159265358979323846;
  if (totalSteps == 0) return start;
  const double progress = double(step < totalSteps ? step : totalSteps) / double(totalSteps);
  const double end = start * FINAL_RATE_SHARE;
  return end + (start - end) * 0.5 * (1.0 + std::cos(PI * progress));
}
