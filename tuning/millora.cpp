#include "tuning/millora.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "eval/params.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "frontend/platform.h"
#include "search/tt.h"
#include "tuning/tool_support.h"

namespace {

const char* const TOOL = "millora";
constexpr double NOT_MEASURED = -std::numeric_limits<double>::infinity();
// A match script may be chatty; only the end of its output matters.
constexpr size_t KEPT_OUTPUT_BYTES = 65536;

void reportStartFailure(int code) { emitLine("CreateProcess failed (%d).\n", code); }

// The last non-blank line of the output as a decimal number.
bool lastNumber(const std::string& output, double& value) {
  size_t end = output.find_last_not_of(" \t\r\n");
  if (end == std::string::npos) return false;
  size_t start = output.find_last_of('\n', end);
  start = start == std::string::npos ? 0 : start + 1;
  std::string line = output.substr(start, end - start + 1);
  const char* begin = line.c_str() + line.find_first_not_of(" \t");
  char* stop = nullptr;
  errno = 0;
  value = std::strtod(begin, &stop);
  return stop != begin && *stop == '\0' && errno != ERANGE && std::isfinite(value);
}

}  // namespace

double runMatchScript() {
  if (!writeParamFileSafely(TOOL, MATCH_PARAM_BASE, MATCH_PARAM_NUMBER)) return NOT_MEASURED;
  std::string argument = std::string(MATCH_PARAM_BASE) + std::to_string(MATCH_PARAM_NUMBER);
  std::string output;
  int spawnError = 0;
  // Its standard input is empty, so it cannot take the lines meant for the engine.
  int code = platform::runScript(MATCH_SCRIPT, argument, output, KEPT_OUTPUT_BYTES, spawnError);
  if (code != 0) {
    reportStartFailure(code < 0 ? spawnError : code);
    return NOT_MEASURED;
  }
  double score = 0;
  if (!lastNumber(output, score)) {
    emitLine("info string %s: %s printed no result number\n", TOOL, MATCH_SCRIPT);
    return NOT_MEASURED;
  }
  return score;
}

StepOutcome milloraEntry(int index, double& best, int& fileNumber) {
  emitLine("  *provant valor %i*\n", index);
  TuningMeasure how;
  how.largerIsBetter = true;
  how.measure = runMatchScript;
  how.interrupted = [] { return toolStopRequested(TOOL); };
  StepOutcome outcome = runTuningStep(index, best, how);
  switch (outcome) {
    case StepOutcome::ACCEPTED_FIRST:
    case StepOutcome::ACCEPTED_SECOND:
      if (writeParamFileSafely(TOOL, TUNING_OUTPUT_BASE, fileNumber)) ++fileNumber;
      emitLine(outcome == StepOutcome::ACCEPTED_FIRST ? "dif: %f = %i      %i\n"
                                                      : "dif: %f = %i     %i\n",
               best, *evalParams[index].var, 0);
      break;
    case StepOutcome::FAILED:
      emitLine("               valor ja era \xC3\xB2ptim  %i\n", 0);
      break;
    case StepOutcome::SAT_OUT:
    case StepOutcome::INTERRUPTED:
      break;
  }
  return outcome;
}

void commandMillora() {
  // Without its script every trial would fail, pass after pass.
  std::string reason;
  if (!platform::scriptRunnable(MATCH_SCRIPT, reason)) {
    emitLine("info string %s: cannot run %s (%s)\n", TOOL, MATCH_SCRIPT, reason.c_str());
    return;
  }
  evalParamCount = EVAL_PARAM_COUNT;
  // The first accepted change is the first trial whose match scores above 0.
  double best = 0;
  int fileNumber = 1;
  bool stopped = false;
  for (int pass = 1; !stopped && (toolLimits.passes == 0 || pass <= toolLimits.passes); ++pass) {
    if (toolStopRequested(TOOL)) break;
    emitLine("  ========================================\n");
    for (int i = 0; i < tunedEntryCount() && !stopped; ++i)
      stopped = milloraEntry(i, best, fileNumber) == StepOutcome::INTERRUPTED;
  }
  clearAllHashTables();
}
