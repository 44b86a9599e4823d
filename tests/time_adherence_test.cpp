// The clock is never exceeded: from writing "go" to reading "bestmove" takes no longer than the
// limit the line gives, with the limit itself as the bound, as an interface that forfeits a late
// move measures it. Each case runs several times while a second process keeps the other core
// busy, and prints the times it measured.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/time_session.h"

namespace {

using namespace timetest;

struct TimedCase {
  std::string fen;
  std::string go;
  long long limitMs;  // the time the line allows the side to move
};

// Runs every case `repeats` times in one engine (tables warm, as in a game) and checks each
// answer against its limit.
void checkAdherence(const std::vector<TimedCase>& cases, int repeats) {
  BusyCore load;
  ASSERT_TRUE(load.running());
  auto engine = startReadyEngine();
  for (const TimedCase& c : cases) {
    long long worst = 0, total = 0;
    for (int i = 0; i < repeats; ++i) {
      SCOPED_TRACE(c.go + " run " + std::to_string(i + 1));
      ASSERT_TRUE(engine->send(positionLine(c.fen)));
      ASSERT_EQ(linesUntilReady(*engine), Lines{});
      Answer answer = goAndWait(*engine, c.go, int(c.limitMs) + 10000);
      ASSERT_FALSE(answer.bestmove.empty()) << "no answer";
      EXPECT_TRUE(legalIn(c.fen, answer.bestmove)) << answer.bestmove;
      EXPECT_LE(answer.ms, c.limitMs) << "over the limit";
      worst = std::max(worst, answer.ms);
      total += answer.ms;
    }
    std::printf("[ timing   ] %-48s limit %5lld ms  mean %5lld ms  worst %5lld ms\n",
                c.go.c_str(), c.limitMs, total / repeats, worst);
  }
}

// One test, so that only one of these loads the machine at a time when tests run in parallel.
TEST(TimeAdherence, NeverOverTheLimitUnderLoad) {
  // Move times too short for the overhead, and a normal one.
  checkAdherence({{OPENING_FEN, "go movetime 50", 50},
                  {MIDDLEGAME_FEN, "go movetime 50", 50},
                  {OPENING_FEN, "go movetime 100", 100},
                  {MIDDLEGAME_FEN, "go movetime 100", 100},
                  {BLACK_TO_MOVE_FEN, "go movetime 100", 100},
                  {MIDDLEGAME_FEN, "go movetime 1000", 1000},
                  {BLACK_TO_MOVE_FEN, "go movetime 1000", 1000}},
                 5);
  // Small clocks, also with an increment larger than the clock.
  checkAdherence({{OPENING_FEN, "go wtime 300 btime 300", 300},
                  {MIDDLEGAME_FEN, "go wtime 300 btime 300", 300},
                  {BLACK_TO_MOVE_FEN, "go wtime 300 btime 300", 300},
                  {OPENING_FEN, "go wtime 100 btime 100 winc 1000 binc 1000", 100},
                  {MIDDLEGAME_FEN, "go wtime 100 btime 100 winc 1000 binc 1000", 100},
                  {BLACK_TO_MOVE_FEN, "go wtime 100 btime 100 winc 1000 binc 1000", 100},
                  {MIDDLEGAME_FEN, "go wtime 1000 btime 1000 movestogo 1", 1000}},
                 5);
}

}  // namespace
