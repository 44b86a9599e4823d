// corvanel-tune: the gradient tuner (tuning/gradient_tuner.h) as a program of its own, beside the
// engine's "recpar". Reads recpar's reference format, writes a parameter file that "-av" loads.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "eval/eval_cache.h"
#include "eval/params.h"
#include "frontend/engine.h"
#include "search/tt.h"
#include "tuning/gradient_tuner.h"
#include "tuning/recpar.h"

namespace {

const char USAGE[] =
    "usage: corvanel-tune TRAINING.txt [--heldout FILE] [--start PARAMS] [--out FILE]\n"
    "                     [--rounds N] [--iterations N] [--rate X] [--threads N]\n"
    "                     [--match-spread] [--min-support F] [--ridge L]\n"
    "  TRAINING.txt and FILE in recpar's format (a FEN line, then the reference in pawns);\n"
    "  PARAMS a parameter file as \"-av\" reads it (default: the built-in table);\n"
    "  --out defaults to tuned_params.txt; --threads to the processors present;\n"
    "  --match-spread rescales the references to the spread the measure assumes, so that the\n"
    "  tuned evaluation keeps the scale of the starting one; --min-support (0.005) is the\n"
    "  share of positions an entry must move to be tuned; --ridge (1e-6) pulls entries\n"
    "  towards their starting values by L * (value - start)^2 each.\n";

bool parseCount(const char* text, int& out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0 || value > 1000000) return false;
  out = int(value);
  return true;
}

double referenceSpread(const TuningSet& set) {
  double mean = 0, squares = 0;
  for (float r : set.reference) mean += r;
  mean /= double(set.reference.size());
  for (float r : set.reference) squares += (r - mean) * (r - mean);
  return std::sqrt(squares / double(set.reference.size() - 1));
}

void report(const char* what, const TuningSet& set, double spread, int threads) {
  const double error = tuningSetError(set, spread, threads);
  std::printf("%s: %zu positions, error %.6f a position (sum %.3f)\n", what, set.boards.size(),
              error / double(set.boards.size()), error);
}

}  // namespace

int main(int argc, char** argv) {
  std::string training, heldout, start, out = "tuned_params.txt";
  GradientSettings settings;
  bool matchSpread = false;
  settings.threads = int(std::thread::hardware_concurrency());
  if (settings.threads < 1) settings.threads = 1;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    const char* option = argv[i];
    bool ok = true;
    if (option[0] != '-' && training.empty())
      training = option;
    else if (!std::strcmp(option, "--match-spread"))
      matchSpread = true;
    else if (!hasValue)
      ok = false;
    else if (!std::strcmp(option, "--heldout"))
      heldout = argv[++i];
    else if (!std::strcmp(option, "--start"))
      start = argv[++i];
    else if (!std::strcmp(option, "--out"))
      out = argv[++i];
    else if (!std::strcmp(option, "--rounds"))
      ok = parseCount(argv[++i], settings.rounds);
    else if (!std::strcmp(option, "--iterations"))
      ok = parseCount(argv[++i], settings.iterations);
    else if (!std::strcmp(option, "--threads"))
      ok = parseCount(argv[++i], settings.threads) && settings.threads >= 1;
    else if (!std::strcmp(option, "--min-support"))
      ok = (settings.minSupport = std::atof(argv[++i])) >= 0;
    else if (!std::strcmp(option, "--ridge"))
      ok = (settings.ridge = std::atof(argv[++i])) >= 0;
    else if (!std::strcmp(option, "--rate"))
      ok = (settings.learningRate = std::atof(argv[++i])) > 0;
    else
      ok = false;
    if (!ok) {
      std::fprintf(stderr, "corvanel-tune: bad argument %s\n%s", option, USAGE);
      return 2;
    }
  }
  if (training.empty()) {
    std::fprintf(stderr, "%s", USAGE);
    return 2;
  }

  // A small table is enough: nothing here searches.
  hashBytes = 1ull << 20;
  initEngineData();
  // Cached evaluations would outlive every trial change of a weight.
  evalCache = nullptr;
  if (!start.empty()) {
    std::string error;
    if (!TryLoadEvalParamFile(start.c_str(), &error)) {
      std::fprintf(stderr, "corvanel-tune: %s\n", error.c_str());
      return 1;
    }
  }

  TuningSet trainingSet, heldoutSet;
  if (!loadTuningSet(training.c_str(), trainingSet)) return 1;
  if (!heldout.empty() && !loadTuningSet(heldout.c_str(), heldoutSet)) return 1;
  if (matchSpread) {
    // recpar's measure rescales the evaluation as if the references had REFERENCE_SPREAD; a
    // wider set would otherwise stretch every weight rather than correct the weights' balance.
    const double factor = REFERENCE_SPREAD / referenceSpread(trainingSet);
    for (TuningSet* set : {&trainingSet, &heldoutSet})
      for (float& reference : set->reference) reference = float(reference * factor);
    std::printf("references multiplied by %f\n", factor);
  }
  const double spread = tuningSetSpread(trainingSet, settings.threads);
  if (!(spread > 0)) {
    std::fprintf(stderr, "corvanel-tune: %s needs at least two usable positions with different "
                 "evaluations\n", training.c_str());
    return 1;
  }
  std::printf("spread %f (every error below uses this scale)\n", spread);
  report("training before", trainingSet, spread, settings.threads);
  if (!heldoutSet.boards.empty()) report("held-out before", heldoutSet, spread, settings.threads);

  runGradientTuner(trainingSet, spread, settings);

  report("training after", trainingSet, spread, settings.threads);
  if (!heldoutSet.boards.empty()) report("held-out after", heldoutSet, spread, settings.threads);
  if (!writeTunedParamFile(out)) {
    std::fprintf(stderr, "corvanel-tune: cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("written: %s\n", out.c_str());
  return 0;
}
