#include "tuning/wdl_fit/wdl_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "tuning/training_data.h"

namespace {

constexpr int PARAMETERS = 2 * WDL_COEFFICIENTS;  // a's, then b's
// A width below a centipawn would make the curves steps.
constexpr double SMALLEST_WIDTH = 1;

double logistic(double x) { return 1 / (1 + std::exp(-x)); }
// log(logistic(x)) without overflow at either end.
double logLogistic(double x) {
  return x >= 0 ? -std::log1p(std::exp(-x)) : x - std::log1p(std::exp(x));
}

void toParameters(const WdlModel& model, double* theta) {
  for (int k = 0; k < WDL_COEFFICIENTS; ++k) {
    theta[k] = model.a[k];
    theta[WDL_COEFFICIENTS + k] = model.b[k];
  }
}
WdlModel fromParameters(const double* theta, double scoreScale) {
  WdlModel model{};
  model.scoreScale = scoreScale;
  for (int k = 0; k < WDL_COEFFICIENTS; ++k) {
    model.a[k] = theta[k];
    model.b[k] = theta[WDL_COEFFICIENTS + k];
  }
  return model;
}

bool widthPositiveEverywhere(const WdlModel& model) {
  for (int m = WDL_MATERIAL_MIN; m <= WDL_MATERIAL_MAX; ++m)
    if (!(wdlWidth(model, m) >= SMALLEST_WIDTH)) return false;
  return true;
}

// One position's log-likelihood and, when asked, its derivatives by the centre a and width b.
struct PointTerms {
  double value;
  double da, db, daa, dab, dbb;
};
PointTerms pointTerms(double s, double a, double b, int result, bool derivatives) {
  const double u = (s - a) / b, v = (-s - a) / b;
  // The derivatives of u and v by a and b (the second ones: u_aa = 0, u_ab = 1/b^2,
  // u_bb = 2u/b^2; the same for v).
  const double ua = -1 / b, ub = -u / b, uab = 1 / (b * b), ubb = 2 * u / (b * b);
  const double va = -1 / b, vb = -v / b, vab = uab, vbb = 2 * v / (b * b);
  PointTerms t{};
  if (result != 1) {
    // log logistic(x), x = u for a win and v for a loss: first derivative logistic(-x), second
    // -logistic(x) logistic(-x).
    const bool win = result == 2;
    const double x = win ? u : v, xa = win ? ua : va, xb = win ? ub : vb;
    const double xab = win ? uab : vab, xbb = win ? ubb : vbb;
    t.value = logLogistic(x);
    if (!derivatives) return t;
    const double first = logistic(-x), second = -logistic(x) * logistic(-x);
    t.da = first * xa;
    t.db = first * xb;
    t.daa = second * xa * xa;
    t.dab = second * xa * xb + first * xab;
    t.dbb = second * xb * xb + first * xbb;
    return t;
  }
  // A draw: p = 1 - logistic(u) - logistic(v), which is also
  //   p = logistic(-u) logistic(-v) (1 - exp(-c)),  c = 2a / b,
  // a form that neither cancels nor underflows far out in the scores. No draw without a > 0.
  const double c = 2 * a / b;
  if (!(c > 0)) {
    t.value = -std::numeric_limits<double>::infinity();
    return t;
  }
  t.value = logLogistic(-u) + logLogistic(-v) + std::log(-std::expm1(-c));
  if (!derivatives) return t;
  const double ca = 2 / b, cb = -c / b, cab = -2 / (b * b), cbb = 2 * c / (b * b);
  const double pu = logistic(u), pv = logistic(v);
  const double du = pu * logistic(-u), dv = pv * logistic(-v);  // logistic'
  // log(1 - exp(-c)): first derivative 1 / (exp(c) - 1), second -exp(c) / (exp(c) - 1)^2.
  const double g1 = 1 / std::expm1(c), g2 = -g1 * (1 + g1);
  t.da = -pu * ua - pv * va + g1 * ca;
  t.db = -pu * ub - pv * vb + g1 * cb;
  t.daa = -du * ua * ua - dv * va * va + g2 * ca * ca;
  t.dab = -du * ua * ub - pu * uab - dv * va * vb - pv * vab + g2 * ca * cb + g1 * cab;
  t.dbb = -du * ub * ub - pu * ubb - dv * vb * vb - pv * vbb + g2 * cb * cb + g1 * cbb;
  return t;
}

// The samples' scores as the model's variable x, for one score scale.
std::vector<double> scoreVariables(const WdlModel& model, const std::vector<WdlSample>& samples) {
  std::vector<double> x(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) x[i] = wdlScoreVariable(model, samples[i].score);
  return x;
}

// Sum of log-likelihoods, its gradient and its Hessian over the coefficients of a and b (the
// score scale fixed: x holds the scores under it).
double accumulate(const WdlModel& model, const std::vector<WdlSample>& samples,
                  const std::vector<double>& x, double* gradient, double (*hessian)[PARAMETERS]) {
  const bool derivatives = gradient != nullptr;
  if (derivatives) {
    std::fill(gradient, gradient + PARAMETERS, 0.0);
    for (int i = 0; i < PARAMETERS; ++i) std::fill(hessian[i], hessian[i] + PARAMETERS, 0.0);
  }
  // Positions share few materials: the sums by material are gathered first, then spread over
  // the coefficients by powers of t.
  constexpr int SLOTS = WDL_MATERIAL_MAX + 1;
  double sums[SLOTS][5] = {};  // da, db, daa, dab, dbb
  double total = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    const WdlSample& sample = samples[i];
    const int slot = std::clamp(sample.material, WDL_MATERIAL_MIN, WDL_MATERIAL_MAX);
    const double a = wdlCentre(model, slot), b = wdlWidth(model, slot);
    const PointTerms t = pointTerms(x[i], a, b, sample.result, derivatives);
    total += t.value;
    if (derivatives) {
      sums[slot][0] += t.da;
      sums[slot][1] += t.db;
      sums[slot][2] += t.daa;
      sums[slot][3] += t.dab;
      sums[slot][4] += t.dbb;
    }
  }
  if (!derivatives) return total;
  for (int slot = WDL_MATERIAL_MIN; slot < SLOTS; ++slot) {
    double power[2 * WDL_DEGREE + 1];
    power[0] = 1;
    for (int k = 1; k <= 2 * WDL_DEGREE; ++k) power[k] = power[k - 1] * wdlMaterialVariable(slot);
    const double* s = sums[slot];
    for (int j = 0; j < WDL_COEFFICIENTS; ++j) {
      gradient[j] += s[0] * power[j];
      gradient[WDL_COEFFICIENTS + j] += s[1] * power[j];
      for (int k = 0; k < WDL_COEFFICIENTS; ++k) {
        hessian[j][k] += s[2] * power[j + k];
        hessian[j][WDL_COEFFICIENTS + k] += s[3] * power[j + k];
        hessian[WDL_COEFFICIENTS + k][j] += s[3] * power[j + k];
        hessian[WDL_COEFFICIENTS + j][WDL_COEFFICIENTS + k] += s[4] * power[j + k];
      }
    }
  }
  return total;
}

