// Shared fixture of the tuning and test-suite tool tests: each test runs in a scratch working
// directory of its own, with standard input replaced by a pipe the test writes to (so "stop",
// "quit" and "isready" can be typed at a running tool), its standard output captured, and the
// parameters, keys, tables and limits put back afterwards.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/keys.h"
#include "eval/params.h"
#include "frontend/commands.h"
#include "frontend/engine_state.h"
#include "frontend/go.h"
#include "frontend/input.h"
#include "search/tt.h"
#include "tests/search_test_support.h"
#include "tuning/tool_support.h"

inline std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void writeWholeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

inline std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

inline bool containsLine(const std::vector<std::string>& lines, const std::string& wanted) {
  for (const std::string& line : lines)
    if (line == wanted) return true;
  return false;
}

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureSearchTables();
    ResetEvalParamsToDefaults();
    clearAllHashTables();
    savedInfoOutput = infoOutput;
    toolLimits = ToolLimits();
    char pattern[] = "/tmp/corvanel-tools-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    // Standard input becomes a pipe that stays open and empty unless the test types.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    savedStdin = dup(STDIN_FILENO);
    dup2(ends[0], STDIN_FILENO);
    close(ends[0]);
    typing = ends[1];
    initConsoleInput();
  }

  void TearDown() override {
    if (capturing) output();
    close(typing);
    dup2(savedStdin, STDIN_FILENO);
    close(savedStdin);
    initConsoleInput();
    EXPECT_EQ(chdir(previous), 0);
    std::string cleanup = "rm -rf '" + dir + "'";
    EXPECT_EQ(std::system(cleanup.c_str()), 0);
    toolLimits = ToolLimits();
    ResetEvalParamsToDefaults();
    keySeed = 82352;
    rebuildHashTables(hashBytes);  // keys of the start-up seed, empty tables
    goLimits.goFlags = GO_MOVETIME;
    searchMode = 0;
    infoOutput = savedInfoOutput;
  }

  // Lines the "user" types while the next tool runs.
  void type(const std::string& text) {
    ASSERT_EQ(write(typing, text.data(), text.size()), ssize_t(text.size()));
  }

  void capture() {
    testing::internal::CaptureStdout();
    capturing = true;
  }
  std::vector<std::string> output() {
    capturing = false;
    return splitLines(testing::internal::GetCapturedStdout());
  }
  // Runs a command handler and returns what it printed.
  template <typename Handler>
  std::vector<std::string> run(Handler handler) {
    capture();
    handler();
    return output();
  }

  std::string dir;
  char previous[4096] = {};
  int savedStdin = -1;
  int typing = -1;
  bool capturing = false;
  bool savedInfoOutput = false;
};

// Every table entry's value, step and bounds.
struct EntrySnapshot {
  int32_t value, step, min, max;
};
inline std::vector<EntrySnapshot> snapshotEntries() {
  std::vector<EntrySnapshot> all;
  for (const EvalParam& p : evalParams) all.push_back({*p.var, p.step, p.min, p.max});
  return all;
}
