// Fitting the win/draw/loss model of search/wdl_model.h to games: maximum likelihood of the
// games' results over (score, material) of their positions, and the check of a fitted model on
// positions of games kept out of the fit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "search/wdl_model.h"

// One position: the search's score and the game's result, both for the side to move.
struct WdlSample {
  int score = 0;     // centipawns
  int material = 0;  // wdlMaterial of the position
  int result = 1;    // 0 loss, 1 draw, 2 win
};

struct WdlSampleSets {
  std::vector<WdlSample> fit, heldout;
  int64_t fitGames = 0, heldoutGames = 0;
  int64_t skippedPositions = 0;  // records that are no sane position
};

// Reads every whole game of a data file written by datagen. Games whose number leaves remainder
// holdoutEvery - 1 when divided by holdoutEvery go to `heldout`, the others to `fit` (0: none
// held out). False, with the reason, when the file cannot be read.
bool readWdlSamples(const std::string& path, int holdoutEvery, WdlSampleSets& sets,
                    std::string& error);

struct WdlFitResult {
  WdlModel model{};
  double logLikelihood = 0;  // mean over the positions
  int iterations = 0;
  bool converged = false;
};
// Where the fit starts: a centre and a width that suit any centipawn scale.
WdlModel wdlFitStart();
// The model of greatest likelihood: for each score scale K the curves' coefficients by Newton's
// method (with a Levenberg-Marquardt damping that only ever accepts a step raising the
// likelihood and keeping the width positive over the whole material range), K itself by a
// golden section search between 50 and 20,000 centipawns. `iterations` counts Newton steps.
WdlFitResult fitWdlModel(const std::vector<WdlSample>& samples, const WdlModel& start);
// The mean log-likelihood of the results under a model; -infinity when one has no chance.
double wdlLogLikelihood(const WdlModel& model, const std::vector<WdlSample>& samples);

// Ten bins of equal counts over the positions sorted by score: in each, the mean expected score
// the model predicts (win + draw / 2) against the mean of the results (1, 1/2, 0).
constexpr int WDL_CHECK_BINS = 10;
struct WdlCheckBin {
  int64_t positions = 0;
  int lowestScore = 0, highestScore = 0;
  double predicted = 0, actual = 0;
};
struct WdlCheck {
  WdlCheckBin bins[WDL_CHECK_BINS];
  double largestDifference = 0;  // of |predicted - actual| over the bins
};
WdlCheck checkWdlModel(const WdlModel& model, std::vector<WdlSample> samples);

// The text of search/wdl_constants.h for a fitted model; `provenance` (lines without comment
// marks) goes into its opening comment.
std::string wdlConstantsHeader(const WdlModel& model, const std::vector<std::string>& provenance);