// Solves m x = rhs by Gaussian elimination with partial pivoting; false when m is singular.
bool solve(double (*m)[PARAMETERS], const double* rhs, double* x) {
  double work[PARAMETERS][PARAMETERS + 1];
  for (int i = 0; i < PARAMETERS; ++i) {
    std::copy(m[i], m[i] + PARAMETERS, work[i]);
    work[i][PARAMETERS] = rhs[i];
  }
  for (int col = 0; col < PARAMETERS; ++col) {
    int pivot = col;
    for (int row = col + 1; row < PARAMETERS; ++row)
      if (std::fabs(work[row][col]) > std::fabs(work[pivot][col])) pivot = row;
    if (!(std::fabs(work[pivot][col]) > 1e-300)) return false;
    std::swap(work[col], work[pivot]);
    for (int row = col + 1; row < PARAMETERS; ++row) {
      const double factor = work[row][col] / work[col][col];
      for (int k = col; k <= PARAMETERS; ++k) work[row][k] -= factor * work[col][k];
    }
  }
  for (int row = PARAMETERS - 1; row >= 0; --row) {
    double value = work[row][PARAMETERS];
    for (int k = row + 1; k < PARAMETERS; ++k) value -= work[row][k] * x[k];
    x[row] = value / work[row][row];
  }
  return true;
}

