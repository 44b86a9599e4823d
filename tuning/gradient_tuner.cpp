#include "tuning/gradient_tuner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

#include "board/fen.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "tuning/recpar.h"
#include "tuning/tool_support.h"

namespace {

// How far an entry is moved to trace its effect. A step of one drowns in the rounding of the
// phase blend; four keeps that error near a quarter of a centipawn per unit.
constexpr int32_t TRACE_STEP = 4;

// The king-danger scale is forced back on every load, so tuning it would write values that "-av"
// throws away.
bool entryIsFixed(int index) {
  const EvalParam& p = evalParams[index];
  return p.var == &KingDangerBase || p.var == &KingDangerStep || p.min >= p.max;
}

int evaluateCentipawns(const TuningSet& set, size_t i) {
  Board board = set.boards[i];
  PlyState state = set.states[i];
  // The stored sums belong to the weights of the set-up.
  recomputeScoreSums(board);
  state.staticEval = NO_EVAL;
  return Evaluate(board, state);
}

// Runs work(begin, end) over the positions split into `threads` contiguous ranges.
template <class Work>
void forEachRange(size_t count, int threads, Work work) {
  threads = std::max(1, std::min<int>(threads, int(count / 64) + 1));
  std::vector<std::thread> helpers;
  const size_t share = (count + size_t(threads) - 1) / size_t(threads);
  for (int t = 1; t < threads; ++t) {
    const size_t begin = std::min(count, share * size_t(t));
    const size_t end = std::min(count, begin + share);
    helpers.emplace_back([=] { work(begin, end); });
  }
  work(0, std::min(count, share));
  for (std::thread& helper : helpers) helper.join();
}

double errorOf(const TuningSet& set, const std::vector<int32_t>& evaluations, double scale) {
  double sum = 0;
  for (size_t i = 0; i < evaluations.size(); ++i)
    sum += std::fabs(double(set.reference[i]) - double(float(evaluations[i])) / 100.0 * scale);
  return sum;
}

struct Coefficient {
  uint32_t position;
  float perUnit;  // centipawns per unit of the entry
};

// One column per tuned entry: the positions whose evaluation the entry moves, and by how much.
struct Trace {
  std::vector<int> entries;
  std::vector<std::vector<Coefficient>> columns;
};

Trace traceEvaluation(const TuningSet& set, const std::vector<int32_t>& base, int threads,
                      double minSupport) {
  Trace trace;
  std::vector<int32_t> moved;
  for (int index = 0; index < tunedEntryCount(); ++index) {
    if (entryIsFixed(index)) continue;
    EvalParam& p = evalParams[index];
    const int32_t old = *p.var;
    int32_t step = TRACE_STEP;
    while (step > 0 && old + step > p.max && old - step < p.min) step /= 2;
    if (step == 0) continue;
    *p.var = old + step <= p.max ? old + step : old - step;
    const float perUnit = 1.0f / float(*p.var - old);
    ApplyEvalParamChange(index);
    evaluateTuningSet(set, threads, moved);
    *p.var = old;
    ApplyEvalParamChange(index);

    std::vector<Coefficient> column;
    for (size_t i = 0; i < moved.size(); ++i)
      if (moved[i] != base[i]) column.push_back({uint32_t(i), float(moved[i] - base[i]) * perUnit});
    if (column.empty() || double(column.size()) < minSupport * double(base.size())) continue;
    trace.entries.push_back(index);
    trace.columns.push_back(std::move(column));
  }
  return trace;
}

// Adam on the round's linear model; returns the model's error at the end. `values` holds the
// traced entries' values, moved in place (within their bounds).
double descendLinearModel(const TuningSet& set, const Trace& trace,
                          const std::vector<int32_t>& base, double scale,
                          const GradientSettings& settings, const std::vector<int32_t>& origin,
                          std::vector<double>& values) {
  constexpr double BETA1 = 0.9, BETA2 = 0.999, EPSILON = 1e-8;
  const size_t entries = trace.entries.size(), count = base.size();
  const std::vector<double> start = values;
  std::vector<double> first(entries, 0), second(entries, 0), gradient(entries);
  std::vector<double> model(count), sign(count);
  double modelError = 0;
  for (int step = 1; step <= settings.iterations + 1; ++step) {
    for (size_t i = 0; i < count; ++i) model[i] = base[i];
    for (size_t k = 0; k < entries; ++k) {
      const double shift = values[k] - start[k];
      if (shift != 0)
        for (const Coefficient& c : trace.columns[k]) model[c.position] += c.perUnit * shift;
    }
    modelError = 0;
    for (size_t i = 0; i < count; ++i) {
      const double residual = double(set.reference[i]) - model[i] / 100.0 * scale;
      modelError += std::fabs(residual);
      sign[i] = residual > 0 ? -1.0 : residual < 0 ? 1.0 : 0.0;
    }
    if (step > settings.iterations) break;
    for (size_t k = 0; k < entries; ++k) {
      double sum = 0;
      for (const Coefficient& c : trace.columns[k]) sum += sign[c.position] * c.perUnit;
      gradient[k] = sum * scale / 100.0 / double(count) +
                    2 * settings.ridge * (values[k] - origin[trace.entries[k]]);
    }
    const double correction1 = 1 - std::pow(BETA1, step), correction2 = 1 - std::pow(BETA2, step);
    for (size_t k = 0; k < entries; ++k) {
      first[k] = BETA1 * first[k] + (1 - BETA1) * gradient[k];
      second[k] = BETA2 * second[k] + (1 - BETA2) * gradient[k] * gradient[k];
      const double move = settings.learningRate * (first[k] / correction1) /
                          (std::sqrt(second[k] / correction2) + EPSILON);
      const EvalParam& p = evalParams[trace.entries[k]];
      values[k] = std::clamp(values[k] - move, double(p.min), double(p.max));
    }
  }
  return modelError;
}

double ridgeTerm(const std::vector<int32_t>& origin, double ridge) {
  double sum = 0;
  for (int i = 0; i < EVAL_PARAM_COUNT; ++i) {
    const double shift = *evalParams[i].var - origin[i];
    sum += shift * shift;
  }
  return ridge * sum;
}

void storeValues(const Trace& trace, const std::vector<int32_t>& values) {
  for (size_t k = 0; k < trace.entries.size(); ++k) *evalParams[trace.entries[k]].var = values[k];
  RebuildAllDerivedTables();
}

}  // namespace

