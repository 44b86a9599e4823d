// The time allotment, the two stop predicates and the timer thread, in-process: the budget and
// deadlines of every kind of "go" line, combined limits, the tick plan, and the thread's arming,
// disarming, deadline wake-ups and shutdown.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "frontend/engine_state.h"
#include "frontend/go.h"
#include "frontend/timer.h"
#include "search/counters.h"
#include "search/time_control.h"
#include "tests/test_support.h"

namespace {

constexpr int64_t START = 1000000;  // a search start far from 0, so offsets show

struct Plan {
  int64_t budget, soft, hard;  // soft and hard as offsets from the start; NO_DEADLINE for none
  int tick, ticksPerPoll;
};

int64_t offset(int64_t deadline) { return deadline == NO_DEADLINE ? NO_DEADLINE : deadline - START; }

// The allotment of a go line for the side to move, with the given overhead.
Plan planFor(const std::string& go, int side = WHITE, int overhead = DEFAULT_MOVE_OVERHEAD_MS) {
  initEngineTables();
  moveOverheadMs = overhead;
  parseGo(go.c_str());
  searchMode = 0;
  rootSide = side;
  searchStartMs = START;
  allotTime();
  Plan plan = {timeBudget, offset(softDeadlineMs.load()), offset(hardDeadlineMs.load()),
               plannedTickIntervalMs, plannedTicksPerPoll};
  moveOverheadMs = DEFAULT_MOVE_OVERHEAD_MS;
  return plan;
}

void expectPlan(const std::string& go, const Plan& expected, int side = WHITE,
                int overhead = DEFAULT_MOVE_OVERHEAD_MS) {
  SCOPED_TRACE(go);
  Plan p = planFor(go, side, overhead);
  EXPECT_EQ(p.budget, expected.budget);
  EXPECT_EQ(p.soft, expected.soft);
  EXPECT_EQ(p.hard, expected.hard);
  EXPECT_EQ(p.tick, expected.tick);
  EXPECT_EQ(p.ticksPerPoll, expected.ticksPerPoll);
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// ---- Allotment ----

// Budget, soft and hard deadline, tick interval and ticks per poll of each kind of go line.
TEST(TimeAllotment, PlansForClocksMoveTimesOverheadsAndBadValues) {
  struct Case {
    const char* go;
    Plan plan;
    int side = WHITE, overhead = DEFAULT_MOVE_OVERHEAD_MS;
  };
  const Case cases[] = {
      // 60 s each: 60000 / 24 - 100; black's clock counts for black.
      {"go wtime 60000 btime 60000", {2400, 2400, 59900, 50, 1}},
      {"go wtime 100 btime 60000", {2400, 2400, 59900, 50, 1}, BLACK},
      // movestogo 1: 3000 / 3 - 100, short budget: ticks of 900 / 15.
      {"go wtime 3000 btime 3000 movestogo 1", {900, 900, 2900, 60, 1}},
      // Small budgets keep the overhead only above twice its size.
      {"go wtime 4800 btime 4800", {200, 200, 4700, 13, 7}},
      {"go wtime 2000 btime 2000 winc 100 binc 100", {183, 183, 1900, 12, 8}},
      // Never more than the clock less the overhead, also with a huge increment.
      {"go wtime 500 btime 500 winc 2000 binc 2000", {400, 400, 400, 26, 3}},
      // Nothing left after the overhead: one iteration, and half the clock for the answer.
      {"go wtime 100 btime 100 winc 1000 binc 1000", {0, 0, 50, 5, 20}},
      {"go wtime 0 btime 0", {0, 0, 0, 5, 20}},
      // The overrun to twice the budget stays within the clock too, and needs many moves to go
      // and a long budget.
      {"go wtime 20000 btime 20000 winc 10000 binc 10000", {10733, 19900, 19900, 100, 1}},
      {"go wtime 300000 btime 300000", {12400, 24800, 299900, 100, 1}},
      {"go wtime 300000 btime 300000 movestogo 3", {59900, 59900, 299900, 100, 1}},
      {"go wtime 120000 btime 120000", {4900, 4900, 119900, 50, 1}},
      // Move time; without room for the overhead, half the move time at the latest.
      {"go movetime 1000", {0, 900, 900, 60, 1}},
      {"go movetime 20000", {0, 19900, 19900, 100, 1}},
      {"go movetime 100", {0, 0, 50, 5, 20}},
      {"go movetime 50", {0, 0, 25, 5, 20}},
      {"go movetime 150", {0, 50, 75, 5, 20}},
      // The Move Overhead option replaces the fixed deduction.
      {"go movetime 50", {0, 50, 50, 5, 20}, WHITE, 0},
      {"go wtime 60000 btime 60000", {2000, 2000, 59500, 50, 1}, WHITE, 500},
      {"go wtime 60000 btime 60000", {2500, 2500, 60000, 50, 1}, WHITE, 0},
      // Negative values count as 0; movestogo of zero or less takes the default of 24.
      {"go wtime -100 btime -100 winc -5 binc -5", {0, 0, 0, 5, 20}},
      {"go wtime 24000 btime 24000 movestogo 0", {900, 900, 23900, 60, 1}},
      {"go wtime 24000 btime 24000 movestogo -1", {900, 900, 23900, 60, 1}},
      {"go wtime 24000 btime 24000 movestogo -9", {900, 900, 23900, 60, 1}},
      // Combined limits keep the earliest; beside a 5 s move time the clock's hard limit wins.
      {"go depth 5 wtime 60000 btime 60000", {2400, 2400, 59900, 50, 1}},
      {"go nodes 100000 movetime 1000", {0, 900, 900, 60, 1}},
      {"go movetime 5000 wtime 3000 btime 3000", {125, 125, 2900, 8, 12}},
  };
  for (const Case& c : cases) expectPlan(c.go, c.plan, c.side, c.overhead);
  // An increment from an earlier go line is not carried over.
  planFor("go wtime 60000 btime 60000 winc 5000 binc 5000");
  expectPlan("go wtime 60000 btime 60000 binc 5000", {2400, 2400, 59900, 50, 1});
}

TEST(TimeAllotment, OpenEndedAndUnclockedSearchesHaveNoDeadline) {
  for (const char* go : {"go infinite", "go", "go ponder wtime 60000 btime 60000", "go depth 5",
                         "go nodes 1000", "go mate 3", "go infinite wtime 1000 btime 1000"}) {
    SCOPED_TRACE(go);
    Plan p = planFor(go);
    EXPECT_EQ(p.soft, NO_DEADLINE);
    EXPECT_EQ(p.hard, NO_DEADLINE);
  }
}

// ---- The stop predicates ----

class StopPredicates : public ::testing::Test {
 protected:
  void SetUp() override {
    initEngineTables();
    // The predicates must not read the test's own input.
    timerTicks = 0;
    ticksPerPoll = 1 << 30;
    stopSearch = false;
  }
  void TearDown() override {
    searchMode = 0;
    stopSearch = false;
    ticksPerPoll = 1;
    softDeadlineMs = NO_DEADLINE;
    hardDeadlineMs = NO_DEADLINE;
  }
  void start(const char* go) {
    parseGo(go);
    rootSide = WHITE;
    searchStartMs = nowMs();
    allotTime();
    searchMode = 1;
  }
};

TEST_F(StopPredicates, TimeUpFollowsTheModeAndTheDeadlines) {
  start("go wtime 60000 btime 60000");
  firstIterationDone = false;
  EXPECT_FALSE(timeUp());
  softDeadlineMs = nowMs() - 1;
  EXPECT_FALSE(timeUp()) << "the budget waits for the first iteration";
  firstIterationDone = true;
  EXPECT_TRUE(timeUp());
  softDeadlineMs = NO_DEADLINE;
  EXPECT_FALSE(timeUp());
  hardDeadlineMs = nowMs() - 1;
  firstIterationDone = false;
  EXPECT_TRUE(timeUp()) << "the hard deadline cuts even the first iteration";
  hardDeadlineMs = NO_DEADLINE;
  searchMode = 0;
  EXPECT_TRUE(timeUp());
  searchMode = 2;
  EXPECT_FALSE(timeUp());
}

TEST_F(StopPredicates, StopIteratingHonoursEveryLimit) {
  start("go depth 6 wtime 60000 btime 60000");
  iterationDepth = 6;
  EXPECT_FALSE(stopIterating());
  iterationDepth = 7;
  EXPECT_TRUE(stopIterating()) << "depth reached, clock not";
  iterationDepth = 3;
  searchStartMs = nowMs() - 1300;  // more than half of the 2400 ms budget gone
  EXPECT_TRUE(stopIterating()) << "clock reached, depth not";

  start("go nodes 5000 movetime 100000");
  nodeCount = 4000;
  EXPECT_FALSE(stopIterating());
  nodeCount = 5001;
  EXPECT_TRUE(stopIterating());

  start("go infinite");
  searchStartMs = nowMs() - 1000000;
  EXPECT_FALSE(stopIterating());
  stopSearch = true;
  EXPECT_TRUE(stopIterating());
  nodeCount = 0;
  iterationDepth = 0;
}

// ---- The thread ----

class TimerThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initEngineTables();
    createTimerThread();
    searchMode = 1;
    stopSearch = false;
    pollRequested = false;
    softDeadlineMs = NO_DEADLINE;
    hardDeadlineMs = NO_DEADLINE;
    firstIterationDone = true;
  }
  void TearDown() override {
    shutdownTimerThread();
    searchMode = 0;
    stopSearch = false;
    pollRequested = false;
    plannedTickIntervalMs = 50;
    plannedTicksPerPoll = 1;
    softDeadlineMs = NO_DEADLINE;
    hardDeadlineMs = NO_DEADLINE;
  }
  void arm(int tickMs) {
    plannedTickIntervalMs = tickMs;
    plannedTicksPerPoll = 1;
    armTimer();
  }
};