double meanLogLikelihood(const WdlModel& model, const std::vector<WdlSample>& samples,
                         const std::vector<double>& x) {
  if (samples.empty() || !widthPositiveEverywhere(model))
    return -std::numeric_limits<double>::infinity();
  return accumulate(model, samples, x, nullptr, nullptr) / double(samples.size());
}

// The best a and b for the start's score scale.
WdlFitResult fitCurves(const std::vector<WdlSample>& samples, const WdlModel& start) {
  const std::vector<double> x = scoreVariables(start, samples);
  constexpr int MAX_ITERATIONS = 200;
  constexpr double TOLERANCE = 1e-12;  // of the mean log-likelihood between iterations
  WdlFitResult result;
  result.model = start;
  result.logLikelihood = meanLogLikelihood(start, samples, x);
  if (!std::isfinite(result.logLikelihood)) return result;
  double damping = 1e-3;
  double theta[PARAMETERS];
  toParameters(result.model, theta);
  for (result.iterations = 1; result.iterations <= MAX_ITERATIONS; ++result.iterations) {
    double gradient[PARAMETERS], hessian[PARAMETERS][PARAMETERS];
    accumulate(result.model, samples, x, gradient, hessian);
    // Maximise: step = (-H + damping * diag(-H))^-1 g, more damping until the step pays.
    bool improved = false;
    while (damping < 1e12) {
      double system[PARAMETERS][PARAMETERS], step[PARAMETERS], trial[PARAMETERS];
      for (int i = 0; i < PARAMETERS; ++i) {
        for (int k = 0; k < PARAMETERS; ++k) system[i][k] = -hessian[i][k];
        system[i][i] += damping * std::max(std::fabs(hessian[i][i]), 1e-9);
      }
      if (solve(system, gradient, step)) {
        for (int i = 0; i < PARAMETERS; ++i) trial[i] = theta[i] + step[i];
        const WdlModel model = fromParameters(trial, start.scoreScale);
        const double value = meanLogLikelihood(model, samples, x);
        if (std::isfinite(value) && value >= result.logLikelihood) {
          const double gain = value - result.logLikelihood;
          std::copy(trial, trial + PARAMETERS, theta);
          result.model = model;
          result.logLikelihood = value;
          damping = std::max(damping / 10, 1e-9);
          improved = true;
          if (gain < TOLERANCE) result.converged = true;
          break;
        }
      }
      damping *= 10;
    }
    // No step of any length helps: a maximum, as far as doubles can tell.
    if (!improved) result.converged = true;
    if (result.converged) break;
  }
  return result;
}

}  // namespace

WdlModel wdlFitStart() { return WdlModel{{150, 0, 0, 0}, {100, 0, 0, 0}, 400}; }

double wdlLogLikelihood(const WdlModel& model, const std::vector<WdlSample>& samples) {
  return meanLogLikelihood(model, samples, scoreVariables(model, samples));
}

WdlFitResult fitWdlModel(const std::vector<WdlSample>& samples, const WdlModel& start) {
  // The likelihood has one maximum in the scale along which the curves are refitted: a golden
  // section search over log K between the bounds, each point a fit of the curves from the last.
  constexpr double LOWEST_SCALE = 50, HIGHEST_SCALE = 20000, SECTION = 0.6180339887498949;
  constexpr int SECTIONS = 30;  // the bracket shrinks to a 1e-6 of its width
  WdlModel warm = start;
  auto fitAt = [&](double logScale) {
    WdlModel from = warm;
    from.scoreScale = std::exp(logScale);
    WdlFitResult fit = fitCurves(samples, from);
    if (fit.converged) warm = fit.model;
    return fit;
  };
  auto better = [](const WdlFitResult& x, const WdlFitResult& y) {
    return x.converged && (!y.converged || x.logLikelihood > y.logLikelihood);
  };
  double low = std::log(LOWEST_SCALE), high = std::log(HIGHEST_SCALE);
  double left = high - SECTION * (high - low), right = low + SECTION * (high - low);
  WdlFitResult atLeft = fitAt(left), atRight = fitAt(right);
  int iterations = atLeft.iterations + atRight.iterations;
  for (int i = 0; i < SECTIONS; ++i) {
    if (better(atLeft, atRight)) {
      high = right;
      right = left;
      atRight = atLeft;
      left = high - SECTION * (high - low);
      atLeft = fitAt(left);
      iterations += atLeft.iterations;
    } else {
      low = left;
      left = right;
      atLeft = atRight;
      right = low + SECTION * (high - low);
      atRight = fitAt(right);
      iterations += atRight.iterations;
    }
  }
  WdlFitResult best = better(atLeft, atRight) ? atLeft : atRight;
  best.iterations = iterations;
  return best;
}

