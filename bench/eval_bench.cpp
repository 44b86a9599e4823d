// Evaluations per second over a fixed set of positions, with both caches bypassed: every call
// starts from an unset per-ply value and finds a cache entry that belongs to another position.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "board/fen.h"
#include "frontend/engine.h"
#include "board/keys.h"
#include "board/tables.h"
#include "eval/derived.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/params.h"

namespace {

const char* const POSITIONS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N2N2/PP2BPPP/R2QKB1R b KQ - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "2r3k1/pp3ppp/2n5/3p4/3P4/2N5/PP3PPP/2R3K1 b - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "4k3/2p5/8/2PPP3/8/8/8/4K3 b - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "3q1rk1/5ppp/8/8/8/8/5PPP/3Q1RK1 w - - 0 1",
    "2kr3r/ppp2ppp/8/8/8/8/PPP2PPP/2KR3R w - - 0 1",
};
constexpr int POSITION_COUNT = sizeof(POSITIONS) / sizeof(POSITIONS[0]);

Board boards[POSITION_COUNT];
PlyState states[POSITION_COUNT];

}  // namespace

int main(int argc, char** argv) {
  const long rounds = argc > 1 ? std::atol(argv[1]) : 200000;
  initEngineData();
  for (int i = 0; i < POSITION_COUNT; ++i) {
    if (!setPosition(boards[i], states[i], POSITIONS[i])) {
      std::printf("refused: %s\n", POSITIONS[i]);
      return 1;
    }
  }

  long long checksum = 0;
  const auto start = std::chrono::steady_clock::now();
  for (long round = 0; round < rounds; ++round) {
    for (int i = 0; i < POSITION_COUNT; ++i) {
      PlyState& state = states[i];
      state.staticEval = NO_EVAL;
      evalCache[uint32_t(boards[i].key) & EVAL_CACHE_MASK].check.store(~boards[i].key);
      checksum += Evaluate(boards[i], state);
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double evaluations = double(rounds) * POSITION_COUNT;
  std::printf("evaluations: %.0f  seconds: %.3f  evaluations per second: %.0f  checksum: %lld\n",
              evaluations, seconds, evaluations / seconds, checksum);
  return 0;
}
