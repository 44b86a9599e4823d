// corvanel-wdl-fit: fits the win/draw/loss model that "UCI_ShowWDL" prints to the games of
// datagen's files, checks it on games kept out of the fit and writes the constants the engine
// compiles in (search/wdl_constants.h).
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tuning/wdl_fit/wdl_fit.h"

namespace {

const char USAGE[] =
    "usage: corvanel-wdl-fit DATA... [--holdout-every N] [--header FILE]\n"
    "  DATA: files written by datagen (their whole games are read);\n"
    "  --holdout-every N (10): games whose number is N-1 modulo N are kept out of the fit and\n"
    "  check it; --header FILE writes the constants there (search/wdl_constants.h), otherwise\n"
    "  they are only printed.\n";

// The smallest held-out set whose check means something.
constexpr int64_t MIN_CHECK_POSITIONS = 2000;
constexpr double CHECK_TARGET = 0.03;

bool parseCount(const char* text, int low, int high, int& out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < low || value > high) return false;
  out = int(value);
  return true;
}

bool writeFileWhole(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) {
    std::remove(temporary.c_str());
    return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  return !error;
}

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, pattern);
  std::vsnprintf(text, sizeof text, pattern, arguments);
  va_end(arguments);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  std::string header;
  int holdoutEvery = 10;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      std::printf("%s", USAGE);
      return 0;
    }
    if (option.compare(0, 1, "-") != 0) {
      files.push_back(option);
      continue;
    }
    bool ok = i + 1 < argc;
    if (ok && option == "--holdout-every")
      ok = parseCount(argv[++i], 2, 1000000, holdoutEvery);
    else if (ok && option == "--header")
      header = argv[++i];
    else
      ok = false;
    if (!ok) {
      std::fprintf(stderr, "corvanel-wdl-fit: bad argument %s\n%s", option.c_str(), USAGE);
      return 2;
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "%s", USAGE);
    return 2;
  }

  WdlSampleSets sets;
  std::string names;
  for (const std::string& file : files) {
    std::string error;
    if (!readWdlSamples(file, holdoutEvery, sets, error)) {
      std::fprintf(stderr, "corvanel-wdl-fit: %s\n", error.c_str());
      return 1;
    }
    names += (names.empty() ? "" : ", ") + std::filesystem::path(file).filename().string();
  }
  const std::string fitLine =
      format("fit: %lld games, %zu positions", (long long)sets.fitGames, sets.fit.size());
  const std::string heldoutLine =
      format("held out (game number %d modulo %d): %lld games, %zu positions", holdoutEvery - 1,
             holdoutEvery, (long long)sets.heldoutGames, sets.heldout.size());
  std::printf("data: %s (%lld positions that are no position skipped)\n%s\n%s\n", names.c_str(),
              (long long)sets.skippedPositions, fitLine.c_str(), heldoutLine.c_str());
  if (sets.fit.empty()) {
    std::fprintf(stderr, "corvanel-wdl-fit: no positions to fit\n");
    return 1;
  }

  const WdlFitResult fit = fitWdlModel(sets.fit, wdlFitStart());
  if (!fit.converged) {
    std::fprintf(stderr, "corvanel-wdl-fit: the fit did not converge in %d iterations\n",
                 fit.iterations);
    return 1;
  }
  const WdlModel& model = fit.model;
  std::printf("fitted in %d iterations: log-likelihood %.6f a position (fit), %.6f (held out)\n",
              fit.iterations, fit.logLikelihood, wdlLogLikelihood(model, sets.heldout));
  std::printf("x = K asinh(score / K), K = %.1f\n", model.scoreScale);
  std::printf("t = material / %d, material held within [%d, %d]\n", WDL_MATERIAL_MAX,
              WDL_MATERIAL_MIN, WDL_MATERIAL_MAX);
  std::printf("a(t) = %.3f %+.3f t %+.3f t^2 %+.3f t^3\n", model.a[0], model.a[1], model.a[2],
              model.a[3]);
  std::printf("b(t) = %.3f %+.3f t %+.3f t^2 %+.3f t^3\n", model.b[0], model.b[1], model.b[2],
              model.b[3]);
  std::printf("\nmaterial   centre a   width b   wdl at 0      at +100       at +300\n");
  for (int material : {5, 10, 20, 30, 40, 50, 60, 70, 78}) {
    std::printf("%8d %10.1f %9.1f", material, wdlCentre(model, material),
                wdlWidth(model, material));
    for (int score : {0, 100, 300}) {
      const WdlPerMille w = wdlPerMille(wdlChances(model, score, material));
      std::printf("   %3d %3d %3d", w.win, w.draw, w.loss);
    }
    std::printf("\n");
  }

  const WdlCheck check = checkWdlModel(model, sets.heldout);
  std::printf("\nHeld-out check, ten bins of equal counts by score:\n\n");
  std::printf("| Bin | Positions | Scores | Predicted | Actual | Difference |\n");
  std::printf("|-----|-----------|--------|-----------|--------|------------|\n");
  for (int bin = 0; bin < WDL_CHECK_BINS; ++bin) {
    const WdlCheckBin& b = check.bins[bin];
    std::printf("| %d | %lld | %d to %d | %.3f | %.3f | %+.3f |\n", bin + 1,
                (long long)b.positions, b.lowestScore, b.highestScore, b.predicted, b.actual,
                b.predicted - b.actual);
  }
  std::printf("\nlargest difference %.4f (target %.2f: %s)\n", check.largestDifference,
              CHECK_TARGET, check.largestDifference <= CHECK_TARGET ? "met" : "NOT met");
  if (int64_t(sets.heldout.size()) < MIN_CHECK_POSITIONS)
    std::printf("too few held-out positions for the check to mean much (fewer than %lld)\n",
                (long long)MIN_CHECK_POSITIONS);

  const std::vector<std::string> provenance = {
      "Data: " + names + ".", fitLine + ".", heldoutLine + ".",
      format("Held-out check: largest difference %.4f over ten score bins.",
             check.largestDifference)};
  const std::string text = wdlConstantsHeader(model, provenance);
  std::printf("\n%s", text.c_str());
  if (!header.empty()) {
    if (!writeFileWhole(header, text)) {
      std::fprintf(stderr, "corvanel-wdl-fit: cannot write %s\n", header.c_str());
      return 1;
    }
    std::printf("written: %s\n", header.c_str());
  }
  return 0;
}