bool readWdlSamples(const std::string& path, int holdoutEvery, WdlSampleSets& sets,
                    std::string& error) {
  TrainingDataReader reader(path);
  if (!reader.isOpen()) {
    error = "cannot open " + path;
    return false;
  }
  static PositionRecord positions[MAX_GAME_POSITIONS];
  GameRecord game;
  int64_t games = 0;
  while (reader.nextGame(game, positions, MAX_GAME_POSITIONS)) {
    ++games;
    const bool heldout = holdoutEvery > 0 && game.gameIndex % uint64_t(holdoutEvery) ==
                                                 uint64_t(holdoutEvery - 1);
    std::vector<WdlSample>& into = heldout ? sets.heldout : sets.fit;
    ++(heldout ? sets.heldoutGames : sets.fitGames);
    for (uint32_t i = 0; i < game.positions; ++i) {
      const PositionRecord& record = positions[i];
      uint8_t squares[64];
      if (!unpackPieces(record, squares) || record.result > RESULT_WIN) {
        ++sets.skippedPositions;
        continue;
      }
      uint8_t counts[PIECE_CODES] = {};
      for (uint8_t code : squares) ++counts[code];
      into.push_back({record.score, wdlMaterial(counts), record.result});
    }
  }
  if (games == 0 && reader.tornBytes() > 0) {
    error = path + " holds no whole game of a datagen file";
    return false;
  }
  return true;
}

WdlCheck checkWdlModel(const WdlModel& model, std::vector<WdlSample> samples) {
  WdlCheck check;
  if (samples.empty()) return check;
  std::stable_sort(samples.begin(), samples.end(),
                   [](const WdlSample& x, const WdlSample& y) { return x.score < y.score; });
  const size_t count = samples.size();
  for (int bin = 0; bin < WDL_CHECK_BINS; ++bin) {
    const size_t first = count * size_t(bin) / WDL_CHECK_BINS;
    const size_t end = count * size_t(bin + 1) / WDL_CHECK_BINS;
    WdlCheckBin& out = check.bins[bin];
    if (first == end) continue;
    out.positions = int64_t(end - first);
    out.lowestScore = samples[first].score;
    out.highestScore = samples[end - 1].score;
    for (size_t i = first; i < end; ++i) {
      const WdlChances chances = wdlChances(model, samples[i].score, samples[i].material);
      out.predicted += chances.win + chances.draw / 2;
      out.actual += samples[i].result / 2.0;
    }
    out.predicted /= double(out.positions);
    out.actual /= double(out.positions);
    check.largestDifference =
        std::max(check.largestDifference, std::fabs(out.predicted - out.actual));
  }
  return check;
}

std::string wdlConstantsHeader(const WdlModel& model, const std::vector<std::string>& provenance) {
  std::string text =
      "// The fitted constants of the win/draw/loss model (search/wdl_model.h), as written by\n"
      "// corvanel-wdl-fit; refit and replace this file when the evaluation changes its scale.\n";
  for (const std::string& line : provenance) text += "// " + line + "\n";
  text += "#pragma once\n\n#include \"search/wdl_model.h\"\n\n";
  char numbers[512];
  auto list = [&](const double* c) {
    std::snprintf(numbers, sizeof numbers, "{%.8g, %.8g, %.8g, %.8g}", c[0], c[1], c[2], c[3]);
    return std::string(numbers);
  };
  static_assert(WDL_COEFFICIENTS == 4, "the header writes four coefficients a curve");
  std::snprintf(numbers, sizeof numbers, "%.8g", model.scoreScale);
  const std::string scale = numbers;
  text += "constexpr WdlModel FITTED_WDL_MODEL = {\n    " + list(model.a) + ",\n    " +
          list(model.b) + ",\n    " + scale + "};\n";
  return text;
}