bool loadTuningSet(const char* path, TuningSet& set) {
  std::vector<ReferencePosition> positions;
  if (!loadReferenceFile(path, positions)) return false;
  set.boards.resize(positions.size());
  set.states.resize(positions.size());
  set.reference.resize(positions.size());
  for (size_t i = 0; i < positions.size(); ++i) {
    setPosition(set.boards[i], set.states[i], positions[i].fen.c_str());
    set.reference[i] = float(positions[i].reference);
  }
  return true;
}

double tuningEvaluation(const TuningSet& set, size_t i) {
  return double(float(evaluateCentipawns(set, i))) / 100.0;
}

void evaluateTuningSet(const TuningSet& set, int threads, std::vector<int32_t>& out) {
  out.resize(set.boards.size());
  forEachRange(out.size(), threads, [&](size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) out[i] = evaluateCentipawns(set, i);
  });
}

double tuningSetSpread(const TuningSet& set, int threads) {
  std::vector<int32_t> evaluations;
  evaluateTuningSet(set, threads, evaluations);
  const size_t n = evaluations.size();
  if (n < 2) return 0;
  // Two passes in doubles: the same spread as recpar's running formula to many places.
  double mean = 0;
  for (int32_t e : evaluations) mean += double(float(e)) / 100.0;
  mean /= double(n);
  double squares = 0;
  for (int32_t e : evaluations) {
    const double d = double(float(e)) / 100.0 - mean;
    squares += d * d;
  }
  return std::sqrt(squares / double(n - 1));
}

double tuningSetError(const TuningSet& set, double spread, int threads) {
  std::vector<int32_t> evaluations;
  evaluateTuningSet(set, threads, evaluations);
  return errorOf(set, evaluations, REFERENCE_SPREAD / spread);
}

GradientOutcome runGradientTuner(const TuningSet& set, double spread,
                                 const GradientSettings& settings) {
  const double scale = REFERENCE_SPREAD / spread;
  const double positions = double(std::max<size_t>(1, set.boards.size()));
  GradientOutcome outcome;
  std::vector<int32_t> base;
  evaluateTuningSet(set, settings.threads, base);
  outcome.startError = outcome.finalError = errorOf(set, base, scale);
  std::vector<int32_t> origin(EVAL_PARAM_COUNT);
  for (int i = 0; i < EVAL_PARAM_COUNT; ++i) origin[i] = *evalParams[i].var;
  double bestObjective = outcome.finalError / positions;
  double rate = settings.learningRate;
  for (int round = 1; round <= settings.rounds; ++round) {
    const Trace trace = traceEvaluation(set, base, settings.threads, settings.minSupport);
    std::vector<int32_t> kept(trace.entries.size());
    std::vector<double> values(trace.entries.size());
    for (size_t k = 0; k < kept.size(); ++k)
      values[k] = kept[k] = *evalParams[trace.entries[k]].var;

    GradientSettings roundSettings = settings;
    roundSettings.learningRate = rate;
    const double modelError =
        descendLinearModel(set, trace, base, scale, roundSettings, origin, values);
    std::vector<int32_t> rounded(values.size());
    for (size_t k = 0; k < values.size(); ++k) rounded[k] = int32_t(std::lround(values[k]));
    storeValues(trace, rounded);
    std::vector<int32_t> evaluations;
    evaluateTuningSet(set, settings.threads, evaluations);
    const double realError = errorOf(set, evaluations, scale);
    const double objective = realError / positions + ridgeTerm(origin, settings.ridge);
    const bool better = objective < bestObjective;
    if (better) {
      bestObjective = objective;
      outcome.finalError = realError;
      ++outcome.roundsKept;
      base.swap(evaluations);
    } else {
      // The linear model strayed too far from the evaluation: back, and smaller steps.
      storeValues(trace, kept);
      rate /= 2;
    }
    if (settings.verbose) {
      std::printf("round %d: %zu entries tuned, model error %.6f, real error %.6f a position, "
                  "with the ridge term %.6f (%s)\n",
                  round, trace.entries.size(), modelError / positions, realError / positions,
                  objective, better ? "kept" : "undone, steps halved");
      std::fflush(stdout);
    }
  }
  return outcome;
}

bool writeTunedParamFile(const std::string& path) {
  const int saved = evalParamCount;
  evalParamCount = EVAL_PARAM_COUNT;
  const bool ok = WriteEvalParamFileAt(path.c_str());
  evalParamCount = saved;
  return ok;
}
