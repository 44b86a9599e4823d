#include "search/strength.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "search/search.h"

namespace {

// Measured points of the scale (bench/strength.sh against Stockfish 15.1's levels); levels between
// two points take the nodes geometrically and the rest linearly between them. Most of the
// weakening is the node budget: a short search's oversights look like a weaker player's. The
// temperature and the margin add variety without throwing away material.
struct Anchor {
  int elo;
  double nodes;
  double temperature;
  double maxLoss;
};
constexpr Anchor ANCHORS[] = {
    {1350, 300, 50, 150},
    {1700, 3000, 20, 60},
    {1900, 60000, 5, 20},
};
constexpr int ANCHOR_COUNT = int(sizeof ANCHORS / sizeof ANCHORS[0]);
static_assert(ANCHORS[0].elo == STRENGTH_MIN_ELO &&
              ANCHORS[ANCHOR_COUNT - 1].elo == STRENGTH_MAX_ELO);
constexpr int CANDIDATES = 4;
// Mates and table wins count as this much (30 pawns): a mate found is given up only for a line
// as overwhelming.
constexpr int SCORE_CAP = 3000;

// splitmix64: a well-mixed sequence from a counter.
uint64_t mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace

StrengthLevel strengthLevel(int elo) {
  elo = std::clamp(elo, STRENGTH_MIN_ELO, STRENGTH_MAX_ELO);
  int k = 0;
  while (k + 2 < ANCHOR_COUNT && elo > ANCHORS[k + 1].elo) ++k;
  const Anchor& low = ANCHORS[k];
  const Anchor& high = ANCHORS[k + 1];
  const double s = double(elo - low.elo) / (high.elo - low.elo);
  StrengthLevel level;
  level.softNodes = int64_t(low.nodes * std::pow(high.nodes / low.nodes, s));
  level.candidates = CANDIDATES;
  level.temperature = int(std::lround(low.temperature + (high.temperature - low.temperature) * s));
  level.maxLoss = int(std::lround(low.maxLoss + (high.maxLoss - low.maxLoss) * s));
  return level;
}

int chooseStrengthLine(const int* scores, int count, const StrengthLevel& level,
                       uint64_t randomBits) {
  if (count <= 1) return 0;
  const int best = std::clamp(scores[0], -SCORE_CAP, SCORE_CAP);
  double weights[MAX_MULTI_PV];
  const int lines = std::min(count, MAX_MULTI_PV);
  double total = 0;
  for (int i = 0; i < lines; ++i) {
    const int loss = best - std::clamp(scores[i], -SCORE_CAP, SCORE_CAP);
    weights[i] =
        loss > level.maxLoss ? 0 : std::exp(-double(loss) / std::max(level.temperature, 1));
    total += weights[i];
  }
  // 53 random bits: a uniform point in [0, total).
  double point = double(randomBits >> 11) * (1.0 / 9007199254740992.0) * total;
  for (int i = 0; i < lines; ++i) {
    if (point < weights[i]) return i;
    point -= weights[i];
  }
  return 0;
}

uint64_t strengthRandomBits() {
  static uint64_t counter =
      uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      uint64_t(reinterpret_cast<uintptr_t>(&counter));
  return mix(counter++);
}
