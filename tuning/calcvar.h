// "calcvar": looks through punt5.pgn (one FEN per line; lines 1, 12, 23, ... are used) for
// balanced positions with at least two moves within CALCVAR_MARGIN of the best, searched to a
// fixed depth, and appends them to calcvar.txt in the test-file format.
#pragma once

#include <string>
#include <vector>

constexpr int CALCVAR_MAX_EVAL = 400;  // positions judged more lopsided are skipped
constexpr int CALCVAR_MARGIN = 20;     // moves this close to the best count as equally good
constexpr int CALCVAR_LINE_STRIDE = 11;

struct ScoredMove {
  std::string text;
  int score;
};

// The moves worth listing: sorted best first, those from the best down to the first one more
// than the margin below it.
std::vector<std::string> equallyGoodMoves(std::vector<ScoredMove> moves);
