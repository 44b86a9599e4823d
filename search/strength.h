// Weaker play for "UCI_LimitStrength": a search held to a small node budget that looks at the
// best few root moves, and a choice among them that strays further from the best as the level
// falls. A move worse than the best by more than the level's margin is never chosen, so a level
// loses pieces only to what its short search does not see, never on purpose.
#pragma once

#include <cstdint>

// "UCI_Elo": the levels claim the scale of Stockfish 15.1's own UCI_Elo levels, which its
// authors calibrated against a public rating list; the README gives the measured table.
constexpr int STRENGTH_MIN_ELO = 1350, STRENGTH_MAX_ELO = 1900, STRENGTH_DEFAULT_ELO = 1700;

struct StrengthLevel {
  // No new iteration once the search has passed this many nodes. Iterations are never cut by
  // it: the choice is made among the lines of a complete one.
  int64_t softNodes;
  int candidates;     // root moves searched as separate lines and chosen among
  int temperature;    // centipawns: a move this much worse than the best is chosen e^-1 as often
  int maxLoss;        // centipawns: moves worse than the best by more are never chosen
};

// The level of an Elo (clamped into the range).
StrengthLevel strengthLevel(int elo);

// The index of the line to play among `count` lines scored best first (search scores, mates
// included), drawn with `randomBits`. Always 0 for a single line.
int chooseStrengthLine(const int* scores, int count, const StrengthLevel& level,
                       uint64_t randomBits);

// Fresh random bits for the choice: different in every run of the program.
uint64_t strengthRandomBits();
