// corvanel-quiet: reads FEN lines on standard input and answers each with one line
// "<verdict> <static evaluation> <quiescence result>" (centipawns, side to move's view; both 0
// unless the verdict is "quiet" or "noisy"). The dataset script keeps the "quiet" positions.
// A separate program rather than an engine command, so that nothing is added to the console
// that GUIs and match managers talk to.
#include <cstdio>
#include <iostream>
#include <string>

#include "frontend/engine.h"
#include "search/tt.h"
#include "tuning/quiet_position.h"

int main(int argc, char**) {
  if (argc > 1) {
    std::fprintf(stderr, "usage: corvanel-quiet < fens.txt > verdicts.txt\n");
    return 2;
  }
  // A small table is plenty for quiescence searches, and quick to allocate.
  hashBytes = 16ull << 20;
  initEngineData();
  std::ios::sync_with_stdio(false);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const QuietReading reading = readQuietness(line);
    std::cout << verdictName(reading.verdict) << ' ' << reading.staticEval << ' '
              << reading.quiescence << '\n';
  }
  return std::cout.flush() ? 0 : 1;
}
