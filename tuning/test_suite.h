// The test suites "provred" and "provale": fixed-depth searches over the pairs of the test file
// variants16c.txt (a FEN line, then the acceptable moves separated by ";").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TestPair {
  std::string fen;
  std::vector<std::string> moves;  // acceptable moves, in the order of the file
};

// Reads a test file. A missing file, a FEN the board refuses or a FEN without its line of moves
// gives one message naming the file and false.
bool loadTestFile(const char* tool, const char* path, std::vector<TestPair>& pairs);

// The items of a move line: split at ";" (the text after the last ";" is one more item), blanks
// around an item removed.
std::vector<std::string> splitMoveList(const std::string& line);

// Position of `move` in the list, counting from 0; -1 when not listed.
int listedOrder(const std::vector<std::string>& moves, const std::string& move);

struct TestRunCounts {
  int solved = 0;
  int orderSum = 0;
  int64_t solvedNodes = 0;
  int failed = 0;
  int64_t failedNodes = 0;
};

// A parameter set of "provale" is given up once its nodes pass this while it solves fewer.
constexpr int64_t HOPELESS_NODES = 1000000000;
constexpr int HOPELESS_SOLVED = 710;
inline bool hopeless(const TestRunCounts& c) {
  return c.solvedNodes + c.failedNodes > HOPELESS_NODES && c.solved < HOPELESS_SOLVED;
}

// One test run at toolLimits.testRunDepth with the summary lines. "provale" prints its pair lines
// in its own form and gives up a hopeless set. False when "stop" or "quit" ended it.
bool runTestRun(const char* tool, const std::vector<TestPair>& pairs, bool provaleForm,
                TestRunCounts& counts);

// The record "provale" appends for the parameter set in force.
std::string provaleRecord(const TestRunCounts& counts);
