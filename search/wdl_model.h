// Win, draw and loss chances from a score, as "UCI_ShowWDL" prints them: a logistic curve for
// each of winning and losing whose centre a and width b depend on the material left,
//   P(win) = 1 / (1 + exp((a(m) - x) / b(m))),  P(loss) = 1 / (1 + exp((a(m) + x) / b(m))),
// the draw the rest. x is the score s (centipawns, side to move's view) drawn in beyond about
// K centipawns, x = K asinh(s / K): the games convert a big advantage less surely than a curve
// straight in s allows while they do turn one of two pawns into wins more often. a and b are
// cubics in t = m / WDL_MATERIAL_MAX, m the material of both sides (pawn 1, knight and bishop 3,
// rook 5, queen 9) held within [WDL_MATERIAL_MIN, WDL_MATERIAL_MAX]. The constants are fitted
// to Corvanel's own games by corvanel-wdl-fit (tuning/wdl_fit/), which writes
// search/wdl_constants.h. Both x and the model are symmetric: the figures for s and -s are
// mirror images.
#pragma once

#include <cstdint>

#include "board/types.h"

constexpr int WDL_DEGREE = 3;
constexpr int WDL_COEFFICIENTS = WDL_DEGREE + 1;
// The start position's material; more (after promotions) counts as this much.
constexpr int WDL_MATERIAL_MAX = 78;
// Below this the games give too few positions to fit a shape of its own.
constexpr int WDL_MATERIAL_MIN = 4;

// Coefficients from the constant term up: a(m) = a[0] + a[1] t + a[2] t^2 + a[3] t^3.
struct WdlModel {
  double a[WDL_COEFFICIENTS];
  double b[WDL_COEFFICIENTS];
  double scoreScale;  // K, centipawns
};

struct WdlChances {
  double win = 0, draw = 1, loss = 0;
};
// The figures "wdl W D L" prints: per mille, each 0 to 1000, summing to exactly 1000.
struct WdlPerMille {
  int win = 0, draw = 1000, loss = 0;
};

// Material of both sides as the model counts it, from piece counts indexed by piece code.
int wdlMaterial(const uint8_t pieceCount[PIECE_CODES]);
// The clamped material as the polynomials' variable t.
double wdlMaterialVariable(int material);
double wdlCentre(const WdlModel& model, int material);  // a(m)
double wdlWidth(const WdlModel& model, int material);   // b(m)
double wdlScoreVariable(const WdlModel& model, double score);  // x

// The model's chances for a score (centipawns, side to move's view).
WdlChances wdlChances(const WdlModel& model, double score, int material);
// Rounded to per mille summing to 1000; the rounding treats win and loss alike, so a score and
// its negation give mirrored figures.
WdlPerMille wdlPerMille(const WdlChances& chances);

// What the engine prints for a search score: mate and table-win scores give 1000 0 0 (we win)
// or 0 0 1000 (we lose), others the fitted model's figures.
WdlPerMille wdlForScore(int score, int material);
