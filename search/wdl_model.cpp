#include "search/wdl_model.h"

#include <algorithm>
#include <cmath>

#include "search/constants.h"
#include "search/wdl_constants.h"

namespace {

double polynomial(const double* coefficients, double t) {
  double value = 0;
  for (int k = WDL_DEGREE; k >= 0; --k) value = value * t + coefficients[k];
  return value;
}

double logistic(double x) { return 1 / (1 + std::exp(-x)); }

}  // namespace

int wdlMaterial(const uint8_t pieceCount[PIECE_CODES]) {
  static constexpr int worth[KING] = {0, 1, 3, 3, 5, 9};  // by kind, PAWN..QUEEN
  int material = 0;
  for (int side = WHITE; side <= BLACK; ++side)
    for (uint8_t kind = PAWN; kind <= QUEEN; ++kind)
      material += worth[kind] * pieceCount[codeFor(side, kind)];
  return material;
}

double wdlMaterialVariable(int material) {
  return double(std::clamp(material, WDL_MATERIAL_MIN, WDL_MATERIAL_MAX)) / WDL_MATERIAL_MAX;
}

double wdlCentre(const WdlModel& model, int material) {
  return polynomial(model.a, wdlMaterialVariable(material));
}

double wdlWidth(const WdlModel& model, int material) {
  return polynomial(model.b, wdlMaterialVariable(material));
}

double wdlScoreVariable(const WdlModel& model, double score) {
  const double scale = std::max(model.scoreScale, 1.0);
  return scale * std::asinh(score / scale);
}

WdlChances wdlChances(const WdlModel& model, double score, int material) {
  const double x = wdlScoreVariable(model, score);
  const double a = wdlCentre(model, material);
  // A width that is not positive would turn the curves around; the fit never gives one, but a
  // pasted model is not checked by the compiler.
  const double b = std::max(wdlWidth(model, material), 1.0);
  WdlChances chances;
  chances.win = logistic((x - a) / b);
  chances.loss = logistic((-x - a) / b);
  const double decisive = chances.win + chances.loss;
  if (decisive > 1) {  // a centre below zero: no room for draws
    chances.win /= decisive;
    chances.loss /= decisive;
  }
  chances.draw = std::max(0.0, 1 - chances.win - chances.loss);
  return chances;
}

WdlPerMille wdlPerMille(const WdlChances& chances) {
  const double win = 1000 * chances.win, loss = 1000 * chances.loss;
  WdlPerMille out;
  out.win = int(std::lround(win));
  out.loss = int(std::lround(loss));
  // Win and loss together are at most 1000 before rounding, so rounding both up passes it by one
  // at most: take the unit back from the one rounded up more (the larger one on a tie, which
  // cannot then be the other's equal, so the choice is the same for the mirrored score).
  if (out.win + out.loss > 1000) {
    const double overWin = out.win - win, overLoss = out.loss - loss;
    if (overWin > overLoss || (overWin == overLoss && out.win > out.loss))
      --out.win;
    else
      --out.loss;
  }
  out.draw = 1000 - out.win - out.loss;
  return out;
}

WdlPerMille wdlForScore(int score, int material) {
  // A mate or an endgame table's win is certain, whatever the curve makes of its size.
  if (score >= TABLEBASE_WIN_THRESHOLD) return {1000, 0, 0};
  if (score <= -TABLEBASE_WIN_THRESHOLD) return {0, 0, 1000};
  return wdlPerMille(wdlChances(FITTED_WDL_MODEL, score, material));
}
