#include "tuning/millora.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "eval/params.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "search/tt.h"
#include "tuning/tool_support.h"

extern char** environ;

namespace {

const char* const TOOL = "millora";
constexpr double NOT_MEASURED = -std::numeric_limits<double>::infinity();
// A match script may be chatty; only the end of its output matters.
constexpr size_t KEPT_OUTPUT_BYTES = 65536;

void reportStartFailure(int code) { emitLine("CreateProcess failed (%d).\n", code); }

// Runs the script with `argument`, collecting its standard output. Its standard input is
// /dev/null, so it cannot take the lines meant for the engine. Returns the exit code (128 +
// signal for a script killed by a signal), or -1 with `spawnError` set when it did not start.
int runScript(const std::string& argument, std::string& output, int& spawnError) {
  output.clear();
  spawnError = 0;
  int fromChild[2];
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    spawnError = errno;
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
  char* argv[] = {const_cast<char*>(MATCH_SCRIPT), const_cast<char*>(argument.c_str()), nullptr};
  pid_t pid = -1;
  int failed = posix_spawn(&pid, MATCH_SCRIPT, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fromChild[1]);
  if (failed != 0) {
    close(fromChild[0]);
    spawnError = failed;
    return -1;
  }
  char chunk[4096];
  for (;;) {
    ssize_t got = read(fromChild[0], chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    output.append(chunk, size_t(got));
    if (output.size() > 2 * KEPT_OUTPUT_BYTES) output.erase(0, output.size() - KEPT_OUTPUT_BYTES);
  }
  close(fromChild[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 127;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 127;
}

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
  int code = runScript(argument, output, spawnError);
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
  if (access(MATCH_SCRIPT, X_OK) != 0) {
    emitLine("info string %s: cannot run %s (%s)\n", TOOL, MATCH_SCRIPT, std::strerror(errno));
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
