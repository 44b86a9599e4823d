#include "tuning/recpar.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "board/fen.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "search/tt.h"
#include "tuning/param_tuner.h"
#include "tuning/tool_support.h"

namespace {

const char* const TOOL = "recpar";

// The evaluation cache holds scores of the parameters before the trial; while it is switched off
// every evaluation is computed afresh (and nothing stale is written into it either).
struct EvalCacheBypass {
  EvalCacheEntry* saved = evalCache;
  EvalCacheBypass() { evalCache = nullptr; }
  ~EvalCacheBypass() { evalCache = saved; }
};

bool parseReference(const std::string& text, double& value) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  value = std::strtod(begin, &end);
  if (end == begin || errno == ERANGE || !std::isfinite(value)) return false;
  while (*end == ' ' || *end == '\t') ++end;
  return *end == '\0';
}

}  // namespace

bool loadReferenceFile(const char* path, std::vector<ReferencePosition>& positions) {
  positions.clear();
  std::vector<std::string> lines;
  if (!readToolFile(TOOL, path, lines)) return false;
  for (size_t i = 0; i < lines.size(); i += 2) {
    std::string reason;
    if (!fenAccepted(lines[i], &reason)) {
      reportBadLine(TOOL, path, i, "not a position (" + reason + ")");
      return false;
    }
    double reference = 0;
    if (i + 1 >= lines.size() || !parseReference(lines[i + 1], reference)) {
      reportBadLine(TOOL, path, i + 1, "expected the reference evaluation in pawns");
      return false;
    }
    if (reference > REFERENCE_LIMIT || reference < -REFERENCE_LIMIT) continue;
    positions.push_back({lines[i], reference});
  }
  return true;
}

double evaluateInPawns(const std::string& fen) {
  static Board board;
  static PlyState state;
  EvalCacheBypass bypass;
  setPosition(board, state, fen.c_str());
  state.staticEval = NO_EVAL;
  return double(float(Evaluate(board, state))) / 100.0;
}

double evaluationSpread(const std::vector<ReferencePosition>& positions) {
  long n = 0;
  double mean = 0, m2 = 0;
  for (const ReferencePosition& p : positions) {
    double e = evaluateInPawns(p.fen);
    ++n;
    if (n == 1) {
      mean = e;
      m2 = 0;
      continue;
    }
    double delta = e - mean;
    mean += delta / double(n);
    m2 += (e - mean) * delta;
  }
  return n >= 2 ? std::sqrt(m2 / double(n - 1)) : 0.0;
}

double errorMeasure(const std::vector<ReferencePosition>& positions, double spread) {
  double scale = REFERENCE_SPREAD / spread;
  double sum = 0;
  for (const ReferencePosition& p : positions)
    sum += std::fabs(p.reference - evaluateInPawns(p.fen) * scale);
  return sum;
}

void commandRecpar() {
  std::vector<ReferencePosition> positions;
  if (!loadReferenceFile(REFERENCE_FILE, positions)) return;
  evalParamCount = EVAL_PARAM_COUNT;
  double spread = evaluationSpread(positions);
  // Without a spread the rescaling divides by zero and every measure is meaningless.
  if (!(spread > 0)) {
    emitLine("info string %s: %s needs at least two usable positions with different "
             "evaluations\n", TOOL, REFERENCE_FILE);
    return;
  }
  emitLine("desviacio=%f\n", spread);

  TuningMeasure how;
  how.largerIsBetter = false;
  how.measure = [&] { return errorMeasure(positions, spread); };
  how.interrupted = [] { return toolStopRequested(TOOL); };

  bool stopped = false;
  for (int pass = 1; !stopped && (toolLimits.passes == 0 || pass <= toolLimits.passes); ++pass) {
    if (toolStopRequested(TOOL)) break;
    double best = errorMeasure(positions, spread);
    emitLine("dif: %f  %i\n", best, pass);
    for (int i = 0; i < tunedEntryCount() && !stopped; ++i) {
      emitLine("  *%i*\n", i);
      switch (runTuningStep(i, best, how)) {
        case StepOutcome::ACCEPTED_FIRST:
          emitLine("dif: %f = %i      %i\n", best, *evalParams[i].var, 0);
          break;
        case StepOutcome::ACCEPTED_SECOND:
          emitLine("dif: %f = %i     %i\n", best, *evalParams[i].var, 0);
          break;
        case StepOutcome::FAILED:
          emitLine("                 %i\n", 0);
          break;
        case StepOutcome::INTERRUPTED:
          stopped = true;
          break;
        case StepOutcome::SAT_OUT:
          break;
      }
    }
    // An unfinished pass writes no file: every numbered file is a whole pass.
    if (!stopped) writeParamFileSafely(TOOL, TUNING_OUTPUT_BASE, pass);
  }
  // Cached evaluations and table entries of the search belong to the old parameters.
  clearAllHashTables();
}
