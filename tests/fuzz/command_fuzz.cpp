// libFuzzer target: arbitrary text typed at the engine line by line, as a hostile interface
// would. Every line goes through the real interpreter and every "go" through the real search,
// with limits that keep one input short: at most 1000 nodes a search and three searches an input,
// counts ("perft", "divide", "go perft") at most 2 plies deep, "genfens" at most 2 positions,
// small hash tables that keep their size, at most four threads, the tools on tiny files in a
// scratch directory with their own limits turned down, no bench or "rands", and a "quit" that
// does not end the process.
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "eval/params.h"
#include "frontend/commands.h"
#include "frontend/engine.h"
#include "frontend/engine_state.h"
#include "frontend/go.h"
#include "frontend/input.h"
#include "frontend/search_commands.h"
#include "frontend/timer.h"
#include "search/search.h"
#include "search/tt.h"
#include "tuning/tool_support.h"

namespace {

constexpr uint64_t FUZZ_HASH_BYTES = 1 << 20;
constexpr int64_t NODE_LIMIT = 1000;
constexpr int SEARCHES_PER_INPUT = 3;

bool startsWith(const std::string& line, const char* word) { return line.rfind(word, 0) == 0; }

std::string lowered(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// False for lines that would take too long or too much memory however they are limited.
bool runnable(const std::string& line) {
  // "rands" renews every hash table for each key seed it tries; its files go through the code
  // the other tools share.
  if (line == "bench" || line == "rands") return false;
  if (startsWith(line, "perft") || startsWith(line, "divide") || startsWith(line, "go perft")) {
    const size_t word = line[0] == 'p' ? 5 : line[0] == 'd' ? 6 : 8;
    const long long depth = std::strtoll(line.c_str() + word, nullptr, 10);
    return depth <= 2 || depth > 127;  // beyond 127 it is refused at once
  }
  // Each start position costs a small search; a count beyond two only repeats the same code.
  if (startsWith(line, "genfens")) {
    const long long count = std::strtoll(line.c_str() + 7, nullptr, 10);
    return count <= 2 || count > 100000000;  // beyond that it is refused at once
  }
  // Table sizes the engine would take: a new allocation of every hash table, far too slow under
  // the sanitizers for each input. Sizes it refuses and their messages are kept.
  const std::string lower = lowered(line);
  if (startsWith(line, "setoption") && lower.find("threads") != std::string::npos) {
    const size_t value = lower.find("value");
    return value != std::string::npos && std::atoll(line.c_str() + value + 5) <= 4;
  }
  if (startsWith(line, "setoption") && lower.find("hash") != std::string::npos) {
    if (lower.find("clear") != std::string::npos) return false;
    const size_t value = lower.find("value");
    const char* digits = value == std::string::npos ? "" : line.c_str() + value + 5;
    while (*digits == ' ') ++digits;
    uint64_t megabytes = 0;
    for (; *digits >= '0' && *digits <= '9' && megabytes <= 65536; ++digits)
      megabytes = megabytes * 10 + uint64_t(*digits - '0');
    return megabytes != 0 && (megabytes > 65536 || (megabytes & (megabytes - 1)) != 0);
  }
  return true;
}

void writeToolFiles() {
  std::ofstream("punt5.txt") << START_FEN << "\n0.2\n4k3/8/8/8/8/8/PPPP4/4K3 w - - 0 1\n3.1\n";
  std::ofstream("variants16c.txt") << "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1\na1a8;g1h1\n";
  std::ofstream("punt5.pgn") << "k7/8/K7/P7/8/8/8/8 w - - 0 1\n";
  std::remove("valprov63movpas.txt");
  std::remove("calcvar.txt");
}

bool toolRan = false;
// The tools' files live in the scratch directory; the fuzzer's own paths stay relative to home.
char scratch[] = "/tmp/corvanel-fuzz-XXXXXX";
std::filesystem::path home;

// Puts back what the last input may have changed, so that each input starts alike.
void resetEngine() {
  if (quitRequested) {
    quitRequested = false;
    createTimerThread();
  }
  if (toolRan) ResetEvalParamsToDefaults();  // the tuners and "juntarfit" change the weights
  toolRan = false;
  char start[] = "position startpos";
  executeCommand(start);
  goLimits = GoLimits();
  answerGo();  // an answer still owed goes to /dev/null
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Output goes nowhere; input is a pipe that stays open and empty, so nothing is ever typed
  // while a search or a tool runs.
  int ends[2];
  if (pipe(ends) != 0 || dup2(ends[0], STDIN_FILENO) < 0) std::abort();
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  if (!mkdtemp(scratch)) std::abort();
  std::atexit([] { std::filesystem::remove_all(scratch); });
  home = std::filesystem::current_path();
  hashBytes = FUZZ_HASH_BYTES;
  initConsoleInput();
  createTimerThread();
  initEngineData();
  toolLimits = {2, 2, 2,
                1, 1, 2};  // depths of the test runs and calcvar; one pass over two entries
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  resetEngine();
  int searches = 0;
  for (size_t at = 0; at < size && !quitRequested;) {
    const uint8_t* newline = static_cast<const uint8_t*>(std::memchr(data + at, '\n', size - at));
    const size_t end = newline ? size_t(newline - data) : size;
    std::string line(reinterpret_cast<const char*>(data + at), end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // The interpreter reads the line as a C string: judge what it will see.
    line.resize(std::strlen(line.c_str()));
    if (!runnable(line)) continue;
    const bool tool = line == "recpar" || line == "millora" || line == "provred" ||
                      line == "provale" || line == "calcvar" || line == "juntarfit";
    if (tool) std::filesystem::current_path(scratch);
    if (tool && !toolRan) writeToolFiles();
    toolRan = toolRan || tool;
    // As the input reader hands it over: room behind the text, cut at a zero byte.
    std::vector<char> text(line.begin(), line.end());
    text.resize(line.size() + 32, '\0');
    commandOwnsInput = true;
    executeCommand(text.data());
    commandOwnsInput = false;
    if (tool) std::filesystem::current_path(home);
    if (searchMode == SEARCH_IDLE) continue;
    // The main loop would now run the search that "go" ordered.
    if (++searches > SEARCHES_PER_INPUT) {
      searchMode = SEARCH_IDLE;
      answerGo();
      continue;
    }
    if (!(goLimits.goFlags & GO_NODES) || goLimits.nodes > NODE_LIMIT) goLimits.nodes = NODE_LIMIT;
    goLimits.goFlags |= GO_NODES;
    runGoSearch();
  }
  return 0;
}
