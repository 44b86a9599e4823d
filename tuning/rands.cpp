// "rands": tries random seeds for the hash keys. For each seed the keys and tables are made
// anew, the first pairs of the test file are searched to a fixed depth, and the seed is recorded
// in randseed2.txt with the nodes those searches took ("seed;0;nodes").
#include <string>
#include <vector>

#include "board/keys.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "search/tt.h"
#include "tuning/test_suite.h"
#include "tuning/tool_support.h"

namespace {

const char* const TOOL = "rands";
constexpr double SEED_RANGE = 99999.0;  // seeds lie in [0, 99999)

enum class SeedRun { DONE, AGAIN, STOPPED };

// Searches the pairs with the keys of the current seed. Input that cut a search short, other
// than "stop" or "quit", spoils the count: the seed is then tried again from fresh tables.
SeedRun searchPairs(const std::vector<TestPair>& pairs, int64_t& total) {
  total = 0;
  for (size_t n = 0; n < pairs.size() && int(n) < toolLimits.randsPairs; ++n) {
    if (toolStopRequested(TOOL)) return SeedRun::STOPPED;
    emitLine("%s %i\n", pairs[n].fen.c_str(), int(n));
    setToolPosition(pairs[n].fen);
    bool stopped = false;
    SearchResult result;
    if (!toolSearch(TOOL, 0, toolLimits.randsDepth, stopped, result))
      return stopped ? SeedRun::STOPPED : SeedRun::AGAIN;
    total += result.nodes;
  }
  return SeedRun::DONE;
}

}  // namespace

void commandRands() {
  std::vector<TestPair> pairs;
  if (!loadTestFile(TOOL, TEST_FILE, pairs)) return;
  infoOutput = false;
  ToolRandom random;
  for (int round = 1; toolLimits.passes == 0 || round <= toolLimits.passes; ++round) {
    if (toolStopRequested(TOOL)) break;
    keySeed = uint32_t(random.unit() * SEED_RANGE);
    SeedRun run = SeedRun::AGAIN;
    int64_t total = 0;
    while (run == SeedRun::AGAIN) {
      // New keys from the seed and empty tables of the same size.
      if (!rebuildHashTables(hashBytes)) {
        emitLine("info string %s: cannot renew the hash tables\n", TOOL);
        run = SeedRun::STOPPED;
        break;
      }
      run = searchPairs(pairs, total);
    }
    if (run == SeedRun::STOPPED) break;
    emitLine("%i numnodes: %lli\n", int(keySeed), (long long)total);
    std::string record = std::to_string(keySeed) + ";0;" + std::to_string(total) + "\n";
    if (!appendRecord(RANDS_RESULTS, record))
      emitLine("info string %s: cannot write %s\n", TOOL, RANDS_RESULTS);
  }
  currentPly = 0;
}
