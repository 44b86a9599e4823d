#include "tuning/param_tuner.h"

#include <cstdint>

#include "eval/params.h"

namespace {

constexpr int32_t SIT_OUT_STEP = 3;  // 3 -> 2 -> 1: two passes out, then tried again

// Puts `value` into the entry when it lies within the bounds. Computed in 64 bits so that a
// large step never wraps around.
bool setWithinBounds(EvalParam& p, int64_t value) {
  if (value < p.min || value > p.max) return false;
  *p.var = int32_t(value);
  return true;
}

}  // namespace

bool improves(double candidate, double best, bool largerIsBetter) {
  return largerIsBetter ? candidate > best : candidate < best;
}

StepOutcome runTuningStep(int index, double& best, const TuningMeasure& how) {
  EvalParam& p = evalParams[index];
  if (p.step > 1) {
    --p.step;
    return StepOutcome::SAT_OUT;
  }
  const int32_t oldValue = *p.var;
  const int32_t oldStep = p.step;
  auto restore = [&](int32_t step) {
    *p.var = oldValue;
    p.step = step;
    ApplyEvalParamChange(index);
  };

  // The first direction, then the other; a trial outside the bounds is not measured.
  for (int direction = 0; direction < 2; ++direction) {
    int64_t step = direction == 0 ? int64_t(oldStep) : -int64_t(oldStep);
    // A trial of the second direction is skipped when the first one left the bounds.
    if (step < INT32_MIN || step > INT32_MAX || !setWithinBounds(p, int64_t(oldValue) + step))
      break;
    p.step = int32_t(step);
    if (how.interrupted && how.interrupted()) {
      restore(oldStep);
      return StepOutcome::INTERRUPTED;
    }
    ApplyEvalParamChange(index);
    double measured = how.measure();
    if (improves(measured, best, how.largerIsBetter)) {
      best = measured;
      return direction == 0 ? StepOutcome::ACCEPTED_FIRST : StepOutcome::ACCEPTED_SECOND;
    }
  }
  restore(SIT_OUT_STEP);
  return StepOutcome::FAILED;
}