TEST_F(TimerThreadTest, FirstTickComesAtOnceAndTicksFollowWhileArmed) {
  arm(10000);
  sleepMs(100);
  EXPECT_EQ(timerTicks.load(), 1) << "one tick at arming, the next only after 10 s";
  EXPECT_TRUE(pollRequested.load());
  EXPECT_FALSE(stopSearch.load());
  arm(5);
  sleepMs(100);
  EXPECT_GE(timerTicks.load(), 3);
}

TEST_F(TimerThreadTest, DisarmedThreadTicksNoMore) {
  arm(5);
  sleepMs(50);
  disarmTimer();
  int ticks = timerTicks.load();
  pollRequested = false;
  sleepMs(100);
  EXPECT_EQ(timerTicks.load(), ticks);
  EXPECT_FALSE(pollRequested.load());
}

TEST_F(TimerThreadTest, DeadlineStopsTheSearchBetweenTicks) {
  hardDeadlineMs = nowMs() + 30;
  arm(10000);
  sleepMs(300);
  EXPECT_TRUE(stopSearch.load()) << "the stop waited for the next tick";
  stopSearch = false;
  firstIterationDone = false;
  hardDeadlineMs = NO_DEADLINE;
  softDeadlineMs = nowMs() + 30;
  arm(20);
  sleepMs(150);
  EXPECT_FALSE(stopSearch.load()) << "the budget stopped a first iteration";
  firstIterationDone = true;
  sleepMs(150);
  EXPECT_TRUE(stopSearch.load());
}

TEST_F(TimerThreadTest, TicksNeverClearAStop) {
  stopSearch = true;
  arm(5);
  sleepMs(60);
  EXPECT_TRUE(stopSearch.load());
  EXPECT_GE(timerTicks.load(), 2);
}

TEST_F(TimerThreadTest, InputEndingTheSearchStopsItAtTheNextTick) {
  arm(5);
  sleepMs(20);
  EXPECT_FALSE(stopSearch.load());
  searchMode = 0;
  sleepMs(60);
  EXPECT_TRUE(stopSearch.load());
}

TEST_F(TimerThreadTest, ShutdownIsPromptAndCanBeRepeated) {
  arm(5);
  sleepMs(20);
  auto start = std::chrono::steady_clock::now();
  shutdownTimerThread();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  shutdownTimerThread();
  // A search unwinding after "quit" still arms and disarms: nothing happens.
  armTimer();
  disarmTimer();
  int ticks = timerTicks.load();
  sleepMs(30);
  EXPECT_EQ(timerTicks.load(), ticks);
  // A fresh thread works again.
  createTimerThread();
  arm(5);
  sleepMs(60);
  EXPECT_GE(timerTicks.load(), 2);
}

}  // namespace
