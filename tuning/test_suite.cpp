#include "tuning/test_suite.h"

#include <cstdlib>
#include <set>

#include "board/movetext.h"
#include "eval/params.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "search/tt.h"
#include "tuning/tool_support.h"

namespace {

// Consecutive parameter sets found already tested before "provale" concludes there is no new one.
constexpr int MAX_REPEATED_DRAWS = 1000;

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// The values of one results line, or an empty vector when its first entries are not all numbers.
std::vector<int32_t> recordValues(const std::string& line, int count) {
  std::vector<int32_t> values;
  size_t start = 0;
  while (int(values.size()) < count) {
    size_t end = line.find(';', start);
    if (end == std::string::npos) return {};
    std::string item = line.substr(start, end - start);
    char* stop = nullptr;
    long long value = std::strtoll(item.c_str(), &stop, 10);
    if (stop == item.c_str() || *stop != '\0') return {};
    values.push_back(int32_t(value));
    start = end + 1;
  }
  return values;
}

std::vector<int32_t> currentValues(int count) {
  std::vector<int32_t> values;
  for (int i = 0; i < count; ++i) values.push_back(*evalParams[i].var);
  return values;
}

// value := min + (max - min) * u, truncated toward zero, then to a multiple of the entry's unit.
void drawParameterSet(ToolRandom& random, int count) {
  for (int i = 0; i < count; ++i) {
    EvalParam& p = evalParams[i];
    double u = random.unit();
    int64_t value = int64_t(double(p.min) + (double(p.max) - double(p.min)) * u);
    int64_t unit = p.spare > 0 ? p.spare : 1;
    *p.var = int32_t((value / unit) * unit);
  }
  RebuildAllDerivedTables();
}

}  // namespace

std::vector<std::string> splitMoveList(const std::string& line) {
  std::vector<std::string> items;
  size_t start = 0;
  for (;;) {
    size_t end = line.find(';', start);
    items.push_back(trimmed(line.substr(start, end == std::string::npos ? end : end - start)));
    if (end == std::string::npos) return items;
    start = end + 1;
  }
}

int listedOrder(const std::vector<std::string>& moves, const std::string& move) {
  for (size_t k = 0; k < moves.size(); ++k)
    if (moves[k] == move) return int(k);
  return -1;
}

bool loadTestFile(const char* tool, const char* path, std::vector<TestPair>& pairs) {
  pairs.clear();
  std::vector<std::string> lines;
  if (!readToolFile(tool, path, lines)) return false;
  for (size_t i = 0; i < lines.size(); i += 2) {
    std::string reason;
    if (!fenAccepted(lines[i], &reason)) {
      reportBadLine(tool, path, i, "not a position (" + reason + ")");
      return false;
    }
    if (i + 1 >= lines.size()) {
      reportBadLine(tool, path, i, "position without its line of moves");
      return false;
    }
    pairs.push_back({lines[i], splitMoveList(lines[i + 1])});
  }
  return true;
}

bool runTestRun(const char* tool, const std::vector<TestPair>& pairs, bool provaleForm,
                TestRunCounts& counts) {
  counts = TestRunCounts();
  for (size_t n = 0; n < pairs.size(); ++n) {
    if (toolStopRequested(tool)) return false;
    const TestPair& pair = pairs[n];
    emitLine(provaleForm ? "\n%s   %i\n" : "%s %i\n", pair.fen.c_str(), int(n));
    bool stopped = false;
    SearchResult result;
    do {
      setToolPosition(pair.fen);
      // Every cache emptied, not just the table: entries left by earlier positions or runs would
      // make the node counts depend on what was searched before.
      clearAllHashTables();
    } while (!toolSearch(tool, 0, toolLimits.testRunDepth, stopped, result) && !stopped);
    if (stopped) return false;

    int order = listedOrder(pair.moves, isNoMove(result.best) ? "" : moveText(result.best));
    if (order >= 0) {
      ++counts.solved;
      counts.orderSum += order;
      counts.solvedNodes += result.nodes;
    } else {
      ++counts.failed;
      counts.failedNodes += result.nodes;
    }
    if (provaleForm && hopeless(counts)) break;
  }
  emitLine("numtrobats: %i  sumaordretrobat: %i  numnodestrobat: %lli\n", counts.solved,
           counts.orderSum, (long long)counts.solvedNodes);
  emitLine("numfallats: %i  numnodesnotrobat: %lli\n", counts.failed,
           (long long)counts.failedNodes);
  return true;
}

std::string provaleRecord(const TestRunCounts& counts) {
  std::string record;
  for (int i = 0; i < evalParamCount; ++i) record += std::to_string(*evalParams[i].var) + ";";
  if (hopeless(counts)) {
    record += "passat";
  } else {
    record += std::to_string(counts.solved) + ";" + std::to_string(counts.orderSum) + ";" +
              std::to_string(counts.solvedNodes) + ";" + std::to_string(counts.failed) + ";" +
              std::to_string(counts.failedNodes);
  }
  return record + "\n";
}

void commandProvred() {
  std::vector<TestPair> pairs;
  if (!loadTestFile("provred", TEST_FILE, pairs)) return;
  infoOutput = false;
  TestRunCounts counts;
  runTestRun("provred", pairs, false, counts);
  currentPly = 0;
}

void commandProvale() {
  const char* tool = "provale";
  std::vector<TestPair> pairs;
  if (!loadTestFile(tool, TEST_FILE, pairs)) return;
  infoOutput = false;
  ToolRandom random;
  evalParamCount = EVAL_PARAM_COUNT;

  // The sets tested before, by this run or earlier ones.
  std::set<std::vector<int32_t>> tested;
  std::vector<std::string> lines;
  if (!readToolFile(tool, PROVALE_RESULTS, lines, true)) return;
  for (const std::string& line : lines) {
    std::vector<int32_t> values = recordValues(line, evalParamCount);
    if (!values.empty()) tested.insert(values);
  }

  int repeated = 0;
  for (int round = 1; toolLimits.passes == 0 || round <= toolLimits.passes; ++round) {
    if (toolStopRequested(tool)) break;
    drawParameterSet(random, evalParamCount);
    if (tested.count(currentValues(evalParamCount))) {
      if (++repeated < MAX_REPEATED_DRAWS) {
        --round;
        continue;
      }
      emitLine("info string %s: every parameter set drawn has been tested already\n", tool);
      break;
    }
    repeated = 0;
    // The caches hold evaluations of the previous set.
    clearAllHashTables();
    TestRunCounts counts;
    if (!runTestRun(tool, pairs, true, counts)) break;
    tested.insert(currentValues(evalParamCount));
    if (!appendRecord(PROVALE_RESULTS, provaleRecord(counts)))
      emitLine("info string %s: cannot write %s\n", tool, PROVALE_RESULTS);
  }
  clearAllHashTables();
  currentPly = 0;
}
