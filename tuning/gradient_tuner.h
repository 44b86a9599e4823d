// A gradient tuner over recpar's error measure: the same reference file and the same sum of
// |reference - evaluation * REFERENCE_SPREAD / spread|, minimised far faster than recpar's walk of
// one step per entry per pass.
//
// Each round traces the evaluation: for every tuned entry, how much every position's evaluation
// moves when the entry moves (a finite difference over the whole set). Inside a round the
// evaluation is taken as linear in the entries, and Adam descends the error of that model; at the
// end of the round the rounded values are measured with the real evaluation, kept only if they
// lower the real error, and the next round traces again around them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/types.h"

// Positions set up once; every measurement evaluates copies with the weights in force.
struct TuningSet {
  std::vector<Board> boards;
  std::vector<PlyState> states;
  std::vector<float> reference;  // pawns, side to move's view
};

// Reads a reference file in recpar's format (FEN line, then pawns) with recpar's limits. A bad
// file is reported by one message and gives false.
bool loadTuningSet(const char* path, TuningSet& set);

// The evaluation of position i in pawns with the weights in force, as recpar computes it.
double tuningEvaluation(const TuningSet& set, size_t i);

// Evaluations of the whole set in centipawns, on `threads` threads.
void evaluateTuningSet(const TuningSet& set, int threads, std::vector<int32_t>& out);

// recpar's spread and error measure over the set.
double tuningSetSpread(const TuningSet& set, int threads);
double tuningSetError(const TuningSet& set, double spread, int threads);

struct GradientSettings {
  int rounds = 6;           // traces of the evaluation
  int iterations = 400;     // Adam steps on each round's linear model
  double learningRate = 1;  // in units of an entry
  // Entries that move fewer evaluations than this share of the set keep their values: a handful
  // of positions would otherwise set them to whatever fits those positions best.
  double minSupport = 0.005;
  // Pull towards the starting values: ridge * (value - start)^2 per entry, added to the error per
  // position. Adam steps every entry at the same pace whatever its gradient's size, so without it
  // a rarely used entry drifts as far as a common one.
  double ridge = 1e-6;
  int threads = 1;
  bool verbose = true;      // a line per round on standard output
};

struct GradientOutcome {
  double startError = 0;  // real error (the sum) of the weights in force at the start
  double finalError = 0;  // real error (the sum) of the weights left in force
  int roundsKept = 0;
};

// Tunes the weights in force in place (every entry with enough support but the fixed king-danger
// scale) against the set, with the spread measured at the start, as recpar does. A round is kept
// when the real error per position plus the ridge term drops. Derived tables are rebuilt.
GradientOutcome runGradientTuner(const TuningSet& set, double spread,
                                 const GradientSettings& settings);

// The whole table with its steps and bounds, written as "-av" reads it.
bool writeTunedParamFile(const std::string& path);
